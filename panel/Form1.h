#pragma once

#include "app/Clock.h"
#include "app/SettingsStore.h"
#include "link/PortFolder.h"
#include "link/ReplyReader.h"
#include "link/SerialComm.h"
#include "panel/Application.h"
#include "panel/ConnectionDialog.h"
#include "panel/Dialogs.h"
#include "panel/Lamp.h"
#include "panel/MenuItem.h"
#include "panel/PushButton.h"
#include "panel/RegexMatcher.h"
#include "panel/SerialDeviceList.h"
#include "panel/SharingDoors.h"
#include "panel/Slider.h"
#include "panel/TextBox.h"
#include "panel/Timer.h"
#include "panel/Window.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace quorvel {

// Everything the window works on, provided by the platform layer (or by fakes in tests).
struct Form1Controls {
    Window& window;
    Application& app;
    Dialogs& dialogs;
    SettingsStore& settings;
    Clock& clock;
    SerialComm& MSComm1;
    Timer& tmrPoll;
    Timer& tmrK3Con;
    Slider& sldTxPwr;
    TextBox& txtTxPwr;
    Lamp& shpPAEnabled;
    Lamp& shpK3Con;
    PushButton& cmdPoll;
    PushButton& cmdExit;
    std::array<MenuItem*, 16> mnuCom; // Com1 .. Com16
    MenuItem& mnuPoll;
    // Makes the key filter at start-up.
    std::function<std::unique_ptr<RegexMatcher>()> newRegexMatcher;
    // The doors for other programs and the box that sets them; none where sharing is not built in.
    SharingDoors* sharing = nullptr;
    SharingDialog* sharingDialog = nullptr;
    // The Connection item's dialog, what it lists, and where a device picked by name gets its Com
    // number; none where the platform offers no such dialog.
    ConnectionDialog* connectionDialog = nullptr;
    SerialDeviceList* serialDevices = nullptr;
    PortFolder* portFolder = nullptr;
};

// How many programs share the radio, in words for the link lamp; empty while both doors are closed.
std::string sharingWords(bool open, std::size_t programs);

// The program's one window: its state, its controls and one method per event it handles. Every
// handler but mnuHelpAbout_Click catches its own failures and shows them in its error report;
// nothing is thrown out of a handler.
class Form1 {
public:
    static constexpr std::string_view kAppName = "Quorvel";
    static constexpr std::string_view kSection = "settings";

    explicit Form1(const Form1Controls& controls);

    // Window
    void Form_Load();
    // Buttons
    void cmdExit_Click();
    void cmdPoll_Click();
    // Timers
    void tmrPoll_Timer();
    void tmrK3Con_Timer();
    // Serial component
    void MSComm1_OnComm();
    // Slider
    void sldTxPwr_MouseDown();
    void sldTxPwr_MouseUp();
    // Power box; KeyPress may change the key code, 0 swallows the key.
    void txtTxPwr_GotFocus();
    void txtTxPwr_KeyPress(std::int16_t& KeyAscii);
    void txtTxPwr_LostFocus();
    // Menus
    void mnuCom1_Click() { mnuCom_Click(1); }
    void mnuCom2_Click() { mnuCom_Click(2); }
    void mnuCom3_Click() { mnuCom_Click(3); }
    void mnuCom4_Click() { mnuCom_Click(4); }
    void mnuCom5_Click() { mnuCom_Click(5); }
    void mnuCom6_Click() { mnuCom_Click(6); }
    void mnuCom7_Click() { mnuCom_Click(7); }
    void mnuCom8_Click() { mnuCom_Click(8); }
    void mnuCom9_Click() { mnuCom_Click(9); }
    void mnuCom10_Click() { mnuCom_Click(10); }
    void mnuCom11_Click() { mnuCom_Click(11); }
    void mnuCom12_Click() { mnuCom_Click(12); }
    void mnuCom13_Click() { mnuCom_Click(13); }
    void mnuCom14_Click() { mnuCom_Click(14); }
    void mnuCom15_Click() { mnuCom_Click(15); }
    void mnuCom16_Click() { mnuCom_Click(16); }
    // The Com N item's handler, for a platform layer that delivers the sixteen by number (1..16).
    void mnuCom_Click(int n);
    // Picks a serial device by name, which then is a Com number like any other, or a network route.
    void mnuConnection_Click();
    void mnuPoll_Click();
    void mnuInterval_Click();
    void mnuHelpAbout_Click();
    void mnuSharing_Click();
    // Sharing: the doors as stored, opened once the window has loaded; the programs connected.
    void sharing_Load();
    void sharing_Changed(std::size_t programs);

    // The window's two procedures.
    std::string parsecat(const std::string& catstring);
    void SetPort(std::string port);

    // The command line's route for this run, never saved; before Form_Load. Checked by the caller.
    void useRadioForThisRun(std::string route);
    // A route chosen by the operator (tcp:, rigctld:, flrig: or a device path): opened at once and,
    // once open, saved as "radio". The stored Com port is left as it was, so going back to it is
    // one click. Reports its own failures.
    void chooseRadio(const std::string& route);

    // Form-level state, read by tests and by nothing else outside the window.
    const std::string& txpwrText() const { return txpwr; }
    const std::string& portText() const { return port; }
    const std::string& radioText() const { return radio; }
    const std::string& polltimeText() const { return polltime; }
    const std::string& pollText() const { return poll; }
    const std::string& pollresultText() const { return pollresult; }
    const std::string& parsedresultText() const { return parsedresult; }
    bool hasKeyFilter() const { return keyFilter != nullptr; }

private:
    // Runs a handler body; any failure ends it and is shown as "<prefix><number> - <description>".
    template <typename Body> void trapped(std::string_view prefix, Body&& body) noexcept;
    void showErrorReport(std::string_view prefix, int style) noexcept;
    // The stored route, or an empty text when there is none or it is no route (then reported).
    std::string storedRadio();
    // Opens the port through the route in radio; reports its own failures. True when it opened.
    bool SetRadio();
    MenuItem* Controls(std::string_view name) const;
    std::string getSetting(const std::string& key, const std::string& defaultValue);
    void saveSetting(const std::string& key, const std::string& value);
    bool pollIsOn() const; // poll taken as a number equals 1; "Type mismatch" when it is no number
    // Starts the watchdog's count afresh; it runs again only while polling is on.
    void rearmWatchdog();
    // Polls again after a pause, if the polling switch is on.
    void resumePolling();
    // Shows the power a framed reply reports, if it is a power reply as the radio sends it.
    void showPowerReply(const std::string& reply);
    // Opens the doors as chosen; a sharing address that is no address opens no network door.
    void openDoors(const SharingChoice& doors);

    Form1Controls m_c;

    std::string txpwr;
    std::string port;
    std::string radioForThisRun;
    std::string radio; // the route the serial component was given; empty: the Com port rules
    std::string polltime;
    std::string poll;
    std::string pollresult;
    std::string parsedresult;
    std::unique_ptr<RegexMatcher> keyFilter;
    bool m_sharing = false; // a door is open, or was asked to be
    ReplyReader m_replyReader;
};

template <typename Body> void Form1::trapped(std::string_view prefix, Body&& body) noexcept {
    try {
        body();
    } catch (...) {
        showErrorReport(prefix, kMsgInformation);
    }
}

} // namespace quorvel
