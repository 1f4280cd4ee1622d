// The serial component against real pseudo-terminals: the test keeps the master side and plays
// the transceiver; the component opens the slave through a Com link, as it would a USB adapter.

#include "link/RunTimeError.h"
#include "qt/CatTrace.h"
#include "qt/QtSerialComm.h"
#include "tests/qt/OrdinaryUser.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QSocketNotifier>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>
#include <utility>

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <pty.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

using quorvel::PortSearchDirs;
using quorvel::QtSerialComm;
using quorvel::RunTimeError;
namespace err = quorvel::err;
using quorvel::testing::EnvironmentVariable;
using quorvel::testing::Failure;
using quorvel::testing::failureOf;
using quorvel::testing::isRoot;

namespace {

constexpr int kDeadlineMs = 5000;
const char* const kOpenHelper = "--open-as-helper";

// One pseudo-terminal; the test holds the master, the slave is left for the component to open.
class Pty {
public:
    Pty() {
        int slave = -1;
        char name[256] = {};
        if (::openpty(&m_master, &slave, name, nullptr, nullptr) == 0) {
            ::close(slave);
            m_slavePath = QString::fromLocal8Bit(name);
            ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
        }
    }
    ~Pty() { closeMaster(); }
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;

    bool isValid() const { return m_master >= 0; }
    int master() const { return m_master; }
    const QString& slavePath() const { return m_slavePath; }

    void closeMaster() {
        if (m_master >= 0) {
            ::close(m_master);
            m_master = -1;
        }
    }

    bool write(const QByteArray& bytes) const {
        return ::write(m_master, bytes.constData(), static_cast<size_t>(bytes.size())) == bytes.size();
    }

    // Everything that arrives until `expected` bytes are in or the deadline passes.
    QByteArray read(qsizetype expected, int deadlineMs = kDeadlineMs) const {
        QByteArray bytes;
        QElapsedTimer clock;
        clock.start();
        while (bytes.size() < expected && clock.elapsed() < deadlineMs) {
            pollfd fd{m_master, POLLIN, 0};
            if (::poll(&fd, 1, static_cast<int>(deadlineMs - clock.elapsed())) <= 0) {
                break;
            }
            char chunk[256];
            const ssize_t n = ::read(m_master, chunk, sizeof chunk);
            if (n <= 0) {
                break;
            }
            bytes.append(chunk, n);
        }
        return bytes;
    }

    // What the component writes first at every open: the radio's extended command mode.
    bool tookModeCommand() const { return read(4) == QByteArray("K22;"); }

    termios lineSettings() const {
        termios t{};
        // On Linux the master answers with the slave's settings.
        ::tcgetattr(m_master, &t);
        return t;
    }

private:
    int m_master = -1;
    QString m_slavePath;
};

// Another program reading the same device: takes whatever waits on its own descriptor the moment
// the port's read notifier fires, before the port gets to read.
class SecondReader : public QObject {
public:
    explicit SecondReader(int fd) : m_fd(fd) {}

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (active && event->type() == QEvent::SockAct) {
            char chunk[64];
            const ssize_t n = ::read(m_fd, chunk, sizeof chunk);
            taken += n > 0 ? static_cast<int>(n) : 0;
        }
        return QObject::eventFilter(watched, event);
    }

    bool active = true;
    int taken = 0;

private:
    int m_fd;
};

// Collects what the CAT trace writes while it lives, and turns the trace on for its lifetime
// when asked.
class TraceCapture {
public:
    explicit TraceCapture(bool traceOn) {
        s_lines.clear();
        if (traceOn) {
            QLoggingCategory::setFilterRules(QStringLiteral("quorvel.cat.debug=true"));
        }
        m_previous = qInstallMessageHandler([](QtMsgType, const QMessageLogContext& context, const QString& text) {
            if (qstrcmp(context.category, "quorvel.cat") == 0) {
                s_lines << text;
            }
        });
    }
    ~TraceCapture() {
        qInstallMessageHandler(m_previous);
        QLoggingCategory::setFilterRules(QString());
    }
    TraceCapture(const TraceCapture&) = delete;
    TraceCapture& operator=(const TraceCapture&) = delete;

    static const QStringList& lines() { return s_lines; }

private:
    static inline QStringList s_lines;
    QtMessageHandler m_previous = nullptr;
};

double cpuSeconds() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// The helper mode: open Com <port> from <mapping folder> and print what came of it, so that a
// test running as root can see what an ordinary user gets.
int runOpenHelper(const QString& mappingDir, int port) {
    QtSerialComm comm(PortSearchDirs{mappingDir.toStdString(), ""});
    const Failure failure = failureOf([&] {
        comm.setCommPort(static_cast<std::int16_t>(port));
        comm.setSettings("38400,N,8,1");
        comm.setPortOpen(true);
    });
    quorvel::testing::printFailure(failure);
    return 0;
}

} // namespace

class SerialCommTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_config;
    QString m_ports;

    PortSearchDirs dirs() const { return {m_ports.toStdString(), ""}; }

    void link(int port, const QString& target) const {
        const QString name = m_ports + QStringLiteral("/com%1").arg(port);
        QFile::remove(name);
        QVERIFY(QFile::link(target, name));
    }

    // The component as start-up leaves it, then Com <port> opened.
    static void openAsStartupDoes(QtSerialComm& comm, int port, const std::string& settings = "38400,N,8,1") {
        comm.setRThreshold(1);
        comm.setRTSEnable(false);
        comm.setDTREnable(false);
        comm.setCommPort(static_cast<std::int16_t>(port));
        comm.setSettings(settings);
        comm.setPortOpen(true);
    }

    // The same where the test needs the port open: a refusal is a failed check, not an exception
    // that would end the whole run. A pseudo-terminal's number is handed out again as soon as it
    // is free, and the process that had it may hold its lock file a moment longer (QSerialPort
    // closes the device before it removes the lock): "in use" for a device the test has just
    // made is that moment, and the open is tried again.
    static bool opened(QtSerialComm& comm, int port, const std::string& settings = "38400,N,8,1") {
        const QDeadlineTimer deadline(kDeadlineMs);
        Failure failure = failureOf([&] { openAsStartupDoes(comm, port, settings); });
        while (failure.number == err::kPortAlreadyOpen && !comm.portOpen() && !deadline.hasExpired()) {
            QTest::qWait(20);
            failure = failureOf([&] { openAsStartupDoes(comm, port, settings); });
        }
        if (failure.number != 0) {
            qWarning("open refused: %d %s", failure.number, qPrintable(failure.description));
        }
        return failure.number == 0 && comm.portOpen();
    }

