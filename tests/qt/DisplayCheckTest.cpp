// The display check before the window: which environments have a display Qt can use, and the
// real connection probes on real sockets; and the messages Qt gives while its platform starts.

#include "qt/DisplayCheck.h"
#include "qt/PlatformStart.h"
#include "tests/qt/QtTestMain.h"

#include <QLoggingCategory>
#include <QTemporaryDir>
#include <QTest>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <utility>

using namespace quorvel;

namespace {

// A listening Unix socket, as a Wayland compositor keeps one.
class ListeningSocket {
public:
    explicit ListeningSocket(const std::string& path) : m_fd(::socket(AF_UNIX, SOCK_STREAM, 0)) {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        path.copy(address.sun_path, sizeof address.sun_path - 1);
        m_listening = m_fd >= 0 && ::bind(m_fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 &&
                      ::listen(m_fd, 1) == 0;
    }
    ~ListeningSocket() { ::close(m_fd); }
    ListeningSocket(const ListeningSocket&) = delete;
    ListeningSocket& operator=(const ListeningSocket&) = delete;
    bool listening() const { return m_listening; }

private:
    int m_fd;
    bool m_listening = false;
};

// Every message that reaches the usual handler while it lives, as "<category>: <text>".
class MessageLog {
public:
    MessageLog() {
        s_current = this;
        m_previous = qInstallMessageHandler(&MessageLog::record);
    }
    ~MessageLog() {
        qInstallMessageHandler(m_previous);
        s_current = nullptr;
    }
    MessageLog(const MessageLog&) = delete;
    MessageLog& operator=(const MessageLog&) = delete;

    QStringList take() { return std::exchange(m_messages, {}); }

private:
    static void record(QtMsgType /*type*/, const QMessageLogContext& context, const QString& message) {
        s_current->m_messages << QString::fromLatin1(context.category) + ": " + message;
    }

    static inline MessageLog* s_current = nullptr;
    QtMessageHandler m_previous = nullptr;
    QStringList m_messages;
};

} // namespace

class DisplayCheckTest : public QObject {
    Q_OBJECT

private slots:
    void findsADisplayQtCanUse_data() {
        QTest::addColumn<QString>("platform");
        QTest::addColumn<QString>("display");
        QTest::addColumn<QString>("wayland");
        QTest::addColumn<QString>("runtimeDir");
        QTest::addColumn<bool>("x11Answers");
        QTest::addColumn<bool>("waylandAnswers");
        QTest::addColumn<QStringList>("probed");
        QTest::addColumn<QStringList>("problemNames"); // empty: no problem

        QTest::newRow("offscreen needs no server") << "offscreen"
                                                   << ""
                                                   << ""
                                                   << "" << false << false << QStringList{} << QStringList{};
        QTest::newRow("a framebuffer platform is Qt's business")
            << "eglfs"
            << ""
            << ""
            << "" << false << false << QStringList{} << QStringList{};
        QTest::newRow("nothing set") << ""
                                     << ""
                                     << ""
                                     << "" << false << false << QStringList{}
                                     << QStringList{"DISPLAY is not set", "WAYLAND_DISPLAY is not set"};
        QTest::newRow("X display that answers") << "xcb"
                                                << ":0"
                                                << ""
                                                << "" << true << false << QStringList{"x11 :0"} << QStringList{};
        QTest::newRow("X display that does not answer")
            << "xcb"
            << ":7"
            << ""
            << "" << false << false << QStringList{"x11 :7"} << QStringList{"cannot connect to the X display :7"};
        QTest::newRow("X with platform options") << "xcb:nograb"
                                                 << ":0"
                                                 << ""
                                                 << "" << true << false << QStringList{"x11 :0"} << QStringList{};
        QTest::newRow("default finds Wayland in the runtime folder")
            << ""
            << ""
            << "wayland-1"
            << "/run/user/1000" << false << true << QStringList{"wayland /run/user/1000/wayland-1"} << QStringList{};
        QTest::newRow("default tries X first")
            << ""
            << ":0"
            << "wayland-1"
            << "/run/user/1000" << true << true << QStringList{"x11 :0"} << QStringList{};
        QTest::newRow("Wayland told, only X there")
            << "wayland"
            << ":0"
            << ""
            << "/run/user/1000" << true << false << QStringList{} << QStringList{"WAYLAND_DISPLAY is not set"};
        QTest::newRow("Wayland by path, then X")
            << "wayland;xcb"
            << ":0"
            << "/tmp/w"
            << "" << true << false << QStringList{"wayland /tmp/w", "x11 :0"} << QStringList{};
        QTest::newRow("Wayland name without a runtime folder")
            << "wayland-egl"
            << ""
            << "wayland-0"
            << "" << false << true << QStringList{} << QStringList{"XDG_RUNTIME_DIR"};
        QTest::newRow("neither answers") << "wayland;xcb"
                                         << ":3"
                                         << "wayland-0"
                                         << "/r" << false << false << QStringList{"wayland /r/wayland-0", "x11 :3"}
                                         << QStringList{"cannot connect to the Wayland display /r/wayland-0",
                                                        "cannot connect to the X display :3"};
    }

