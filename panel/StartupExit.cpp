// Start-up and the orderly way out.
#include "link/PortRules.h"
#include "link/TextNumbers.h"
#include "panel/Form1.h"

namespace quorvel {

namespace {
constexpr std::string_view kNoPortMessage = "No COM port selected, please select a valid COM port.";
// Where to choose one, for an operator who has not met the menu yet.
constexpr std::string_view kWhereToChoose =
    "Choose the radio's port in the Com Port menu: Com1 to Com16, or Connection\u2026 to pick a serial device "
    "by its name or a network route (a serial server, rigctld or flrig).";
constexpr std::string_view kPowerPattern = "[0123456789.]";
} // namespace

void Form1::Form_Load() {
    trapped("VB6 runtime error (form_load): ", [this] {
        // First, so that every box from here on carries the program's name.
        m_c.app.setTitle(std::string(kAppName));

        m_c.window.setTop(toSingle(numericValue(getSetting("FormTop", "0"))));
        m_c.window.setLeft(toSingle(numericValue(getSetting("FormLeft", "0"))));

        m_c.shpPAEnabled.setFillColor(kButtonFace);

        // Many stations key the transmitter with RTS or DTR: both stay low.
        m_c.MSComm1.setRThreshold(1);
        m_c.MSComm1.setRTSEnable(false);
        m_c.MSComm1.setDTREnable(false);

        port = getSetting("port", "0");
        radio = radioForThisRun.empty() ? storedRadio() : radioForThisRun;
        if (!radio.empty()) {
            SetRadio();
        } else if (numericValue(port) != 0) {
            SetPort(port);
        } else {
            m_c.dialogs.msgBox(std::string(kNoPortMessage), kMsgInformation, std::nullopt, std::string(kWhereToChoose));
        }

        poll = getSetting("poll", "1");
        saveSetting("poll", poll);
        if (poll == "0") {
            m_c.mnuPoll.setChecked(false);
            m_c.tmrPoll.setEnabled(false);
            m_c.tmrK3Con.setEnabled(false);
        } else if (poll == "1") {
            m_c.mnuPoll.setChecked(true);
            m_c.tmrPoll.setEnabled(true);
            m_c.tmrK3Con.setEnabled(true);
        }

        polltime = getSetting("polltime", std::to_string(kDefaultPollInterval.count()));
        saveSetting("polltime", polltime);
        m_c.tmrPoll.setInterval(toInt32(roundHalfEven(numericValue(polltime))));

        txpwr.clear();
        parsedresult.clear();
        m_c.txtTxPwr.setText(txpwr);
        m_c.sldTxPwr.setValue(toInt32(leadingNumber(txpwr)));

        keyFilter = m_c.newRegexMatcher();
        keyFilter->setPattern(std::string(kPowerPattern));
    });
}

void Form1::cmdExit_Click() {
    trapped("VB6 runtime error (exit): ", [this] {
        if (m_c.MSComm1.portOpen()) {
            m_c.MSComm1.setPortOpen(false);
        }
        saveSetting("FormLeft", singleText(toSingle(m_c.window.left())));
        saveSetting("FormTop", singleText(toSingle(m_c.window.top())));
        m_c.window.endProgram();
    });
}

} // namespace quorvel
