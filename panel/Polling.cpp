// Polling the radio and watching the link.
#include "link/PortRules.h"
#include "link/PowerCommand.h"
#include "panel/Form1.h"

namespace quorvel {

void Form1::tmrPoll_Timer() {
    // An unopened port is reported by the Poll button, start-up and port selection, not every tick.
    trapped("VB6 runtime error (tmrPollTimer_Timer): ", [this] {
        if (m_c.MSComm1.portOpen()) {
            m_c.MSComm1.output(queryText());
        }
    });
}

void Form1::cmdPoll_Click() {
    trapped("VB6 runtime error (cmdPoll_Click): ", [this] {
        if (m_c.MSComm1.portOpen()) {
            m_c.MSComm1.output(queryText());
        } else {
            m_c.dialogs.msgBox(std::string(kNoPollPortMessage), kMsgInformation, std::nullopt);
        }
    });
}

void Form1::tmrK3Con_Timer() {
    // Nothing heard for a whole watchdog interval. The watchdog keeps running and sets red again
    // until a receive event restarts its count.
    trapped("VB6 runtime error (tmrK3Con_Timer): ", [this] { m_c.shpK3Con.setFillColor(kRed); });
}

} // namespace quorvel
