// What the panel does with the radio's answers.
#include "link/PowerCommand.h"
#include "link/ReplyFraming.h"
#include "link/ReplyReader.h"
#include "link/TextNumbers.h"
#include "panel/Form1.h"

#include <string>
#include <vector>

namespace quorvel {

std::string Form1::parsecat(const std::string& catstring) {
    try {
        return frameReply(catstring);
    } catch (...) {
        showErrorReport("VB6 error (parsecat): ", kMsgOkOnly);
        return {};
    }
}

void Form1::MSComm1_OnComm() {
    trapped("VB6 runtime error (MCComm1_OnComm): ", [this] {
        pollresult = m_c.MSComm1.input();

        // Anything at all from the radio is a sign of life.
        m_c.shpK3Con.setFillColor(kGreen);
        rearmWatchdog();

        // A reply split over several reads is framed once its ";" has arrived, and a read that
        // holds several replies shows each in turn, so the panel ends on the radio's latest.
        const std::vector<std::string> frames = m_replyReader.take(pollresult);
        if (frames.empty()) {
            parsedresult = std::string(kIncomplete);
            return;
        }
        for (const std::string& frame : frames) {
            parsedresult = parsecat(frame);
            showPowerReply(parsedresult);
        }
    });
}

void Form1::showPowerReply(const std::string& reply) {
    // Only a power reply as the radio sends it is shown. Anything else framed from the line ("?;"
    // while the radio is busy, a range flag the panel does not know, a reply cut short or with a
    // stray character in it) is a sign of life and nothing more: read by position it would show a
    // power the radio does not have, and reported it would put a box in front of the operator at
    // every poll.
    if (!isWellFormedPowerMessage(reply)) {
        return;
    }

    const ReplyFields fields = replyFields(reply);
    if (numericValue(fields.flag) == 0) {
        m_c.shpPAEnabled.setFillColor(kButtonFace);
        m_c.sldTxPwr.setMax(10);
        m_c.sldTxPwr.setTickFrequency(1);
        m_c.sldTxPwr.setLargeChange(0);
        m_c.sldTxPwr.setSmallChange(0);
        const double tenths = numericValue(fields.digits);
        txpwr = oneDecimalText(tenths / 10);
        m_c.sldTxPwr.setValue(toInt32(roundHalfEven(leadingNumber(txpwr))));
        m_c.txtTxPwr.setText(displayText(numericValue(txpwr)));
    } else {
        m_c.shpPAEnabled.setFillColor(kGreen);
        m_c.sldTxPwr.setMax(100);
        m_c.sldTxPwr.setTickFrequency(10);
        m_c.sldTxPwr.setLargeChange(1);
        m_c.sldTxPwr.setSmallChange(1);
        txpwr = plainText(leadingNumber(fields.digits));
        m_c.sldTxPwr.setValue(toInt32(roundHalfEven(leadingNumber(txpwr))));
        m_c.txtTxPwr.setText(txpwr);
    }
    m_c.sldTxPwr.setToolTipText(txpwr);
}

} // namespace quorvel