private slots:
    void initTestCase() {
        QVERIFY(m_config.isValid());
        QVERIFY(QFile::setPermissions(m_config.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                                           QFile::ReadOther | QFile::ExeOther));
        m_ports = m_config.path() + QStringLiteral("/Quorvel/ports");
        QVERIFY(QDir().mkpath(m_ports));
    }

    // A pseudo-terminal forces 8 data bits and no parity whatever it is asked for, so what can be
    // seen of the line settings here is the speed, the stop bits and the odd-parity flag.
    void opensThroughTheLinkWithTheLineSettings_data() {
        QTest::addColumn<QString>("settings");
        QTest::addColumn<speed_t>("speed");
        QTest::addColumn<bool>("twoStopBits");
        QTest::addColumn<bool>("oddParity");
        QTest::newRow("the radio's 38400 8N1") << "38400,N,8,1" << speed_t{B38400} << false << false;
        QTest::newRow("9600 7E2") << "9600,E,7,2" << speed_t{B9600} << true << false;
        QTest::newRow("4800 odd, lower case") << "4800,o,8,1" << speed_t{B4800} << false << true;
    }
    void opensThroughTheLinkWithTheLineSettings() {
        QFETCH(QString, settings);
        QFETCH(speed_t, speed);
        QFETCH(bool, twoStopBits);
        QFETCH(bool, oddParity);
        Pty pty;
        QVERIFY(pty.isValid());
        link(3, pty.slavePath());
        QtSerialComm comm(dirs());

        QVERIFY(opened(comm, 3, settings.toStdString()));

        QVERIFY(comm.portOpen());
        QCOMPARE(comm.devicePathFor(3), pty.slavePath());
        const termios t = pty.lineSettings();
        QCOMPARE(cfgetospeed(&t), speed);
        QCOMPARE(cfgetispeed(&t), speed);
        QCOMPARE((t.c_cflag & CSTOPB) != 0, twoStopBits);
        QCOMPARE((t.c_cflag & PARODD) != 0, oddParity);
        // Raw: no line editing, no echo, nothing added to or taken from the bytes.
        QCOMPARE(t.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), tcflag_t{0});
        QCOMPARE(t.c_oflag & OPOST, tcflag_t{0});
        QCOMPARE(t.c_iflag & (ICRNL | IXON | ISTRIP), tcflag_t{0});
    }

    void outputReachesTheLineByteForByte_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("query") << QByteArray("PC;");
        QTest::newRow("set command") << QByteArray("PC0501;");
        QTest::newRow("line ends pass untouched") << QByteArray("PC;\r\n\n");
        QTest::newRow("Latin-1 and NUL bytes") << QByteArray("\xb0\xe9\x00\xff;", 5);
    }
    void outputReachesTheLineByteForByte() {
        QFETCH(QByteArray, text);
        Pty pty;
        QVERIFY(pty.isValid());
        link(1, pty.slavePath());
        QtSerialComm comm(dirs());
        QVERIFY(opened(comm, 1));
        QVERIFY(pty.tookModeCommand());
        QSignalSpy errors(comm.findChild<QSerialPort*>(), &QSerialPort::errorOccurred);

        comm.output(text.toStdString());

        QCOMPARE(pty.read(text.size()), text);
        QCOMPARE(pty.read(1, 100), QByteArray()); // nothing added after it
        QCOMPARE(errors.count(), 0);              // a sound write signals no error, not even "none"
    }

    // Also when start-up stopped before it set the receive threshold: the component starts at 1.
    void arrivingCharactersRaiseOnCommAndInputEmptiesTheBuffer_data() {
        QTest::addColumn<bool>("asStartupLeavesIt");
        QTest::newRow("after start-up") << true;
        QTest::newRow("threshold never set") << false;
    }
    void arrivingCharactersRaiseOnCommAndInputEmptiesTheBuffer() {
        QFETCH(bool, asStartupLeavesIt);
        Pty pty;
        QVERIFY(pty.isValid());
        link(2, pty.slavePath());
        QtSerialComm comm(dirs());
        if (asStartupLeavesIt) {
            QVERIFY(opened(comm, 2));
        } else {
            comm.setCommPort(2);
            comm.setPortOpen(true);
        }
        QSignalSpy onComm(&comm, &QtSerialComm::onComm);
        const QByteArray reply("PC0501;PC\xb0", 10);

        QVERIFY(pty.write(reply));

        QVERIFY(onComm.wait(kDeadlineMs));
        std::string received;
        QTRY_COMPARE_WITH_TIMEOUT((received += comm.input(), QByteArray::fromStdString(received)), reply, kDeadlineMs);
        QCOMPARE(QByteArray::fromStdString(comm.input()), QByteArray());
    }

    void noOnCommWhileRThresholdIsZero() {
        Pty pty;
        QVERIFY(pty.isValid());
        link(2, pty.slavePath());
        QtSerialComm comm(dirs());
        QVERIFY(opened(comm, 2));
        comm.setRThreshold(0);
        QSignalSpy onComm(&comm, &QtSerialComm::onComm);

        QVERIFY(pty.write("PC;"));

        std::string received;
        QTRY_COMPARE_WITH_TIMEOUT((received += comm.input(), QByteArray::fromStdString(received)), QByteArray("PC;"),
                                  kDeadlineMs);
        QCOMPARE(onComm.count(), 0);
    }

    void refusesWhatIsNoSerialPortWith8002_data() {
        QTest::addColumn<int>("port");
        QTest::addColumn<QString>("target"); // what the link leads to; empty for no link
        QTest::addColumn<QString>("named");  // what the description must name
        QTest::newRow("port 0") << 0 << QString() << "Com0";
        QTest::newRow("negative port") << -3 << QString() << "Com-3";
        QTest::newRow("link to an unplugged adapter")
            << 4 << "/dev/quorvel-unplugged-ttyUSB9" << m_ports + QStringLiteral("/com4");
        QTest::newRow("regular file") << 5 << m_config.path() + QStringLiteral("/file") << "/file";
        QTest::newRow("directory") << 6 << m_config.path() << m_config.path();
        QTest::newRow("character device that is no terminal") << 7 << "/dev/null"
                                                              << "/dev/null";
    }
    void refusesWhatIsNoSerialPortWith8002() {
        QFETCH(int, port);
        QFETCH(QString, target);
        QFETCH(QString, named);
        QFile file(m_config.path() + QStringLiteral("/file"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        if (!target.isEmpty()) {
            link(port, target);
        }
        QtSerialComm comm(dirs());
        comm.setCommPort(static_cast<std::int16_t>(port));

        const Failure failure = failureOf([&] { comm.setPortOpen(true); });

        QCOMPARE(failure.number, err::kInvalidPortNumber);
        QVERIFY2(failure.description.contains(named), qPrintable(failure.description));
        QVERIFY(!comm.portOpen());
    }

    void aLinkThatLeadsNowhereDoesNotFallThroughToTheNextCandidate() {
        Pty wine;
        QVERIFY(wine.isValid());
        QTemporaryDir dosdevices;
        QVERIFY(QFile::link(wine.slavePath(), dosdevices.path() + QStringLiteral("/com8")));
        link(8, QStringLiteral("/dev/quorvel-unplugged-ttyUSB8"));
        QtSerialComm comm(PortSearchDirs{m_ports.toStdString(), dosdevices.path().toStdString()});
        comm.setCommPort(8);

        QCOMPARE(failureOf([&] { comm.setPortOpen(true); }).number, err::kInvalidPortNumber);
    }

    void theProgramsOwnLinkComesBeforeWines_data() {
        QTest::addColumn<bool>("ownLink");
        QTest::addColumn<bool>("wineLink");
        QTest::addColumn<QString>("reached");
        QTest::newRow("both") << true << true << "own";
        QTest::newRow("wine only") << false << true << "wine";
        QTest::newRow("own only") << true << false << "own";
    }
    void theProgramsOwnLinkComesBeforeWines() {
        QFETCH(bool, ownLink);
        QFETCH(bool, wineLink);
        QFETCH(QString, reached);
        Pty own;
        Pty wine;
        QVERIFY(own.isValid() && wine.isValid());
        QTemporaryDir dosdevices;
        QFile::remove(m_ports + QStringLiteral("/com9"));
        if (ownLink) {
            link(9, own.slavePath());
        }
        if (wineLink) {
            QVERIFY(QFile::link(wine.slavePath(), dosdevices.path() + QStringLiteral("/com9")));
        }
        QtSerialComm comm(PortSearchDirs{m_ports.toStdString(), dosdevices.path().toStdString()});
        QVERIFY(opened(comm, 9));

        comm.output("PC;");

        QCOMPARE((reached == u"own" ? own : wine).read(7), QByteArray("K22;PC;"));
        QCOMPARE((reached == u"own" ? wine : own).read(1, 100), QByteArray());
    }

    void theMappingFolderFollowsXdgConfigHome_data() {
        QTest::addColumn<QString>("xdgConfigHome");
        QTest::addColumn<QString>("home");
        QTest::addColumn<QString>("folder");
        const QString base = m_config.path();
        QTest::newRow("absolute XDG_CONFIG_HOME") << base + "/xdg" << base + "/home" << base + "/xdg/Quorvel/ports";
        QTest::newRow("relative one is ignored") << "xdg" << base + "/home" << base + "/home/.config/Quorvel/ports";
        QTest::newRow("unset") << QString() << base + "/home" << base + "/home/.config/Quorvel/ports";
    }
    void theMappingFolderFollowsXdgConfigHome() {
        QFETCH(QString, xdgConfigHome);
        QFETCH(QString, home);
        QFETCH(QString, folder);
        const EnvironmentVariable homeVariable("HOME", home);
        const EnvironmentVariable xdgVariable("XDG_CONFIG_HOME", xdgConfigHome);
        Pty pty;
        QVERIFY(pty.isValid());
        QVERIFY(QDir().mkpath(folder));
        QFile::remove(folder + QStringLiteral("/com11"));
        QVERIFY(QFile::link(pty.slavePath(), folder + QStringLiteral("/com11")));

        QtSerialComm comm(QtSerialComm::defaultSearchDirs());
        QVERIFY(opened(comm, 11));
        comm.output("PC;");

        QCOMPARE(pty.read(7), QByteArray("K22;PC;"));
    }

    void writingWhileClosedGives8018() {
        Pty pty;
        QVERIFY(pty.isValid());
        link(1, pty.slavePath());
        QtSerialComm comm(dirs());
        const Failure neverOpened = failureOf([&] { comm.output("PC;"); });
        QVERIFY(opened(comm, 1));
        comm.setPortOpen(false);

        const Failure closed = failureOf([&] { comm.output("PC0501;"); });

        for (const Failure& failure : {neverOpened, closed}) {
            QCOMPARE(failure.number, err::kPortNotOpen);
            QCOMPARE(failure.description, QStringLiteral("Operation valid only when the port is open"));
        }
        QVERIFY(comm.input().empty());
    }

    void settingsThatAreNotBaudParityDataStopGive380_data() {
        QTest::addColumn<QString>("settings");
        for (const char* text :
             {"", "38400", "38400,N,8", "38400,N,8,1,1", "fast,N,8,1", "0,N,8,1", "-9600,N,8,1", "+9600,N,8,1",
              " 9600,N,8,1", "38400,X,8,1", "38400,,8,1", "38400,N,9,1", "38400,N,4,1", "38400,N,8,3", "38400;N;8;1"}) {
            QTest::newRow(*text ? text : "empty") << QString::fromLatin1(text);
        }
    }
    void settingsThatAreNotBaudParityDataStopGive380() {
        QFETCH(QString, settings);
        Pty pty;
        QVERIFY(pty.isValid());
        link(1, pty.slavePath());
        QtSerialComm comm(dirs());
        comm.setSettings("9600,O,8,2");

        const Failure failure = failureOf([&] { comm.setSettings(settings.toStdString()); });

        QCOMPARE(failure.number, err::kInvalidPropertyValue);
        QVERIFY2(failure.description.contains(settings), qPrintable(failure.description));
        // The refused text changes nothing: the port opens with the settings before it.
        comm.setCommPort(1);
        QCOMPARE(failureOf([&] { comm.setPortOpen(true); }).number, 0);
        const termios t = pty.lineSettings();
        QCOMPARE(cfgetospeed(&t), speed_t{B9600});
        QCOMPARE(t.c_cflag & (PARODD | CSTOPB), tcflag_t{PARODD | CSTOPB});
    }

    void anOpenPortRefusesAnotherNumberAndASecondOpenWith8005() {
        Pty pty;
        QVERIFY(pty.isValid());
        link(1, pty.slavePath());
        QtSerialComm comm(dirs());
        QVERIFY(opened(comm, 1));

        const Failure renumber = failureOf([&] { comm.setCommPort(2); });
        const Failure reopen = failureOf([&] { comm.setPortOpen(true); });

        QCOMPARE(renumber.number, err::kPortAlreadyOpen);
        QCOMPARE(reopen.number, err::kPortAlreadyOpen);
        QVERIFY(renumber.description.contains(pty.slavePath()));
        comm.output("PC;");
        QCOMPARE(pty.read(7), QByteArray("K22;PC;")); // the refused second open wrote nothing
        comm.setPortOpen(false);
        comm.setPortOpen(false); // closing a closed port is harmless
        QVERIFY(!comm.portOpen());
    }

    void aDeviceHeldByAnotherComponentGives8005() {
        Pty pty;
        QVERIFY(pty.isValid());
        link(1, pty.slavePath());
        QtSerialComm holder(dirs());
        QVERIFY(opened(holder, 1));
        QtSerialComm comm(dirs());

        const Failure failure = failureOf([&] { openAsStartupDoes(comm, 1); });

        QCOMPARE(failure.number, err::kPortAlreadyOpen);
        QVERIFY2(failure.description.contains(pty.slavePath()), qPrintable(failure.description));
        QVERIFY(!comm.portOpen());
        holder.setPortOpen(false);
        QVERIFY(opened(comm, 1)); // free again once the holder lets go
        QVERIFY(comm.portOpen());
    }

    // Another program with the device open, as rigctld keeps it: refused by its name and process
    // id, with the ways to share the radio, and nothing is written to the line meanwhile.
    void aDeviceAnotherProgramHoldsIsRefusedByNameAndLeftAlone() {
        Pty pty;
        QVERIFY(pty.isValid());
        link(1, pty.slavePath());
        // The other program has the line only: with the test's end of it too it would be its far end.
        QCOMPARE(::fcntl(pty.master(), F_SETFD, FD_CLOEXEC), 0);
        QProcess holder;
        holder.setStandardInputFile(pty.slavePath());
        holder.start(QStringLiteral("sleep"), {QStringLiteral("30")});
        QVERIFY(holder.waitForStarted());
        const QString pid = QString::number(holder.processId());
        QtSerialComm comm(dirs());
        const TraceCapture trace(true);

        const Failure failure = failureOf([&] { openAsStartupDoes(comm, 1); });

        QCOMPARE(failure.number, err::kPortAlreadyOpen);
        for (const QString& part :
             {pty.slavePath(), QStringLiteral("sleep (process ") + pid + u')',
              QStringLiteral("--radio rigctld:127.0.0.1:4532"), QStringLiteral("flrig:127.0.0.1:12345")}) {
            QVERIFY2(failure.description.contains(part), qPrintable(failure.description));
        }
        QVERIFY(!comm.portOpen());
        QCOMPARE(pty.read(1, 200), QByteArray());
        QCOMPARE(TraceCapture::lines(), QStringList{QStringLiteral("refused Com1 ") + failure.description});

        holder.kill();
        QVERIFY(holder.waitForFinished());
        QVERIFY(opened(comm, 1)); // free again once the other program is gone
    }

    void modemLinesOfAPseudoTerminalNeitherFailTheOpenNorLaterCalls() {
        Pty pty;
        QVERIFY(pty.isValid());
        link(1, pty.slavePath());
        QtSerialComm comm(dirs());
        QVERIFY(opened(comm, 1));
        auto* port = comm.findChild<QSerialPort*>();
        QVERIFY(port != nullptr);

        QCOMPARE(port->error(), QSerialPort::NoError);
        comm.setRTSEnable(true);
        comm.setDTREnable(true);
        comm.setRTSEnable(false);

        QCOMPARE(port->error(), QSerialPort::NoError);
        comm.output("PC;");
        QCOMPARE(pty.read(7), QByteArray("K22;PC;"));
    }

    void anUnpluggedDeviceClosesThePortWithoutAFlood() {
        auto pty = std::make_unique<Pty>();
        QVERIFY(pty->isValid());
        link(1, pty->slavePath());
        QtSerialComm comm(dirs());
        QVERIFY(opened(comm, 1));
        auto* port = comm.findChild<QSerialPort*>();
        QVERIFY(port != nullptr);
        QSignalSpy onComm(&comm, &QtSerialComm::onComm);
        QSignalSpy errors(port, &QSerialPort::errorOccurred);

        pty->closeMaster();

        QTRY_VERIFY_WITH_TIMEOUT(!comm.portOpen(), kDeadlineMs);
        // The adapter stays away, link and all. The device's number is free at once for another
        // process's pseudo-terminal, which the watch for its return would try, and signal that.
        QVERIFY(QFile::remove(m_ports + QStringLiteral("/com1")));
        // Left open, the port would report a read error on every pass of the event loop and
        // burn a core: over a quiet spell nothing more may come and little CPU may go.
        const qsizetype errorsAtClose = errors.count();
        const double cpuBefore = cpuSeconds();
        QElapsedTimer wall;
        wall.start();
        QVERIFY2(!errors.wait(300),
                 qPrintable(QStringLiteral("error %1 after the close").arg(errors.constLast().constFirst().toInt())));
        const double cpuUsed = cpuSeconds() - cpuBefore;
        QVERIFY2(errorsAtClose <= 4, qPrintable(QString::number(errorsAtClose)));
        QVERIFY2(cpuUsed < 0.5 * static_cast<double>(wall.elapsed()) / 1000.0, qPrintable(QString::number(cpuUsed)));
        QCOMPARE(onComm.count(), 0);
        QCOMPARE(failureOf([&] { comm.output("PC;"); }).number, err::kPortNotOpen);
    }

    // Another program reading the same device takes a reply off the line between the port's notice
    // that bytes arrived and its read, which then finds none. That is no lost device: the port
    // must neither close nor reopen over it, and the next reply is read as ever.
    void aSecondReaderOnTheDeviceIsNoLoss() {
        Pty pty;
        QVERIFY(pty.isValid());
        link(1, pty.slavePath());
        QtSerialComm comm(dirs());
        QVERIFY(opened(comm, 1));
        QVERIFY(pty.tookModeCommand());
        auto* link = comm.findChild<quorvel::ByteLink*>();
        auto* port = comm.findChild<QSerialPort*>();
        QVERIFY(link != nullptr && port != nullptr);
        QSignalSpy lost(link, &quorvel::ByteLink::lost);
        QSignalSpy emptyReads(port, &QSerialPort::errorOccurred);
        const int other = ::open(QFile::encodeName(pty.slavePath()).constData(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
        QVERIFY(other >= 0);
        // The other program, at the worst moment: right when the port is told to read.
        SecondReader thief(other);
        for (QSocketNotifier* notifier : port->findChildren<QSocketNotifier*>()) {
            notifier->installEventFilter(&thief);
        }

        constexpr int kStolen = 5;
        for (int i = 1; i <= kStolen; ++i) {
            QVERIFY(pty.write("PC0501;"));
            QTRY_COMPARE_WITH_TIMEOUT(thief.taken, i * 7, kDeadlineMs);
            QTest::qWait(30);
        }
        thief.active = false;

        QVERIFY2(emptyReads.count() >= kStolen, qPrintable(QString::number(emptyReads.count())));
        QVERIFY2(lost.isEmpty(), qPrintable(lost.isEmpty() ? QString() : lost.first().first().toString()));
        QVERIFY(comm.portOpen());
        QCOMPARE(comm.input(), std::string());
        QSignalSpy onComm(&comm, &QtSerialComm::onComm);
        QVERIFY(pty.write("PC0601;"));
        QVERIFY(onComm.wait(kDeadlineMs));
        std::string received;
        QTRY_COMPARE_WITH_TIMEOUT((received += comm.input(), QByteArray::fromStdString(received)),
                                  QByteArray("PC0601;"), kDeadlineMs);
        comm.output("PC;");
        QCOMPARE(pty.read(3), QByteArray("PC;"));
        ::close(other);
    }

    // No group may open a device with no rights for anyone, so none is suggested.
    void unreadableDeviceGives8010NamingTheDevice() {
        if (isRoot()) {
            QSKIP("root may open any device; refusedDevicesForAnOrdinaryUser covers this case as nobody");
        }
        Pty pty;
        QVERIFY(pty.isValid());
        link(1, pty.slavePath());
        QVERIFY(::chmod(QFile::encodeName(pty.slavePath()).constData(), 0) == 0);
        QtSerialComm comm(dirs());

        const Failure failure = failureOf([&] { openAsStartupDoes(comm, 1); });

        QCOMPARE(failure.number, err::kPortPermissionDenied);
        QVERIFY2(failure.description.contains(pty.slavePath()), qPrintable(failure.description));
        QVERIFY2(!failure.description.contains(u"usermod"), qPrintable(failure.description));
        QVERIFY2(failure.description.contains(u"no group"), qPrintable(failure.description));
    }

    void refusedDevicesForAnOrdinaryUser_data() {
        QTest::addColumn<bool>("heldByAnother");
        QTest::addColumn<bool>("rootOnly");
        QTest::addColumn<int>("number");
        QTest::addColumn<QString>("named");
        QTest::addColumn<QString>("notNamed");
        QTest::newRow("no rights on the device")
            << false << false << err::kPortPermissionDenied << "add your user to the dialout group"
            << "no group";
        QTest::newRow("device only root may open")
            << false << true << err::kPortPermissionDenied << "no group of users may open it"
            << "usermod";
        QTest::newRow("device held by another program") << true << false << err::kPortAlreadyOpen << "in use"
                                                        << "usermod";
    }
    void refusedDevicesForAnOrdinaryUser() {
        QFETCH(bool, heldByAnother);
        QFETCH(bool, rootOnly);
        QFETCH(int, number);
        QFETCH(QString, named);
        QFETCH(QString, notNamed);
        if (!isRoot()) {
            QSKIP("needs root to run the helper as nobody; unreadableDeviceGives8010NamingTheDevice "
                  "and aDeviceHeldByAnotherComponentGives8005 cover an ordinary user");
        }
        const group* dialout = ::getgrnam("dialout");
        if (dialout == nullptr) {
            QSKIP("this system has no dialout group");
        }
        Pty pty;
        QVERIFY(pty.isValid());
        link(1, pty.slavePath());
        const QByteArray slave = QFile::encodeName(pty.slavePath());
        QVERIFY(::chown(slave.constData(), 0, rootOnly ? 0 : dialout->gr_gid) == 0);
        QVERIFY(::chmod(slave.constData(), heldByAnother ? 0666 : rootOnly ? 0600 : 0660) == 0);
        QtSerialComm holder(dirs());
        if (heldByAnother) {
            QVERIFY(opened(holder, 1));
        }

        const QString answer =
            quorvel::testing::runAsNobody("SerialCommTest", {QString::fromLatin1(kOpenHelper), m_ports, "1"});

        QVERIFY2(answer.startsWith(QString::number(number) + u' '), qPrintable(answer));
        QVERIFY2(answer.contains(named), qPrintable(answer));
        QVERIFY2(answer.contains(pty.slavePath()), qPrintable(answer));
        QVERIFY2(!answer.contains(notNamed), qPrintable(answer));
    }

    // The adapter comes back behind the same Com link, re-pointed at once or after the link was
    // gone for a while: the component reopens it by itself, with the line settings of the last
    // open, and raises nothing on the way. While the link is gone Com N falls through to the
    // next candidate, another device, which must not be taken for the adapter.
    void anUnpluggedDeviceIsReopenedWhenItComesBack_data() {
        QTest::addColumn<bool>("linkGoneMeanwhile");
        QTest::newRow("link re-pointed") << false;
        QTest::newRow("link removed, then made again") << true;
    }
    void anUnpluggedDeviceIsReopenedWhenItComesBack() {
        QFETCH(bool, linkGoneMeanwhile);
        auto first = std::make_unique<Pty>();
        QVERIFY(first->isValid());
        link(1, first->slavePath());
        Pty otherDevice;
        QVERIFY(otherDevice.isValid());
        QTemporaryDir dosdevices;
        QVERIFY(QFile::link(otherDevice.slavePath(), dosdevices.path() + QStringLiteral("/com1")));
        QtSerialComm comm(PortSearchDirs{m_ports.toStdString(), dosdevices.path().toStdString()});
        QVERIFY(opened(comm, 1, "9600,N,8,2"));
        QSignalSpy onComm(&comm, &QtSerialComm::onComm);
        QSignalSpy looks(comm.findChild<QTimer*>(), &QTimer::timeout);

        first->closeMaster();
        QTRY_VERIFY_WITH_TIMEOUT(!comm.portOpen(), kDeadlineMs);
        QVERIFY(comm.watchingForReturn());
        if (linkGoneMeanwhile) {
            QVERIFY(QFile::remove(m_ports + QStringLiteral("/com1")));
            QTRY_VERIFY_WITH_TIMEOUT(looks.count() >= 3, kDeadlineMs);
            QVERIFY(!comm.portOpen());
        }
        QCOMPARE(failureOf([&] { comm.output("PC;"); }).number, err::kPortNotOpen);
        QCOMPARE(comm.input(), std::string());
        Pty second;
        QVERIFY(second.isValid());
        QElapsedTimer sinceReturn;
        sinceReturn.start();
        link(1, second.slavePath());

        QTRY_VERIFY_WITH_TIMEOUT(comm.portOpen(), kDeadlineMs);
        QVERIFY2(sinceReturn.elapsed() < 2000, qPrintable(QString::number(sinceReturn.elapsed())));
        QVERIFY(!comm.watchingForReturn());
        QCOMPARE(onComm.count(), 0);
        const termios t = second.lineSettings();
        QCOMPARE(cfgetospeed(&t), speed_t{B9600});
        QCOMPARE(t.c_cflag & CSTOPB, tcflag_t{CSTOPB});
        QVERIFY(second.tookModeCommand()); // the radio may have been switched off meanwhile
        comm.output("PC;");
        QCOMPARE(second.read(3), QByteArray("PC;"));
        QCOMPARE(otherDevice.read(1, 100), QByteArray());
        QVERIFY(second.write("PC0501;"));
        QVERIFY(onComm.wait(kDeadlineMs));
        std::string received;
        QTRY_COMPARE_WITH_TIMEOUT((received += comm.input(), QByteArray::fromStdString(received)),
                                  QByteArray("PC0501;"), kDeadlineMs);
    }

    // Another program holds the device when it comes back: the refusal is raised once (onComm,
    // then thrown by the next input), not at every look, and the port is taken up once the
    // device is free. The next return may be reported again.
    void aRefusedReopenIsRaisedOncePerReturn() {
        auto plugged = std::make_unique<Pty>();
        QVERIFY(plugged->isValid());
        link(1, plugged->slavePath());
        QtSerialComm comm(dirs());
        QVERIFY(opened(comm, 1));
        QSignalSpy onComm(&comm, &QtSerialComm::onComm);
        QSignalSpy looks(comm.findChild<QTimer*>(), &QTimer::timeout);

        for (int round = 1; round <= 2; ++round) {
            plugged->closeMaster();
            QTRY_VERIFY_WITH_TIMEOUT(!comm.portOpen(), kDeadlineMs);
            auto back = std::make_unique<Pty>();
            QVERIFY(back->isValid());
            link(1, back->slavePath());
            QtSerialComm otherProgram(dirs());
            QVERIFY(opened(otherProgram, 1));
            QVERIFY(back->tookModeCommand());

            QTRY_COMPARE_WITH_TIMEOUT(onComm.count(), round, kDeadlineMs);
            const Failure raised = failureOf([&] { comm.input(); });
            QCOMPARE(raised.number, err::kPortAlreadyOpen);
            QVERIFY2(raised.description.contains(back->slavePath()), qPrintable(raised.description));
            QCOMPARE(failureOf([&] { comm.input(); }).number, 0);
            const qsizetype looked = looks.count();
            QTRY_VERIFY_WITH_TIMEOUT(looks.count() >= looked + 3, kDeadlineMs);
            QCOMPARE(onComm.count(), round);

            otherProgram.setPortOpen(false);
            QTRY_VERIFY_WITH_TIMEOUT(comm.portOpen(), kDeadlineMs);
            comm.output("PC;");
            QCOMPARE(back->read(7), QByteArray("K22;PC;"));
            plugged = std::move(back);
        }
    }

    // A port chosen or closed meanwhile is the user's word: the vanished one is no longer
    // looked for, and a refusal not yet read is dropped with it.
    void choosingOrClosingThePortEndsTheWatch_data() {
        QTest::addColumn<bool>("choose");
        QTest::newRow("another port chosen") << true;
        QTest::newRow("port closed") << false;
    }
    void choosingOrClosingThePortEndsTheWatch() {
        QFETCH(bool, choose);
        Pty pty;
        QVERIFY(pty.isValid());
        link(1, pty.slavePath());
        QtSerialComm comm(dirs());
        QVERIFY(opened(comm, 1));
        pty.closeMaster();
        QTRY_VERIFY_WITH_TIMEOUT(!comm.portOpen(), kDeadlineMs);
        QVERIFY(comm.watchingForReturn());

        if (choose) {
            comm.setCommPort(2);
        } else {
            comm.setPortOpen(false);
        }

        QVERIFY(!comm.watchingForReturn());
        QVERIFY(!comm.portOpen());
    }

    void visibleBytesEscapesWhatWouldNotShow_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("shown");
        QTest::newRow("a reply") << QByteArray("PC0501;") << "\"PC0501;\"";
        QTest::newRow("nothing") << QByteArray() << "\"\"";
        QTest::newRow("line ends and tab") << QByteArray("PC;\r\n\t") << "\"PC;\\r\\n\\t\"";
        QTest::newRow("quote and backslash") << QByteArray("a\"b\\c") << "\"a\\\"b\\\\c\"";
        QTest::newRow("NUL, DEL and Latin-1") << QByteArray("\x00\x7f\xb0;", 4) << "\"\\x00\\x7f\\xb0;\"";
        QTest::newRow("blank kept") << QByteArray(" PC; ") << "\" PC; \"";
    }
    void visibleBytesEscapesWhatWouldNotShow() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, shown);
        QCOMPARE(quorvel::visibleBytes(bytes), shown);
    }

    // Off unless turned on; on, one line per exchange and per port event, naming the device.
    void traceShowsEveryExchangeAndPortEventOnlyWhenOn() {
        auto first = std::make_unique<Pty>();
        QVERIFY(first->isValid());
        link(1, first->slavePath());
        QtSerialComm comm(dirs());
        {
            const TraceCapture quiet(false);
            QVERIFY(!quorvel::lcCat().isDebugEnabled());
            QVERIFY(opened(comm, 1));
            comm.output("PC;");
            QCOMPARE(first->read(7), QByteArray("K22;PC;"));
            comm.setPortOpen(false);
            QCOMPARE(TraceCapture::lines(), QStringList());
        }
        const TraceCapture trace(true);
        QVERIFY(opened(comm, 1));
        comm.output("PC;\r");
        QCOMPARE(first->read(8), QByteArray("K22;PC;\r"));
        QVERIFY(first->write("PC0501;"));
        std::string received;
        QTRY_COMPARE_WITH_TIMEOUT((received += comm.input(), QByteArray::fromStdString(received)),
                                  QByteArray("PC0501;"), kDeadlineMs);
        const QString firstPath = first->slavePath();
        first->closeMaster();
        QTRY_VERIFY_WITH_TIMEOUT(!comm.portOpen(), kDeadlineMs);
        Pty second;
        QVERIFY(second.isValid());
        link(1, second.slavePath());
        QTRY_VERIFY_WITH_TIMEOUT(comm.portOpen(), kDeadlineMs);
        comm.setPortOpen(false);

        const QStringList lines = TraceCapture::lines();
        QCOMPARE(lines.size(), 8);
        QCOMPARE(lines[0], QStringLiteral("open ") + firstPath);
        QCOMPARE(lines[1], QStringLiteral("tx \"K22;\""));
        QCOMPARE(lines[2], QStringLiteral("tx \"PC;\\r\""));
        QCOMPARE(lines[3], QStringLiteral("rx \"PC0501;\""));
        QVERIFY2(lines[4].startsWith(QStringLiteral("lost ") + firstPath), qPrintable(lines[4]));
        QCOMPARE(lines[5], QStringLiteral("reopen ") + second.slavePath());
        QCOMPARE(lines[6], QStringLiteral("tx \"K22;\""));
        QCOMPARE(lines[7], QStringLiteral("close ") + second.slavePath());
    }
};

int runSerialCommTest(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc == 4 && qstrcmp(argv[1], kOpenHelper) == 0) {
        return runOpenHelper(QString::fromLocal8Bit(argv[2]), QByteArray(argv[3]).toInt());
    }
    SerialCommTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "SerialCommTest.moc"
