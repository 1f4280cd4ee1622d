#include "qt/CommandLine.h"

#include "app/Version.h"
#include "link/RadioRoute.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QLoggingCategory>

namespace quorvel {

CommandLine parseCommandLine(const QStringList& arguments) {
    QCommandLineParser parser;
    // "-platform" is one unknown option, not eight unknown letters.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption trace(QStringLiteral("trace"));
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption version(QStringLiteral("version"));
    const QCommandLineOption radio(QStringLiteral("radio"), QString(), QStringLiteral("ROUTE"));
    parser.addOptions({trace, help, version, radio});

    CommandLine line;
    if (!parser.parse(QStringList{QStringLiteral("quorvel")} + arguments)) {
        line.action = CommandLine::Action::Refuse;
        line.error = parser.errorText();
    } else if (!parser.positionalArguments().isEmpty()) {
        line.action = CommandLine::Action::Refuse;
        line.error = QStringLiteral("Unexpected argument '%1'.").arg(parser.positionalArguments().constFirst());
    } else if (parser.isSet(radio) && !parseRadioRoute(parser.value(radio).toStdString())) {
        line.action = CommandLine::Action::Refuse;
        line.error = QStringLiteral("'%1' is not a route to the radio; use %2.")
                         .arg(parser.value(radio), QString::fromLatin1(kRadioRouteForms));
    } else if (parser.isSet(help)) {
        line.action = CommandLine::Action::Help;
    } else if (parser.isSet(version)) {
        line.action = CommandLine::Action::Version;
    }
    line.trace = line.action == CommandLine::Action::Run && parser.isSet(trace);
    if (line.action == CommandLine::Action::Run) {
        line.radio = parser.value(radio);
    }
    return line;
}

QString usageText(const QString& settingsFile, const PortSearchDirs& portDirs) {
    QStringList portPlaces;
    for (const std::string& dir : {portDirs.mappingDir, portDirs.wineDosDevices}) {
        if (!dir.empty()) {
            portPlaces << QString::fromStdString(dir) + QStringLiteral("/comN");
        }
    }
    portPlaces << QStringLiteral("/dev/ttyS<N-1>");
    return QStringLiteral("Usage: quorvel [--trace] [--radio ROUTE]\n"
                          "       quorvel --help | --version\n"
                          "\n"
                          "Reads and sets the transmit power of a K3 transceiver over its serial CAT port\n"
                          "(38400 baud, 8 data bits, no parity, 1 stop bit).\n"
                          "\n"
                          "Options:\n"
                          "  --trace      write every exchange on the serial line to standard error,\n"
                          "               with a timestamp, and each time the port is opened,\n"
                          "               closed, lost or reopened\n"
                          "  --radio ROUTE\n"
                          "               reach the radio this way, for this run only (not saved):\n"
                          "               tcp:HOST:PORT (ser2net, a terminal server), rigctld:HOST:PORT,\n"
                          "               flrig:HOST:PORT, or a serial device path such as /dev/ttyUSB0\n"
                          "  -h, --help   show this text and exit\n"
                          "  --version    show the version and exit\n"
                          "\n"
                          "Settings:     %1\n"
                          "Com N is the first of these that exists (the first is meant as a link to\n"
                          "the device, e.g. ln -s /dev/serial/by-id/... com1):\n"
                          "  %2\n")
        .arg(settingsFile, portPlaces.join(QStringLiteral("\n  ")));
}

QString versionText() {
    return QStringLiteral("Quorvel ") +
           QString::fromLatin1(kVersionText.data(), static_cast<qsizetype>(kVersionText.size()));
}

void enableTrace() {
    // Qt built with a system log would send messages there when standard error is not a terminal;
    // a trace redirected into a file must still land in it.
    qputenv("QT_FORCE_STDERR_LOGGING", "1");
    QLoggingCategory::setFilterRules(QStringLiteral("quorvel.cat.debug=true"));
    qSetMessagePattern(QStringLiteral("%{time yyyy-MM-dd hh:mm:ss.zzz} %{if-category}%{category}: %{endif}%{message}"));
}

} // namespace quorvel
