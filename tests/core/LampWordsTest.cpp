#include "panel/LampWords.h"

#include <gtest/gtest.h>

#include <optional>

using namespace quorvel;

// Each lamp's words for every colour it can carry, and before anything set it.
TEST(LampWords, SayEachStateOfEachLamp) {
    struct Case {
        LampRole role;
        std::optional<Color> fill;
        const char* words;
    };
    const Case cases[] = {
        {LampRole::Link, std::nullopt, "Link not checked yet"},
        {LampRole::Link, kGreen, "Replies arriving"},
        {LampRole::Link, kRed, "No reply for 11 seconds"},
        {LampRole::Range, std::nullopt, "Range not known yet"},
        {LampRole::Range, kGreen, "High-power range"},
        // Button face set by a reply or a command is the low range, unlike button face at creation.
        {LampRole::Range, kButtonFace, "Low-power range"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(lampStateWords(c.role, c.fill), c.words) << c.words;
    }
}
