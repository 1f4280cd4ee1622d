#include "qt/RunQuorvel.h"

#include "app/Clock.h"
#include "qt/QtMainWindow.h"
#include "qt/QtSerialComm.h"
#include "qt/QtSettingsStore.h"

#include <QApplication>

namespace quorvel {

int runQuorvel(int argc, char** argv) {
    QApplication app(argc, argv);
    // Names for Qt's own paths and the desktop's window grouping. No display name: Qt would add
    // it to every window title.
    QCoreApplication::setOrganizationName(QStringLiteral("Orlend"));
    QCoreApplication::setApplicationName(QStringLiteral("Quorvel"));

    QtSerialComm comm(QtSerialComm::defaultSearchDirs());
    QtSettingsStore settings(QtSettingsStore::defaultConfigFolder());
    SystemClock clock;
    QtMainWindow window(comm, settings, clock);
    QApplication::setWindowIcon(window.windowIcon());

    QObject::connect(&comm, &QtSerialComm::onComm, &window, &QtMainWindow::deliverOnComm);
    QObject::connect(&window, &QtMainWindow::programEnded, &app, [] { QCoreApplication::exit(0); });

    // Start-up's boxes (no port saved, a port refused) come before the window is seen.
    window.load();
    window.show();
    return QApplication::exec();
}

} // namespace quorvel
