#pragma once

#include <string>

namespace quorvel {

class RegexMatcher {
public:
    virtual ~RegexMatcher() = default;
    virtual void setPattern(const std::string& pattern) = 0;
    // Whether the pattern matches anywhere in the text.
    virtual bool test(const std::string& text) const = 0;
};

} // namespace quorvel
