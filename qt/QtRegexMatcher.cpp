#include "qt/QtRegexMatcher.h"

#include "link/RunTimeError.h"

namespace quorvel {

void QtRegexMatcher::setPattern(const std::string& pattern) {
    m_regex.setPattern(QString::fromStdString(pattern));
    m_hasPattern = true;
}

bool QtRegexMatcher::test(const std::string& text) const {
    if (!m_hasPattern) {
        return false;
    }
    const QRegularExpressionMatch match = m_regex.match(QString::fromStdString(text));
    if (!m_regex.isValid()) {
        throw RunTimeError(err::kInvalidProcedureCall, "Invalid procedure call or argument");
    }
    return match.hasMatch();
}

} // namespace quorvel
