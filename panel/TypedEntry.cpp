// Typing a power into the power box: the entry is checked and sent when the box loses the focus.
#include "link/PowerCommand.h"
#include "link/RunTimeError.h"
#include "link/TextNumbers.h"
#include "panel/Form1.h"

namespace quorvel {

namespace {
constexpr std::int16_t kEnterKey = 13;
constexpr std::string_view kNoNumberText = "***";
} // namespace

void Form1::txtTxPwr_GotFocus() {
    trapped("VB6 runtime error (txtTxPwr_GotFocus): ", [this] {
        m_c.tmrPoll.setEnabled(false);
        // Select everything, so typing replaces the shown power.
        m_c.txtTxPwr.setSelStart(0);
        m_c.txtTxPwr.setSelLength(static_cast<int>(characterCount(m_c.txtTxPwr.text())));
    });
}

void Form1::txtTxPwr_KeyPress(std::int16_t& KeyAscii) {
    trapped("VB6 runtime error (txtTxtPwr_KeyPress): ", [this, &KeyAscii] {
        if (KeyAscii == kEnterKey) {
            // Enter commits the entry by leaving the box; the box itself gets no character.
            m_c.cmdPoll.setFocus();
            KeyAscii = 0;
        }
    });
}

void Form1::txtTxPwr_LostFocus() {
    trapped("VB6 runtime error (txtTxPwr_LostFocus): ", [this] {
        const std::string t = m_c.txtTxPwr.text();
        if (!keyFilter) {
            throw RunTimeError(err::kObjectNotSet, "Object variable or With block variable not set");
        }
        if (!keyFilter->test(t)) {
            m_c.txtTxPwr.setText(std::string(kNoNumberText));
            resumePolling();
            return;
        }
        resumePolling();

        const double x = leadingNumber(t);
        if (x >= 0 && x < 9) {
            m_c.shpPAEnabled.setFillColor(kButtonFace);
        } else if (x >= 9 && x <= 100) {
            m_c.shpPAEnabled.setFillColor(kGreen);
        } else {
            m_c.txtTxPwr.setText("");
            return;
        }
        // The rule copies the typed characters as they stand; the radio only understands three
        // digits there, so anything else (" .5" left by a low-range reply, "9.9") is not sent.
        const auto command = typedCommand(t);
        if (command && isWellFormedPowerMessage(*command) && m_c.MSComm1.portOpen()) {
            m_c.MSComm1.output(*command);
        }
    });
}

} // namespace quorvel
