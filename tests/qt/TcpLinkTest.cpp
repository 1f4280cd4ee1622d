// Raw bytes over TCP against a server on loopback that the test starts, stops and starts again,
// alone and under the window's serial component.

#include "qt/net/TcpLink.h"
#include "link/RunTimeError.h"
#include "qt/NetworkModule.h"
#include "qt/QtSerialComm.h"
#include "qt/ShareHub.h"
#include "qt/net/TcpNetworkKit.h"
#include "tests/qt/OrdinaryUser.h"
#include "tests/qt/QtTestMain.h"

#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using quorvel::ByteLink;
using quorvel::NetworkModule;
using quorvel::QtSerialComm;
using quorvel::ShareHub;
using quorvel::TcpLink;
using quorvel::TcpNetworkKit;
namespace err = quorvel::err;
using quorvel::testing::Failure;
using quorvel::testing::failureOf;

namespace {

constexpr int kDeadlineMs = 5000;

// A loopback port nothing listens on at the moment.
quint16 freePort() {
    QTcpServer probe;
    return probe.listen(QHostAddress::LocalHost) ? probe.serverPort() : 0;
}

// A server that listens but never accepts, with its queue already full: a connect to it neither
// succeeds nor fails, as with a host that drops every packet.
class SilentServer {
public:
    SilentServer() {
        m_listener = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (::bind(m_listener, reinterpret_cast<sockaddr*>(&address), length) != 0 || ::listen(m_listener, 0) != 0 ||
            ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
            return;
        }
        m_port = ntohs(address.sin_port);
        for (auto& filler : m_fillers) {
            filler = std::make_unique<QTcpSocket>();
            filler->connectToHost(QHostAddress::LocalHost, m_port);
            filler->waitForConnected(200);
        }
    }
    ~SilentServer() { ::close(m_listener); }
    SilentServer(const SilentServer&) = delete;
    SilentServer& operator=(const SilentServer&) = delete;

    quint16 port() const { return m_port; }

private:
    int m_listener = -1;
    quint16 m_port = 0;
    std::unique_ptr<QTcpSocket> m_fillers[3];
};

} // namespace

class TcpLinkTest : public QObject {
    Q_OBJECT

private slots:
    // Refused at the first try: said once, naming host, port and the system's reason; then tried
    // again without a word until the server is there.
    void refusedAtOpenIsReportedOnceAndTheServerTakenUpWhenItComes() {
        const quint16 port = freePort();
        QVERIFY(port != 0);
        TcpLink link(QStringLiteral("127.0.0.1"), port);
        QSignalSpy refused(&link, &ByteLink::refused);
        QSignalSpy opened(&link, &ByteLink::opened);

        link.open();

        QTRY_COMPARE_WITH_TIMEOUT(refused.count(), 1, kDeadlineMs);
        QCOMPARE(refused.first().at(0).toInt(), err::kInvalidPortNumber);
        const QString description = refused.first().at(1).toString();
        for (const QString& part : {QStringLiteral("127.0.0.1"), QString::number(port), QStringLiteral("refused")}) {
            QVERIFY2(description.contains(part, Qt::CaseInsensitive), qPrintable(description));
        }
        QTest::qWait(3 * static_cast<int>(TcpLink::kRetryInterval.count()));
        QCOMPARE(refused.count(), 1);
        QVERIFY(!link.isOpen());

        QTcpServer server;
        QElapsedTimer sinceListening;
        QVERIFY(server.listen(QHostAddress::LocalHost, port));
        sinceListening.start();
        QTRY_VERIFY_WITH_TIMEOUT(link.isOpen(), kDeadlineMs);
        QVERIFY2(sinceListening.elapsed() < 2000, qPrintable(QString::number(sinceListening.elapsed())));
        QCOMPARE(opened.count(), 1);
        QCOMPARE(refused.count(), 1);
        QCOMPARE(link.describe(), QStringLiteral("tcp:127.0.0.1:%1").arg(port));
        QCOMPARE(TcpLink(QStringLiteral("::1"), port).describe(), QStringLiteral("tcp:[::1]:%1").arg(port));
    }

    // A connect that hangs neither blocks the caller nor lasts for ever.
    void aHangingConnectIsGivenUpAfterTheTimeOut() {
        SilentServer server;
        QVERIFY(server.port() != 0);
        TcpLink link(QStringLiteral("127.0.0.1"), server.port());
        link.setConnectTimeout(std::chrono::milliseconds{400});
        QSignalSpy refused(&link, &ByteLink::refused);

        QElapsedTimer clock;
        clock.start();
        link.open();
        QVERIFY2(clock.elapsed() < 100, qPrintable(QString::number(clock.elapsed())));

        QTRY_COMPARE_WITH_TIMEOUT(refused.count(), 1, kDeadlineMs);
        QVERIFY2(clock.elapsed() >= 400, qPrintable(QString::number(clock.elapsed())));
        QVERIFY2(refused.first().at(1).toString().contains(QStringLiteral("no answer within 0.4 s")),
                 qPrintable(refused.first().at(1).toString()));
        QVERIFY(!link.isOpen());
    }

