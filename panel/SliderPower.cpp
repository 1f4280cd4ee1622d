// Setting the power by dragging the slider: the command goes out when the mouse button comes up.
#include "link/PowerCommand.h"
#include "link/TextNumbers.h"
#include "panel/Form1.h"

namespace quorvel {

void Form1::sldTxPwr_MouseDown() {
    // No polls while the user drags: each reply would move the slider under the mouse.
    trapped("VB6 runtime error (sldTxPwr_MouseDown): ", [this] { m_c.tmrPoll.setEnabled(false); });
}

void Form1::sldTxPwr_MouseUp() {
    trapped("VB6 runtime error (sldTxPwr_MouseUp): ", [this] {
        resumePolling();
        const std::int32_t v = m_c.sldTxPwr.value();
        txpwr = decimalText(v);
        m_c.sldTxPwr.setToolTipText(txpwr);

        const auto command = sliderCommand(v);
        if (!command) {
            m_c.txtTxPwr.setText("");
            m_c.sldTxPwr.setValue(0);
            txpwr = "0";
            return;
        }
        // The lamp and the box show what is being commanded; the next poll shows what the radio did.
        m_c.shpPAEnabled.setFillColor(v < 9 ? kButtonFace : kGreen);
        m_c.txtTxPwr.setText(txpwr);
        m_c.MSComm1.output(*command);
    });
}

} // namespace quorvel
