#include "link/ReplyFraming.h"
#include "link/ReplyReader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

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

TEST(ReplyReader, HandsOnEveryCompleteFrameInOrderAndKeepsTheRest) {
    struct Case {
        std::vector<std::string> reads;
        std::vector<std::string> frames; // of the last read
        std::string tail;                // after the last read
    };
    const Case cases[] = {
        {{""}, {}, ""},
        {{"PC05"}, {}, "PC05"},
        {{"PC0501;"}, {"PC0501;"}, ""},
        {{"PC0501;PC0601;"}, {"PC0501;", "PC0601;"}, ""},
        {{"PC0501;PC"}, {"PC0501;"}, "PC"},
        {{"PC05", "01;PC06"}, {"PC0501;"}, "PC06"},
        {{"PC0501;PC06", "01;"}, {"PC0601;"}, ""},
        {{"P", "C", ";"}, {"PC;"}, ""},
        {{";;?;"}, {";", ";", "?;"}, ""},
        // Whatever stands in front of a frame stays at its head, also when it was kept from before.
        {{"\rPC0501;"}, {"\rPC0501;"}, ""},
        {{"\r", "PC0501;PC0551;"}, {"\rPC0501;", "PC0551;"}, ""},
        {{"PC0501;\r\n"}, {"PC0501;"}, "\r\n"},
    };
    for (const Case& c : cases) {
        ReplyReader reader;
        std::vector<std::string> frames;
        for (const std::string& read : c.reads) {
            frames = reader.take(read);
        }
        EXPECT_EQ(frames, c.frames) << c.reads.back();
        EXPECT_EQ(reader.tail(), c.tail) << c.reads.back();
    }
}

TEST(ReplyReader, KeepsOnlyTheNewestCharactersOfALineThatNeverEnds) {
    ReplyReader reader;
    EXPECT_TRUE(reader.take(std::string(200, 'x') + "PC0").empty());
    ASSERT_EQ(reader.tail().size(), ReplyReader::kMaxTail);
    EXPECT_EQ(reader.tail().substr(ReplyReader::kMaxTail - 3), "PC0");

    // The frame it ends in carries the kept noise and is no reply; the next one is clean.
    const auto frames = reader.take("501;PC0601;");
    ASSERT_EQ(frames.size(), 2U);
    EXPECT_EQ(frames[0], std::string(ReplyReader::kMaxTail - 3, 'x') + "PC0501;");
    EXPECT_EQ(frames[1], "PC0601;");
}

TEST(ReplyReader, ForgetsTheRestWhenCleared) {
    ReplyReader reader;
    reader.take("PC05");
    reader.clear();
    EXPECT_EQ(reader.take("PC0601;"), std::vector<std::string>{"PC0601;"});
}

} // namespace
} // namespace quorvel
