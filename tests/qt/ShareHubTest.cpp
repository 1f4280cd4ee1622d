// The sharing hub's doors with real sockets and a real pseudo-terminal, in front of a radio that
// answers from a table, and the Sharing box's warning.

#include "qt/ShareHub.h"
#include "link/RunTimeError.h"
#include "qt/QtSharingDialog.h"
#include "qt/net/TcpNetworkKit.h"
#include "tests/qt/QtTestMain.h"

#include <QCheckBox>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>

#include <fcntl.h>
#include <map>
#include <memory>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

using namespace quorvel;

namespace {

// Answers a moment later, as a radio on a line does, and remembers everything it was sent.
struct TableRadio {
    ShareHub& hub;
    QByteArray heard;
    std::map<QByteArray, QByteArray> replies{
        {"K2;", "K20;"}, {"K3;", "K30;"}, {"FA;", "FA00007074000;"}, {"PC;", "PC0501;"}, {"ID;", "ID017;"}};

    explicit TableRadio(ShareHub& h) : hub(h) {
        hub.attachRadio(&hub, [this](QByteArrayView bytes) {
            heard += bytes.toByteArray();
            for (const QByteArray& frame : bytes.toByteArray().split(';')) {
                const auto reply = replies.find(frame + ';');
                if (reply != replies.end()) {
                    QTimer::singleShot(1, &hub, [this, answer = reply->second] { hub.fromRadio(answer); });
                }
            }
        });
    }
};

// An address on a port free a moment ago: a door takes no port 0.
std::string freeAddress() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return "127.0.0.1:" + std::to_string(probe.serverPort());
}

std::unique_ptr<QTcpSocket> connectTo(quint16 port) {
    auto socket = std::make_unique<QTcpSocket>();
    socket->connectToHost(QStringLiteral("127.0.0.1"), port);
    return socket;
}

QByteArray readFd(int fd) {
    QByteArray bytes;
    char buffer[256];
    for (ssize_t got = ::read(fd, buffer, sizeof buffer); got > 0; got = ::read(fd, buffer, sizeof buffer)) {
        bytes.append(buffer, got);
    }
    return bytes;
}

bool readable(int fd) {
    pollfd wait{fd, POLLIN, 0};
    return ::poll(&wait, 1, 0) > 0 && (wait.revents & POLLIN) != 0;
}

} // namespace

class ShareHubTest : public QObject {
    Q_OBJECT

    TcpNetworkKit m_network;

private slots:
    void networkProgramsEachGetTheirOwnRepliesAndThePanelThePower() {
        ShareHub hub(m_network);
        TableRadio radio(hub);
        QSignalSpy programs(&hub, &ShareHub::programsChanged);
        QSignalSpy panel(&hub, &ShareHub::panelBytes);
        hub.setDoors({freeAddress(), ""});
        QVERIFY(hub.active());
        QVERIFY(hub.port() != 0);

        auto a = connectTo(hub.port());
        auto b = connectTo(hub.port());
        QTRY_COMPARE(hub.programs(), std::size_t{2});
        a->write("FA;ID;");
        b->write("PC;");
        QTRY_COMPARE(a->bytesAvailable(), qint64{20});
        QTRY_COMPARE(b->bytesAvailable(), qint64{7});
        QCOMPARE(a->readAll(), QByteArray("FA00007074000;ID017;"));
        QCOMPARE(b->readAll(), QByteArray("PC0501;"));
        QTRY_COMPARE(panel.count(), 1);
        QCOMPARE(panel.at(0).at(0).toByteArray(), QByteArray("PC0501;"));
        QCOMPARE(programs.last().at(0).toInt(), 2);

        // The panel's own frames take their turn like anyone's.
        hub.fromPanel("FA;");
        QTRY_COMPARE(panel.count(), 2);
        QCOMPARE(panel.at(1).at(0).toByteArray(), QByteArray("FA00007074000;"));
        QVERIFY(radio.heard.startsWith("AI0;K2;K3;"));

        a.reset();
        QTRY_COMPARE(hub.programs(), std::size_t{1});
    }

    void aNinthProgramIsTurnedAway() {
        ShareHub hub(m_network);
        TableRadio radio(hub);
        hub.setDoors({freeAddress(), ""});
        std::vector<std::unique_ptr<QTcpSocket>> sockets;
        for (int i = 0; i < 8; ++i) {
            sockets.push_back(connectTo(hub.port()));
        }
        QTRY_COMPARE(hub.programs(), std::size_t{8});
        auto ninth = connectTo(hub.port());
        QTRY_COMPARE(ninth->state(), QAbstractSocket::UnconnectedState);
        QCOMPARE(hub.programs(), std::size_t{8});
        sockets.front()->write("FA;");
        QTRY_COMPARE(sockets.front()->bytesAvailable(), qint64{14});
        QCOMPARE(sockets.front()->readAll(), QByteArray("FA00007074000;"));
    }