    void findsADisplayQtCanUse() {
        QFETCH(QString, platform);
        QFETCH(QString, display);
        QFETCH(QString, wayland);
        QFETCH(QString, runtimeDir);
        QFETCH(bool, x11Answers);
        QFETCH(bool, waylandAnswers);
        QFETCH(QStringList, probed);
        QFETCH(QStringList, problemNames);

        QStringList calls;
        const DisplayProbes probes{[&](const std::string& name) {
                                       calls << "x11 " + QString::fromStdString(name);
                                       return x11Answers;
                                   },
                                   [&](const std::string& path) {
                                       calls << "wayland " + QString::fromStdString(path);
                                       return waylandAnswers;
                                   }};
        const auto problem = displayProblem(
            {platform.toStdString(), display.toStdString(), wayland.toStdString(), runtimeDir.toStdString()}, probes);

        QCOMPARE(calls, probed);
        QCOMPARE(problem.has_value(), !problemNames.isEmpty());
        if (problem) {
            const QString text = QString::fromStdString(*problem);
            QVERIFY2(text.startsWith("no display to show the window on"), qPrintable(text));
            QVERIFY(!text.contains('\n'));
            for (const QString& name : problemNames) {
                QVERIFY2(text.contains(name), qPrintable(text));
            }
        }
    }

    void waylandProbeConnectsToAListeningSocketOnly() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const std::string path = dir.filePath("wayland-9").toStdString();
        const DisplayProbes probes = systemDisplayProbes();
        QVERIFY(!probes.wayland(path));
        {
            const ListeningSocket compositor(path);
            QVERIFY(compositor.listening());
            QVERIFY(probes.wayland(path));
        }
        QVERIFY(!probes.wayland(path)); // the file stays, nobody listens
        QVERIFY(!probes.wayland("/tmp/" + std::string(200, 'w')));
    }

    // While the platform starts, the plugin loader's warnings wait: a platform that fails ends the
    // program in one line of its own, and one that starts after all has them passed on, in order.
    // Everything else goes on at once, and after the start the usual way again.
    void platformStartHoldsThePluginWarningsTillItHasStarted() {
        const QLoggingCategory plugins("qt.qpa.plugin");
        const QLoggingCategory other("qt.other");
        MessageLog log;
        {
            PlatformStart start(QStringLiteral("wayland;xcb"));
            qCWarning(plugins) << "Could not find the Qt platform plugin \"wayland\"";
            qCWarning(other) << "on its way";
            qCInfo(plugins) << "loaded xcb";
            QCOMPARE(log.take(), QStringList{"qt.other: on its way"});

            start.started();
            QCOMPARE(log.take(), (QStringList{"qt.qpa.plugin: Could not find the Qt platform plugin \"wayland\"",
                                              "qt.qpa.plugin: loaded xcb"}));
            qCWarning(plugins) << "later";
            QCOMPARE(log.take(), QStringList{"qt.qpa.plugin: later"});
        }
        qCWarning(plugins) << "after";
        QCOMPARE(log.take(), QStringList{"qt.qpa.plugin: after"});

        // A watch that ends without being told passes its warnings on as it goes.
        {
            PlatformStart start(QString{});
            qCWarning(plugins) << "held";
            QCOMPARE(log.take(), QStringList{});
        }
        QCOMPARE(log.take(), QStringList{"qt.qpa.plugin: held"});
    }

    // The end-to-end tests start the program on a real X server; here, where none listens.
    void x11ProbeFailsWhereNoServerListens() {
        QVERIFY(!systemDisplayProbes().x11(":65123"));
        QVERIFY(!systemDisplayProbes().x11("not a display"));
    }
};

QUORVEL_QT_GUILESS_TEST(DisplayCheckTest)
#include "DisplayCheckTest.moc"
