#include "panel/Form1.h"

#include "link/PortRules.h"
#include "link/RunTimeError.h"
#include "link/TextNumbers.h"

namespace quorvel {

Form1::Form1(const Form1Controls& controls) : m_c(controls) {}

void Form1::showErrorReport(std::string_view prefix, int style) noexcept {
    const RunTimeError error = RunTimeError::fromCurrentException();
    try {
        m_c.dialogs.msgBox(std::string(prefix) + std::to_string(error.number()) + " - " + error.description(), style,
                           std::nullopt);
    } catch (...) {
        // A box that cannot be shown leaves nothing else to tell the user with.
    }
}

MenuItem* Form1::Controls(std::string_view name) const {
    constexpr std::string_view kPrefix = "mnuCom";
    if (name.substr(0, kPrefix.size()) == kPrefix) {
        const std::string number(name.substr(kPrefix.size()));
        for (int i = 1; i <= static_cast<int>(m_c.mnuCom.size()); ++i) {
            if (number == std::to_string(i)) {
                return m_c.mnuCom.at(static_cast<std::size_t>(i - 1));
            }
        }
    }
    if (name == "mnuPoll") {
        return &m_c.mnuPoll;
    }
    throw RunTimeError(730, "Control '" + std::string(name) + "' not found");
}

std::string Form1::getSetting(const std::string& key, const std::string& defaultValue) {
    return m_c.settings.getSetting(std::string(kAppName), std::string(kSection), key, defaultValue);
}

void Form1::saveSetting(const std::string& key, const std::string& value) {
    m_c.settings.saveSetting(std::string(kAppName), std::string(kSection), key, value);
}

bool Form1::pollIsOn() const {
    return numericValue(poll) == 1;
}

void Form1::rearmWatchdog() {
    m_c.tmrK3Con.setEnabled(false);
    m_c.tmrK3Con.setInterval(kWatchdogInterval.count());
    if (pollIsOn()) {
        m_c.tmrK3Con.setEnabled(true);
    }
}

void Form1::resumePolling() {
    if (pollIsOn()) {
        m_c.tmrPoll.setEnabled(true);
    }
}

} // namespace quorvel
