#include "link/PowerCommand.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace quorvel {
namespace {

TEST(ReplyFields, AreFoundByPositionAlone) {
    struct Case {
        std::string reply, digits, flag;
    };
    for (const Case& c :
         {Case{"PC0550;", "055", "0"}, Case{"PC0551;", "055", "1"}, Case{"XY1001;", "100", "1"}, Case{"?;", "", ""},
          Case{"PC05;", "05;", ""}, Case{"incomplete", "com", "p"}, Case{"\rPC0500;", "C05", "0"}}) {
        const ReplyFields fields = replyFields(c.reply);
        EXPECT_EQ(fields.digits, c.digits) << c.reply;
        EXPECT_EQ(fields.flag, c.flag) << c.reply;
    }
}

TEST(SliderRule, PadsByValueAndSwitchesRangeBetweenEightAndNine) {
    const std::pair<long long, std::optional<std::string>> cases[] = {
        {0, "PC0000;"},  {5, "PC0500;"},  {8, "PC0800;"},   {9, "PC0091;"},      {10, "PC0101;"},
        {50, "PC0501;"}, {99, "PC0991;"}, {100, "PC1001;"}, {101, std::nullopt}, {-1, std::nullopt},
    };
    for (const auto& [watts, command] : cases) {
        EXPECT_EQ(sliderCommand(watts), command) << watts;
    }
}

TEST(TypedRule, BuildsTheCommandsOfTheWorkedExamples) {
    // From "005" on: three characters below 9 W carry tenths only as digit, point, digit.
    const std::pair<std::string, std::optional<std::string>> cases[] = {
        {"0.5", "PC0050;"},    {"5", "PC0500;"},
        {"8.9", "PC0890;"},    {"9", "PC0091;"},
        {"09", "PC0091;"},     {"50", "PC0501;"},
        {"100", "PC1001;"},    {"0", "PC0000;"},
        {"0.0", "PC0000;"},    {"009", "PC0091;"},
        {"5.5", "PC0550;"},    {"101", std::nullopt},
        {".5", std::nullopt},  {"5.25", std::nullopt},
        {"05", std::nullopt},  {"50.0", std::nullopt},
        {"120", std::nullopt}, {"-5", std::nullopt},
        {"005", std::nullopt}, {"1e2", std::nullopt},
        {"0 5", std::nullopt}, {"7;8", std::nullopt},
        {"5,5", std::nullopt}, {"5..", std::nullopt},
        {"5.x", std::nullopt}, {"1.\xC2\xB5", std::nullopt},
        {"0.9", "PC0090;"},    {"8.0", "PC0800;"},
    };
    for (const auto& [typed, command] : cases) {
        EXPECT_EQ(typedCommand(typed), command) << typed;
    }
}

TEST(TypedRule, CopiesCharactersItDoesNotUnderstandSoTheCallerMustCheck) {
    EXPECT_EQ(typedCommand("9.9"), "PC9.91;");
    EXPECT_EQ(typedCommand(" .5"), std::nullopt); // below 9 W only digit, point, digit is copied
    EXPECT_EQ(typedCommand(" 10"), "PC 101;");
    EXPECT_FALSE(isWellFormedPowerMessage("PC9.91;"));
    EXPECT_FALSE(isWellFormedPowerMessage("PC0 50;"));
    EXPECT_FALSE(isWellFormedPowerMessage("PC 101;"));
}

TEST(SetCommandCheck, AcceptsOnlyThreeDigitsAndAKnownRange) {
    EXPECT_TRUE(isWellFormedPowerMessage("PC0500;"));
    EXPECT_TRUE(isWellFormedPowerMessage("PC1001;"));
    EXPECT_FALSE(isWellFormedPowerMessage("PC0502;"));
    EXPECT_FALSE(isWellFormedPowerMessage("PC050;"));
    EXPECT_FALSE(isWellFormedPowerMessage("PC05001;"));
    EXPECT_FALSE(isWellFormedPowerMessage("XC0500;"));
    EXPECT_FALSE(isWellFormedPowerMessage("PC0500:"));
}

} // namespace
} // namespace quorvel
