// The command line: what each argument list asks for, the usage and version texts, and the trace
// switch on Qt's logging.

#include "qt/CommandLine.h"
#include "app/Version.h"
#include "tests/qt/QtTestMain.h"

#include <QLoggingCategory>
#include <QRegularExpression>
#include <QTest>

using namespace quorvel;

Q_DECLARE_METATYPE(quorvel::CommandLine::Action)

class CommandLineTest : public QObject {
    Q_OBJECT

private slots:
    void readsWhatItIsAsked_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<CommandLine::Action>("action");
        QTest::addColumn<bool>("trace");
        QTest::addColumn<QString>("errorNames"); // what the refusal must name; empty: no refusal
        using A = CommandLine::Action;
        QTest::newRow("nothing") << QStringList{} << A::Run << false << "";
        QTest::newRow("trace") << QStringList{"--trace"} << A::Run << true << "";
        QTest::newRow("help") << QStringList{"--help"} << A::Help << false << "";
        QTest::newRow("short help") << QStringList{"-h"} << A::Help << false << "";
        QTest::newRow("version") << QStringList{"--version"} << A::Version << false << "";
        QTest::newRow("help over version") << QStringList{"--version", "--help"} << A::Help << false << "";
        QTest::newRow("version with trace") << QStringList{"--trace", "--version"} << A::Version << false << "";
        QTest::newRow("unknown option") << QStringList{"--bogus"} << A::Refuse << false << "bogus";
        QTest::newRow("unknown before help") << QStringList{"--bogus", "--help"} << A::Refuse << false << "bogus";
        QTest::newRow("unknown short option") << QStringList{"-x"} << A::Refuse << false << "x";
        QTest::newRow("stray argument") << QStringList{"com1"} << A::Refuse << false << "com1";
        QTest::newRow("stray after help") << QStringList{"--help", "extra"} << A::Refuse << false << "extra";
        QTest::newRow("stray after --") << QStringList{"--", "--trace"} << A::Refuse << false << "--trace";
        QTest::newRow("empty argument") << QStringList{""} << A::Refuse << false << "''";
        QTest::newRow("radio needs a route") << QStringList{"--radio"} << A::Refuse << false << "radio";
        QTest::newRow("trace takes no value") << QStringList{"--trace=1"} << A::Refuse << false << "trace";
        QTest::newRow("Qt's own options are not ours")
            << QStringList{"-platform", "offscreen"} << A::Refuse << false << "platform";
    }

    void readsWhatItIsAsked() {
        QFETCH(QStringList, arguments);
        QFETCH(CommandLine::Action, action);
        QFETCH(bool, trace);
        QFETCH(QString, errorNames);
        const CommandLine line = parseCommandLine(arguments);
        QCOMPARE(line.action, action);
        QCOMPARE(line.trace, trace);
        QCOMPARE(line.error.isEmpty(), errorNames.isEmpty());
        QVERIFY2(line.error.contains(errorNames), qPrintable(line.error));
        QVERIFY(!line.error.contains('\n'));
    }

    // A route is checked before anything opens: a bad one is refused naming it and the forms.
    void readsTheRouteForThisRun_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("radio"); // empty: refused
        QTest::newRow("raw tcp") << QStringList{"--radio", "tcp:127.0.0.1:4001"} << "tcp:127.0.0.1:4001";
        QTest::newRow("with =") << QStringList{"--radio=rigctld:localhost:4532"} << "rigctld:localhost:4532";
        QTest::newRow("with trace") << QStringList{"--trace", "--radio", "/dev/ttyUSB0"} << "/dev/ttyUSB0";
        QTest::newRow("no port") << QStringList{"--radio", "tcp:host"} << "";
        QTest::newRow("port out of range") << QStringList{"--radio", "flrig:host:70000"} << "";
        QTest::newRow("a Com number") << QStringList{"--radio", "com1"} << "";
        QTest::newRow("empty") << QStringList{"--radio", ""} << "";
    }

    void readsTheRouteForThisRun() {
        QFETCH(QStringList, arguments);
        QFETCH(QString, radio);
        const CommandLine line = parseCommandLine(arguments);
        if (radio.isEmpty()) {
            QCOMPARE(line.action, CommandLine::Action::Refuse);
            QVERIFY2(line.error.contains("'" + arguments.last() + "'"), qPrintable(line.error));
            QVERIFY2(line.error.contains("tcp:HOST:PORT") && line.error.contains("device path"),
                     qPrintable(line.error));
            QVERIFY(line.radio.isEmpty());
        } else {
            QCOMPARE(line.action, CommandLine::Action::Run);
            QCOMPARE(line.radio, radio);
        }
        QVERIFY(parseCommandLine({"--help", "--radio", "tcp:h:1"}).radio.isEmpty());
    }

    void usageNamesTheOptionsTheSettingsAndThePortLinks() {
        const QString usage =
            usageText("/c/Quorvel/Quorvel.conf", PortSearchDirs{"/c/Quorvel/ports", "/h/.wine/dosdevices"});
        for (const char* part : {"--trace", "--help", "--version", "/c/Quorvel/Quorvel.conf", "/c/Quorvel/ports/comN",
                                 "/h/.wine/dosdevices/comN", "/dev/ttyS<N-1>", "38400"}) {
            QVERIFY2(usage.contains(part), part);
        }
        QVERIFY(usage.startsWith("Usage: quorvel"));
        QVERIFY(usage.endsWith('\n'));
        // Short paths, so any line too wide for an 80-column terminal is the text's own.
        for (const QString& line : usage.split('\n')) {
            QVERIFY2(line.size() < 80, qPrintable(line));
        }

        // Without HOME there is no folder to name; the built-in ports remain.
        const QString bare = usageText("/c/Quorvel/Quorvel.conf", PortSearchDirs{});
        QVERIFY(!bare.contains(" /comN"));
        QVERIFY(bare.contains("  /dev/ttyS<N-1>"));
    }

    // The one version the About box and the package show too.
    void versionIsTheProgramsOwn() {
        QCOMPARE(versionText(),
                 QString("Quorvel %1.%2.%3").arg(kVersionMajor).arg(kVersionMinor).arg(kVersionRevision));
        QCOMPARE(versionText(), QString("Quorvel 1.0.2"));
    }

    void traceTurnsOnTheSerialLineAloneWithATimestamp() {
        const QLoggingCategory line("quorvel.cat", QtInfoMsg);
        const QLoggingCategory other("quorvel.other", QtInfoMsg);
        QVERIFY(!line.isDebugEnabled());

        enableTrace();

        QVERIFY(line.isDebugEnabled());
        QVERIFY(!other.isDebugEnabled());
        const QMessageLogContext context(nullptr, 0, nullptr, "quorvel.cat");
        const QString stamped = qFormatLogMessage(QtDebugMsg, context, "tx \"PC;\"");
        const QRegularExpression expected(R"(^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} quorvel\.cat: tx "PC;"$)");
        QVERIFY2(expected.match(stamped).hasMatch(), qPrintable(stamped));
    }
};

QUORVEL_QT_GUILESS_TEST(CommandLineTest)
#include "CommandLineTest.moc"
