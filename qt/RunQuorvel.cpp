#include "qt/RunQuorvel.h"

#include "app/Clock.h"
#include "app/CommandOutput.h"
#include "app/Version.h"
#include "panel/Form1.h"
#include "qt/CommandLine.h"
#include "qt/ExtensionArrowStyle.h"
#include "qt/NetworkModule.h"
#include "qt/PlatformStart.h"
#include "qt/QtMainWindow.h"
#include "qt/QtSerialComm.h"
#include "qt/QtSettingsStore.h"
#include "qt/ShareHub.h"
#include "qt/SharingLink.h"

#include <QApplication>
#include <QSocketNotifier>

#include <cstdio>
#include <exception>

#ifdef __linux__
#include "app/StopSignals.h"
#include "qt/DisplayCheck.h"
#endif

namespace quorvel {

class StopSignals;

namespace {

QString usage() {
    const QtSettingsStore settings(QtSettingsStore::defaultConfigFolder());
    return usageText(settings.filePathFor(std::string(Form1::kAppName)), QtSerialComm::defaultSearchDirs());
}

// stopSignals: where stop signals arrive, or null where the system has no such route.
int runWindow(int argc, char** argv, const CommandLine& line, StopSignals* stopSignals) {
    if (line.trace) {
        enableTrace();
    }
    PlatformStart platformStart(qEnvironmentVariable("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    platformStart.started();
    // Names for Qt's own paths and the desktop's window grouping. No display name: Qt would add
    // it to every window title.
    QCoreApplication::setOrganizationName(QStringLiteral("Orlend"));
    QCoreApplication::setApplicationName(QStringLiteral("Quorvel"));
    QGuiApplication::setDesktopFileName(QString::fromLatin1(kApplicationId.data(), kApplicationId.size()));
    ExtensionArrowStyle::install();

    // A logout, Ctrl+C or kill ends the program as closing the window does: the port is closed in
    // order (its lock file removed, the line settings restored) and no position is saved.
    bool stopped = false;
    if (stopSignals != nullptr) {
        auto* notifier = new QSocketNotifier(stopSignals->fd(), QSocketNotifier::Read, &app);
        QObject::connect(notifier, &QSocketNotifier::activated, &app, [stopSignals, &stopped] {
            if (stopSignals->take() != 0) {
                stopped = true;
                QCoreApplication::exit(0);
            }
        });
    }

    // Before the hub and the serial component: the links and the door they hold are its code.
    NetworkModule network(NetworkModule::installedCandidates(QCoreApplication::applicationDirPath()));
    // Before the serial component: its links report to the hub until they are gone.
    ShareHub hub(network);
    QtSerialComm comm(QtSerialComm::defaultSearchDirs(), &network);
    comm.setLinkDecorator([&hub](std::unique_ptr<ByteLink> link) -> std::unique_ptr<ByteLink> {
        return std::make_unique<SharingLink>(std::move(link), hub);
    });
    QtSettingsStore settings(QtSettingsStore::defaultConfigFolder());
    SystemClock clock;
    QtMainWindow window(comm, settings, clock, &hub);
    QObject::connect(&hub, &ShareHub::programsChanged, &window, &QtMainWindow::deliverSharingCount);
    QApplication::setWindowIcon(window.windowIcon());

    QObject::connect(&comm, &QtSerialComm::onComm, &window, &QtMainWindow::deliverOnComm);
    QObject::connect(&window, &QtMainWindow::programEnded, &app, [] { QCoreApplication::exit(0); });

    // Start-up's boxes (no port saved, a port refused) come before the window is seen. A stop
    // signal while one waits ends its box; the event loop would not see that request again.
    if (!line.radio.isEmpty()) {
        window.form().useRadioForThisRun(line.radio.toStdString());
    }
    window.load();
    if (stopped) {
        return 0;
    }
    window.show();
    return QApplication::exec();
}

} // namespace

int runQuorvel(int argc, char** argv) {
    QStringList arguments;
    for (int i = 1; i < argc; ++i) {
        arguments << QString::fromLocal8Bit(argv[i]);
    }
    const CommandLine line = parseCommandLine(arguments);
    switch (line.action) {
    case CommandLine::Action::Help:
        return printCommandOutput("quorvel", usage().toLocal8Bit().toStdString());
    case CommandLine::Action::Version:
        return printCommandOutput("quorvel", (versionText() + u'\n').toLocal8Bit().toStdString());
    case CommandLine::Action::Refuse:
        std::fprintf(stderr, "quorvel: %s\n%s", qPrintable(line.error), qPrintable(usage()));
        return 2;
    case CommandLine::Action::Run:
        break;
    }

#ifdef __linux__
    try {
        StopSignals stopSignals; // before Qt starts any thread of its own
        if (const auto problem = displayProblem(currentDisplayEnvironment(), systemDisplayProbes())) {
            std::fprintf(stderr, "quorvel: %s\n", problem->c_str());
            return 1;
        }
        return runWindow(argc, argv, line, &stopSignals);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "quorvel: %s\n", e.what());
        return 1;
    }
#else
    return runWindow(argc, argv, line, nullptr);
#endif
}

} // namespace quorvel