    void closingBothDoorsTakesTheHubAway() {
        ShareHub hub(m_network);
        TableRadio radio(hub);
        QSignalSpy active(&hub, &ShareHub::activeChanged);
        hub.setDoors({freeAddress(), ""});
        auto a = connectTo(hub.port());
        QTRY_COMPARE(hub.programs(), std::size_t{1});
        hub.setDoors({});
        QVERIFY(!hub.active());
        QCOMPARE(active.count(), 2);
        QTRY_COMPARE(a->state(), QAbstractSocket::UnconnectedState);
        QVERIFY_THROWS_EXCEPTION(RunTimeError, hub.setDoors({"localhost:7373", ""}));
        QVERIFY(!hub.active());
    }

    void theSerialPortDoorIsTheUsersAloneAndForgetsWhatAProgramLeft() {
        QTemporaryDir dir;
        const QString link = dir.filePath(QStringLiteral("com9"));
        ShareHub hub(m_network);
        TableRadio radio(hub);
        hub.setDoors({"", link.toStdString()});
        QVERIFY(QFileInfo(link).isSymLink());
        struct stat info {};
        QCOMPARE(::stat(link.toLocal8Bit().constData(), &info), 0);
        QCOMPARE(info.st_mode & 0777, 0600U);
        QCOMPARE(info.st_uid, ::getuid());

        // The first program asks and leaves before reading its reply.
        int fd = ::open(link.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        QVERIFY(fd >= 0);
        QTRY_COMPARE(hub.programs(), std::size_t{1});
        QCOMPARE(::write(fd, "FA;", 3), ssize_t{3});
        QTRY_VERIFY(radio.heard.endsWith("FA;"));
        QTRY_VERIFY(readable(fd)); // the reply waits, unread
        ::close(fd);
        QTRY_COMPARE(hub.programs(), std::size_t{0});

        // The next one reads only the answer to its own question.
        fd = ::open(link.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        QVERIFY(fd >= 0);
        QTRY_COMPARE(hub.programs(), std::size_t{1});
        QCOMPARE(::write(fd, "PC;", 3), ssize_t{3});
        QByteArray got;
        QTRY_VERIFY((got += readFd(fd)).endsWith(";"));
        QCOMPARE(got, QByteArray("PC0501;"));
        ::close(fd);

        hub.setDoors({});
        QVERIFY2(!QFileInfo(link).isSymLink(), "the link goes with the door");
    }

    void aLinkIsReplacedOnlyWhenItsPseudoTerminalIsGone() {
        QTemporaryDir dir;
        const QString link = dir.filePath(QStringLiteral("com9"));
        ShareHub hub(m_network);

        QVERIFY(QFile::link(QStringLiteral("/dev/pts/999999"), link));
        hub.setDoors({"", link.toStdString()});
        QCOMPARE(QFileInfo(link).symLinkTarget(), hub.ptyPath());
        hub.setDoors({});

        const QString other = dir.filePath(QStringLiteral("other"));
        QFile file(other);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(QFile::link(other, link));
        QVERIFY_THROWS_EXCEPTION(RunTimeError, hub.setDoors({"", link.toStdString()}));
        QCOMPARE(QFileInfo(link).symLinkTarget(), other); // someone else's link is left alone
        QVERIFY_THROWS_EXCEPTION(RunTimeError, hub.setDoors({"", dir.filePath("missing/com9").toStdString()}));
    }

    void theBoxWarnsOfAnAddressOtherComputersReach() {
        QtSharingBox box({}, nullptr);
        QVERIFY(!box.networkTick()->isChecked());
        QCOMPARE(box.addressEdit()->text(), QStringLiteral("127.0.0.1:7373"));
        box.networkTick()->setChecked(true);
        QVERIFY(box.warning().isEmpty());
        // Only an address of this machine goes without it, however it is written.
        for (const char* local : {"127.0.0.1:7373", "127.3.4.5:7373", "[::1]:7373", "[::ffff:127.0.0.1]:7373"}) {
            box.addressEdit()->setText(QString::fromLatin1(local));
            QVERIFY2(box.warning().isEmpty(), local);
        }
        for (const char* outside : {"128.0.0.1:7373", "[::ffff:10.0.0.1]:7373", "[::2]:7373", "[fe80::1]:7373"}) {
            box.addressEdit()->setText(QString::fromLatin1(outside));
            QVERIFY2(!box.warning().isEmpty(), outside);
        }
        box.addressEdit()->setText(QStringLiteral("192.168.1.20:7373"));
        QVERIFY(box.warning().contains(QStringLiteral("key your transmitter")));
        QCOMPARE(box.choice(), (SharingChoice{"192.168.1.20:7373", ""}));
        box.networkTick()->setChecked(false);
        QVERIFY(box.warning().isEmpty());
        QCOMPARE(box.choice(), SharingChoice{});
    }
};

QUORVEL_QT_TEST(ShareHubTest)
#include "ShareHubTest.moc"
