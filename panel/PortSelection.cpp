// Choosing the serial port from the Com Port menu.
#include "link/PortRules.h"
#include "link/RadioRoute.h"
#include "link/RunTimeError.h"
#include "link/TextNumbers.h"
#include "panel/Form1.h"

#include <utility>

namespace quorvel {

void Form1::mnuCom_Click(int n) {
    const std::string prefix = "VB6 runtime error (com" + std::to_string(n) + "_click): ";
    trapped(prefix, [this, n] {
        port = decimalText(n);
        SetPort(port);
        // The Com port rules again; the key is cleared only when there is one.
        if (!getSetting("radio", "").empty()) {
            saveSetting("radio", "");
        }
    });
}

void Form1::useRadioForThisRun(std::string route) {
    radioForThisRun = std::move(route);
}

void Form1::chooseRadio(const std::string& route) {
    trapped("VB6 runtime error (chooseRadio): ", [this, &route] {
        if (!parseRadioRoute(route)) {
            throw RunTimeError(err::kInvalidPropertyValue, "Invalid property value: \"" + route +
                                                               "\" is not a route to the radio; use " +
                                                               std::string(kRadioRouteForms));
        }
        radio = route;
        if (SetRadio()) {
            saveSetting("radio", route);
        }
    });
}

std::string Form1::storedRadio() {
    std::string text = getSetting("radio", "");
    if (text.empty() || parseRadioRoute(text)) {
        return text;
    }
    try {
        throw RunTimeError(err::kInvalidPropertyValue, "Invalid property value: the setting radio=\"" + text +
                                                           "\" is not a route to the radio (" +
                                                           std::string(kRadioRouteForms) + "); the Com port is used");
    } catch (...) {
        showErrorReport("VB6 runtime error (form_load): ", kMsgInformation);
    }
    return {};
}

bool Form1::SetRadio() {
    try {
        for (int i = 1; i <= kPortCount; ++i) {
            Controls("mnuCom" + std::to_string(i))->setChecked(false);
        }
        if (m_c.MSComm1.portOpen()) {
            m_c.MSComm1.setPortOpen(false);
        }
        m_replyReader.clear();
        m_c.MSComm1.setRoute(radio);
        m_c.MSComm1.setSettings(std::string(kLineSettings));
        if (!m_c.MSComm1.portOpen()) {
            m_c.MSComm1.setPortOpen(true);
        }
        return true;
    } catch (...) {
        showErrorReport("VB6 runtime error (SetPort(port)): ", kMsgInformation);
        return false;
    }
}

// Its own copy of the text: the message boxes below run a nested event loop, and the caller's text
// must not change under it whatever runs meanwhile.
void Form1::SetPort(std::string port) { // NOLINT(performance-unnecessary-value-param)
    const auto untickAll = [this] {
        for (int i = 1; i <= kPortCount; ++i) {
            Controls("mnuCom" + std::to_string(i))->setChecked(false);
        }
    };
    try {
        untickAll();
        if (const auto item = portItemFor(port)) {
            Controls("mnuCom" + std::to_string(*item))->setChecked(true);
        }
        if (m_c.MSComm1.portOpen()) {
            m_c.MSComm1.setPortOpen(false);
        }
        // A piece of a reply from the line just closed must not stand in front of the next one.
        m_replyReader.clear();
        if (!radio.empty()) {
            m_c.MSComm1.setRoute("");
            radio.clear();
        }
        m_c.MSComm1.setCommPort(commPortFor(port));
        m_c.MSComm1.setSettings(std::string(kLineSettings));
        if (!m_c.MSComm1.portOpen()) {
            m_c.MSComm1.setPortOpen(true);
        }
        saveSetting("port", port);
    } catch (...) {
        const RunTimeError error = RunTimeError::fromCurrentException();
        if (error.number() != err::kInvalidPortNumber) {
            showErrorReport("VB6 runtime error (SetPort(port)): ", kMsgInformation);
            return;
        }
        // Forget a port the system does not have, so the next start does not try it again.
        // A failure from here on is the calling handler's to report.
        untickAll();
        saveSetting("port", "0");
        // The message stays short; what the serial component looked at is there for the asking.
        m_c.dialogs.msgBox(std::string(kInvalidPortMessage), kMsgInformation, std::nullopt, error.description());
    }
}

} // namespace quorvel