    // The server stopped and started again, as ser2net restarted: the loss is announced, nothing
    // is refused, and the link is back within 2 s of the server's return with bytes flowing.
    void aServerStoppedAndStartedAgainIsTakenUpWithinTwoSeconds() {
        auto server = std::make_unique<QTcpServer>();
        QVERIFY(server->listen(QHostAddress::LocalHost));
        const quint16 port = server->serverPort();
        TcpLink link(QStringLiteral("127.0.0.1"), port);
        link.setClosedAtOnceRefuses(true);
        QSignalSpy opened(&link, &ByteLink::opened);
        QSignalSpy lost(&link, &ByteLink::lost);
        QSignalSpy refused(&link, &ByteLink::refused);
        link.open();
        QTRY_VERIFY_WITH_TIMEOUT(server->hasPendingConnections(), kDeadlineMs);
        QTcpSocket* peer = server->nextPendingConnection();
        QTRY_VERIFY_WITH_TIMEOUT(link.isOpen(), kDeadlineMs);
        QTest::qWait(static_cast<int>(TcpLink::kClosedAtOnce.count()) + 100); // up a while: not turned away

        server.reset(); // closes the listener and the accepted connection with it
        QTRY_COMPARE_WITH_TIMEOUT(lost.count(), 1, kDeadlineMs);
        QVERIFY(!link.isOpen());
        link.write("PC;"); // away: lost as down an unplugged cable, not raised
        QTest::qWait(1000);

        QTcpServer back;
        QVERIFY(back.listen(QHostAddress::LocalHost, port));
        QElapsedTimer sinceBack;
        sinceBack.start();
        QTRY_VERIFY_WITH_TIMEOUT(link.isOpen(), kDeadlineMs);
        QVERIFY2(sinceBack.elapsed() < 2000, qPrintable(QString::number(sinceBack.elapsed())));
        QCOMPARE(opened.count(), 2);
        QCOMPARE(refused.count(), 0);
        QTRY_VERIFY_WITH_TIMEOUT(back.hasPendingConnections(), kDeadlineMs);
        peer = back.nextPendingConnection();
        link.write("PC;");
        QByteArray arrived;
        QTRY_COMPARE_WITH_TIMEOUT(arrived += peer->readAll(), QByteArray("PC;"), kDeadlineMs);
        QSignalSpy readyRead(&link, &ByteLink::readyRead);
        peer->write("PC0501;");
        QVERIFY(readyRead.wait(kDeadlineMs));
        QCOMPARE(link.readAll(), QByteArray("PC0501;"));
    }

