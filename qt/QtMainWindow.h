#pragma once

#include "panel/Form1.h"
#include "panel/Window.h"
#include "qt/EventGate.h"
#include "qt/QtApplicationTitle.h"
#include "qt/QtConnectionDialog.h"
#include "qt/QtDialogs.h"
#include "qt/QtSerialDeviceList.h"
#include "qt/QtSharingDialog.h"
#include "qt/QtTimer.h"

#include <QWidget>

#include <array>
#include <memory>

class QMenuBar;

namespace quorvel {

class QtLamp;
class QtMenuItem;
class QtPushButton;
class QtSlider;
class QtTextBox;

// The program's one window: the real controls laid out at their design positions, the two timers,
// the application title and the boxes, and the Form1 that handles their events. Every event goes
// to Form1 through the window's EventGate, one at a time. Controls carry their design names as
// object names ("sldTxPwr", "mnuCom7", "tmrPoll" ...).
//
// A plain top-level widget with the menu bar laid out above the client area: QMainWindow's dock
// and tool bar layout, which the panel has no use for, would add a quarter of a MiB of its code to
// what stays resident.
class QtMainWindow : public QWidget, public Window {
    Q_OBJECT
public:
    // Without sharing doors, the Sharing box changes nothing.
    QtMainWindow(SerialComm& comm, SettingsStore& settings, Clock& clock, SharingDoors* sharing = nullptr,
                 QWidget* parent = nullptr);
    ~QtMainWindow() override;

    QtMainWindow(const QtMainWindow&) = delete;
    QtMainWindow& operator=(const QtMainWindow&) = delete;

    // Window: positions of the frame in twips at the screen's logical DPI.
    double left() const override;
    double top() const override;
    void setLeft(double twips) override;
    void setTop(double twips) override;
    void endProgram() override;

    // The window's Load event; the program runs it before the window is first shown.
    void load();
    // The serial component's receive event.
    void deliverOnComm();
    // The number of programs sharing the radio has changed.
    void deliverSharingCount(int programs);

    QMenuBar* menuBar() const { return m_menuBar; }
    Form1& form() { return *m_form; }
    EventGate& gate() { return m_gate; }
    QtDialogs& dialogs() { return m_dialogs; }
    QtSharingDialog& sharingDialog() { return m_sharingDialog; }
    const QtApplicationTitle& appTitle() const { return m_appTitle; }
    QtSerialDeviceList& serialDevices() { return m_serialDevices; }
    PortFolder& portFolder() { return m_portFolder; }

signals:
    // Exit has run to its end; the program is to stop now.
    void programEnded();

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void buildMenus();
    void buildClientArea();
    void connectEvents();
    template <typename Sender, typename Signal>
    void forwardUserEvent(Sender* sender, Signal signal, void (Form1::*handler)());

    QMenuBar* m_menuBar = nullptr;
    QWidget* m_client = nullptr;
    QtApplicationTitle m_appTitle;
    QtDialogs m_dialogs;
    QtSharingDialog m_sharingDialog;
    EventGate m_gate;
    QtConnectionDialog m_connectionDialog{this};
    QtSerialDeviceList m_serialDevices;
    PortFolder m_portFolder{portSearchDirs(userFolders())};

    QtTimer* m_tmrPoll = nullptr;
    QtTimer* m_tmrK3Con = nullptr;
    QtSlider* m_sldTxPwr = nullptr;
    QtTextBox* m_txtTxPwr = nullptr;
    QtLamp* m_shpPAEnabled = nullptr;
    QtLamp* m_shpK3Con = nullptr;
    QtPushButton* m_cmdPoll = nullptr;
    QtPushButton* m_cmdExit = nullptr;
    std::array<QtMenuItem*, 16> m_mnuCom{};
    QtMenuItem* m_mnuPoll = nullptr;
    QAction* m_mnuConnection = nullptr;
    QAction* m_mnuInterval = nullptr;
    QAction* m_mnuHelpAbout = nullptr;
    QAction* m_mnuSharing = nullptr;

    std::unique_ptr<Form1> m_form;
};

} // namespace quorvel
