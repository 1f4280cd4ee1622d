// Help > About.
#include "app/AboutText.h"
#include "app/Version.h"
#include "panel/Form1.h"

namespace quorvel {

void Form1::mnuHelpAbout_Click() {
    // The year comes from the clock each time, so the notice never shows the build's year.
    const std::string text = aboutText(kVersionMajor, kVersionMinor, kVersionRevision, m_c.clock.currentYear());
    m_c.dialogs.msgBox(text, kMsgOkOnly, std::string(kAppName));
}

} // namespace quorvel
