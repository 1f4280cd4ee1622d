#include "link/ReplyFraming.h"

#include <gtest/gtest.h>

#include <string>

namespace quorvel {
namespace {

TEST(Framing, CutsUpToTheFirstSemicolon) {
    const std::pair<std::string, std::string> cases[] = {
        {"", "incomplete"},
        {"PC0501", "incomplete"},
        {"PC0501;", "PC0501;"},
        {"PC0501;PC0451;", "PC0501;"},
        {"PC0501;PC", "PC0501;"},
        {"501;PC0", "501;"},
        {";", ";"},
        {"?;", "?;"},
        {"\rPC0501;", "\rPC0501;"},
    };
    for (const auto& [text, framed] : cases) {
        EXPECT_EQ(frameReply(text), framed) << text;
    }
}

TEST(PartialReply, JoinsAReplySplitOverTwoReads) {
    PartialReply partial;
    std::string text = partial.withRead("PC05");
    partial.update(text, frameReply(text) != kIncomplete);
    EXPECT_EQ(partial.kept(), "PC05");

    text = partial.withRead("01;");
    EXPECT_EQ(frameReply(text), "PC0501;");
    partial.update(text, true);
    EXPECT_EQ(partial.kept(), "");
}

TEST(PartialReply, KeepsOnlyTheNewestCharactersOfALineThatNeverEnds) {
    PartialReply partial;
    const std::string noise(200, 'x');
    std::string text = partial.withRead(noise + "PC0");
    partial.update(text, false);
    ASSERT_EQ(partial.kept().size(), PartialReply::kMaxKept);
    EXPECT_EQ(partial.kept().substr(PartialReply::kMaxKept - 3), "PC0");
    EXPECT_EQ(frameReply(partial.withRead("501;")).substr(PartialReply::kMaxKept - 3), "PC0501;");
}

} // namespace
} // namespace quorvel
