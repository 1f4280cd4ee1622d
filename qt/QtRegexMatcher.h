#pragma once

#include "panel/RegexMatcher.h"

#include <QRegularExpression>

#include <string>

namespace quorvel {

// The power box's key filter on Qt's regular expressions: QtCore carries the engine already,
// where the standard library's would add its own code and locale set-up to the program. As Qt's
// own, the pattern is compiled when first tested, not at start-up; a pattern the engine refuses is
// error 5 then.
class QtRegexMatcher final : public RegexMatcher {
public:
    void setPattern(const std::string& pattern) override;
    bool test(const std::string& text) const override;

private:
    QRegularExpression m_regex;
    bool m_hasPattern = false;
};

} // namespace quorvel