    // ser2net takes the connection and closes it with a line of text when it cannot open the
    // device behind it: a refusal, said once, then tried again quietly until the device is there.
    void aServerThatClosesAtOnceRefusesOnceAndIsTakenUpWhenItStaysOpen() {
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost));
        bool deviceThere = false;
        int turnedAway = 0;
        connect(&server, &QTcpServer::newConnection, this, [&] {
            QTcpSocket* peer = server.nextPendingConnection();
            if (!deviceThere) {
                ++turnedAway;
                peer->write("Device open failure: Value or file not found\r\n");
                peer->disconnectFromHost();
            }
        });
        TcpLink link(QStringLiteral("127.0.0.1"), server.serverPort());
        link.setClosedAtOnceRefuses(true);
        QSignalSpy refused(&link, &ByteLink::refused);
        QSignalSpy lost(&link, &ByteLink::lost);

        link.open();

        QTRY_COMPARE_WITH_TIMEOUT(refused.count(), 1, kDeadlineMs);
        const QString description = refused.first().at(1).toString();
        for (const QString& part : {QStringLiteral("127.0.0.1"), QString::number(server.serverPort()),
                                    QStringLiteral("Device open failure: Value or file not found")}) {
            QVERIFY2(description.contains(part), qPrintable(description));
        }
        QTRY_VERIFY_WITH_TIMEOUT(turnedAway >= 3, kDeadlineMs);
        QCOMPARE(refused.count(), 1);
        QVERIFY(lost.count() >= 3);

        deviceThere = true;
        QTRY_VERIFY_WITH_TIMEOUT(link.isOpen(), kDeadlineMs);
        QTest::qWait(static_cast<int>(TcpLink::kClosedAtOnce.count()));
        QVERIFY(link.isOpen());
        QCOMPARE(refused.count(), 1);
    }

    // Under the window's serial component: a refusal at start is raised once through the receive
    // event and the next read, the port reads closed until the server answers, and the bytes are
    // then the line's as from a device.
    void theSerialComponentCarriesARouteAsAPort() {
        const quint16 port = freePort();
        QVERIFY(port != 0);
        TcpNetworkKit network;
        QtSerialComm comm(QtSerialComm::defaultSearchDirs(), &network);
        QSignalSpy onComm(&comm, &QtSerialComm::onComm);
        comm.setRoute("tcp:127.0.0.1:" + std::to_string(port));
        comm.setSettings("38400,N,8,1");
        comm.setPortOpen(true);
        QVERIFY(!comm.portOpen());

        QTRY_COMPARE_WITH_TIMEOUT(onComm.count(), 1, kDeadlineMs);
        const Failure raised = failureOf([&] { comm.input(); });
        QCOMPARE(raised.number, err::kInvalidPortNumber);
        QVERIFY2(raised.description.contains(QString::number(port)), qPrintable(raised.description));
        QCOMPARE(failureOf([&] { comm.input(); }).number, 0);
        QCOMPARE(failureOf([&] { comm.output("PC;"); }).number, err::kPortNotOpen);

        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost, port));
        QTRY_VERIFY_WITH_TIMEOUT(comm.portOpen(), kDeadlineMs);
        QTRY_VERIFY_WITH_TIMEOUT(server.hasPendingConnections(), kDeadlineMs);
        QTcpSocket* peer = server.nextPendingConnection();
        comm.output("PC;");
        // The mode the power replies need is asked for first, as on a serial line.
        QByteArray arrived;
        QTRY_COMPARE_WITH_TIMEOUT(arrived += peer->readAll(), QByteArray("K22;PC;"), kDeadlineMs);
        peer->write("PC0501;");
        QTRY_COMPARE_WITH_TIMEOUT(onComm.count(), 2, kDeadlineMs);
        QCOMPARE(comm.input(), std::string("PC0501;"));
        QCOMPARE(failureOf([&] { comm.setRoute("tcp:nowhere"); }).number, err::kInvalidPropertyValue);
        QCOMPARE(failureOf([&] { comm.setPortOpen(true); }).number, err::kPortAlreadyOpen);

        comm.setPortOpen(false);
        QVERIFY(!comm.portOpen());
        QTRY_COMPARE_WITH_TIMEOUT(peer->state(), QAbstractSocket::UnconnectedState, kDeadlineMs);
    }

    // Networking that is not installed, or a file in its place that is no network module, refuses
    // every network route and the network door with an error naming the file, and a later use
    // tries again; a serial route needs none of it.
    void withoutItsModuleNetworkingIsRefusedNamingTheFile() {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("libquorvel_net.so"));
        NetworkModule network({path});
        QtSerialComm comm(QtSerialComm::defaultSearchDirs(), &network);
        ShareHub hub(network);
        const auto refusals = [&] {
            QStringList descriptions;
            for (const char* route : {"tcp:127.0.0.1:4001", "rigctld:127.0.0.1:4532", "flrig:127.0.0.1:12345"}) {
                comm.setRoute(route);
                const Failure failure = failureOf([&] { comm.setPortOpen(true); });
                QVERIFY2(failure.number == err::kFileAccess, qPrintable(failure.description));
                QVERIFY(!comm.portOpen());
                descriptions << failure.description;
            }
            const Failure door = failureOf([&] { hub.setDoors({"127.0.0.1:7373", ""}); });
            QCOMPARE(door.number, err::kFileAccess);
            QVERIFY(!hub.active());
            descriptions << door.description;
            for (const QString& description : descriptions) {
                QVERIFY2(description.contains(path), qPrintable(description));
            }
        };
        refusals();

        QFile notAModule(path);
        QVERIFY(notAModule.open(QIODevice::WriteOnly));
        notAModule.write("not a shared object");
        notAModule.close();
        refusals();

        QtSerialComm serialOnly(QtSerialComm::defaultSearchDirs());
        serialOnly.setRoute("tcp:127.0.0.1:4001");
        QCOMPARE(failureOf([&] { serialOnly.setPortOpen(true); }).number, err::kInvalidPortNumber);
    }
};

QUORVEL_QT_GUILESS_TEST(TcpLinkTest)

#include "TcpLinkTest.moc"
