#include "qt/QtRegexMatcher.h"

#include "link/RunTimeError.h"

#include <utility>

namespace quorvel {

void QtRegexMatcher::setPattern(const std::string& pattern) {
    QRegularExpression compiled(QString::fromStdString(pattern));
    if (!compiled.isValid()) {
        throw RunTimeError(err::kInvalidProcedureCall, "Invalid procedure call or argument");
    }
    m_regex = std::move(compiled);
    m_hasPattern = true;
}

bool QtRegexMatcher::test(const std::string& text) const {
    return m_hasPattern && m_regex.match(QString::fromStdString(text)).hasMatch();
}

} // namespace quorvel
