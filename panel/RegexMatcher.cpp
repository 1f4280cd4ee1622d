#include "panel/RegexMatcher.h"

#include "link/RunTimeError.h"

#include <regex>

namespace quorvel {

namespace {

class StdRegexMatcher final : public RegexMatcher {
public:
    void setPattern(const std::string& pattern) override {
        try {
            m_regex = std::regex(pattern, std::regex::ECMAScript);
            m_hasPattern = true;
        } catch (const std::regex_error&) {
            throw RunTimeError(err::kInvalidProcedureCall, "Invalid procedure call or argument");
        }
    }
    bool test(const std::string& text) const override { return m_hasPattern && std::regex_search(text, m_regex); }

private:
    std::regex m_regex;
    bool m_hasPattern = false;
};

} // namespace

std::unique_ptr<RegexMatcher> makeRegexMatcher() {
    return std::make_unique<StdRegexMatcher>();
}

} // namespace quorvel
