// The Settings menu: polling on and off, and the poll interval.
#include "link/TextNumbers.h"
#include "panel/Form1.h"

namespace quorvel {

namespace {
constexpr double kMinPollMs = 500;
constexpr double kMaxPollMs = 10000;
} // namespace

void Form1::mnuPoll_Click() {
    trapped("VB6 runtime error (mnuPoll): ", [this] {
        if (poll == "0") {
            poll = "1";
            saveSetting("poll", "1");
            m_c.mnuPoll.setChecked(true);
            m_c.tmrPoll.setEnabled(true);
            rearmWatchdog();
        } else if (poll == "1") {
            poll = "0";
            saveSetting("poll", "0");
            m_c.mnuPoll.setChecked(false);
            m_c.tmrPoll.setEnabled(false);
            m_c.tmrK3Con.setEnabled(false);
        }
        // A hand-edited value other than "0" or "1" leaves polling as it is.
    });
}

void Form1::mnuInterval_Click() {
    trapped("VB6 runtime error (mnuPollTimer_Click): ", [this] {
        const std::string entered =
            m_c.dialogs.inputBox("Enter new poll interval value in milliseconds (suggested 1000 - for 1 second).",
                                 "Enter Poll Interval Value", polltime);
        if (entered.empty()) {
            return;
        }
        const double v = numericValue(entered);
        if (v >= kMinPollMs && v <= kMaxPollMs) {
            saveSetting("polltime", entered);
            polltime = entered;
            m_c.tmrPoll.setInterval(toInt32(roundHalfEven(v)));
        } else {
            m_c.dialogs.msgBox("Please enter a timer value between 500 and 10000.", kMsgOkOnly,
                               std::string("Poll Timer Value Error"));
        }
    });
}

} // namespace quorvel
