// Typing a power into the power box: polling pauses while the box has the focus, and the entry is
// checked and sent when the focus leaves.
#include "link/PowerCommand.h"
#include "tests/fakes/FormHarness.h"

#include <gtest/gtest.h>

#include <optional>
#include <regex>
#include <string>
#include <vector>

namespace quorvel {
namespace {

using fakes::FakeDialogs;
using fakes::FormHarness;
using Messages = std::vector<FakeDialogs::Message>;

const std::string kLostFocusPrefix = "VB6 runtime error (txtTxPwr_LostFocus): ";

// Focus in, the box's text replaced by what the user typed, focus out.
void enter(FormHarness& h, const std::string& typed) {
    h.form.txtTxPwr_GotFocus();
    h.txtTxPwr.content = typed;
    h.form.txtTxPwr_LostFocus();
}

TEST(TypedEntry, FocusPausesPollingAndSelectsTheWholeText) {
    struct Case {
        std::string text;
        int length;
    };
    for (const Case& c : {Case{"50", 2}, Case{"", 0}, Case{" 5.5", 4}, Case{"5\xC2\xB5W", 3}}) {
        for (const std::string poll : {"1", "0", "x"}) {
            FormHarness h;
            h.start({{"port", "1"}, {"poll", poll}});
            h.tmrPoll.setEnabled(true);
            h.txtTxPwr.content = c.text;

            h.form.txtTxPwr_GotFocus();
            h.tmrPoll.fire();

            EXPECT_FALSE(h.tmrPoll.enabled()) << poll;
            EXPECT_TRUE(h.comm.written.empty());
            EXPECT_EQ(h.txtTxPwr.selStart, 0) << c.text;
            EXPECT_EQ(h.txtTxPwr.selLength, c.length) << c.text;
            EXPECT_TRUE(h.dialogs.messages.empty()) << h.lastMessage();
        }
    }
}

TEST(TypedEntry, EnterMovesTheFocusToPollAndIsSwallowed) {
    FormHarness h;
    h.start({{"port", "1"}});
    h.cmdPoll.onFocus = [&h] { h.form.txtTxPwr_LostFocus(); };
    h.form.txtTxPwr_GotFocus();
    h.txtTxPwr.content = "5";

    std::int16_t key = 13;
    h.form.txtTxPwr_KeyPress(key);

    EXPECT_EQ(key, 0);
    EXPECT_EQ(h.cmdPoll.focusCount, 1);
    EXPECT_EQ(h.comm.written, std::vector<std::string>{"PC0500;"});
    EXPECT_EQ(h.shpPAEnabled.history, std::vector<Color>{kButtonFace});
    EXPECT_EQ(h.txtTxPwr.content, "5");
    EXPECT_TRUE(h.tmrPoll.enabled());
}

TEST(TypedEntry, OtherKeysPassUnchanged) {
    const std::int16_t keys[] = {'5', '.', 'a', '-', ' ', 8, 10, 27, 0};
    for (const std::int16_t typed : keys) {
        FormHarness h;
        h.start({{"port", "1"}});

        std::int16_t key = typed;
        h.form.txtTxPwr_KeyPress(key);

        EXPECT_EQ(key, typed);
        EXPECT_EQ(h.cmdPoll.focusCount, 0) << typed;
    }
}

TEST(TypedEntry, FocusThatCannotMoveIsReportedAndTheKeyKept) {
    FormHarness h;
    h.start({{"port", "1"}});
    h.cmdPoll.onFocus = [] { throw RunTimeError(err::kInvalidProcedureCall, "Invalid procedure call or argument"); };

    std::int16_t key = 13;
    h.form.txtTxPwr_KeyPress(key);

    EXPECT_EQ(h.dialogs.messages,
              Messages{FakeDialogs::information(
                  "VB6 runtime error (txtTxtPwr_KeyPress): 5 - Invalid procedure call or argument")});
    EXPECT_EQ(key, 13);
}

enum class Lamp { Untouched, ButtonFace, Green };

TEST(TypedEntry, LeavingTheBoxSendsTheTypedRuleWhenItGivesThreeDigits) {
    struct Case {
        std::string typed;
        std::optional<std::string> command;
        Lamp lamp;
        std::string boxAfter;
    };
    const auto none = std::nullopt;
    const Case cases[] = {
        // The commands of the typed-entry rule.
        {"5", "PC0500;", Lamp::ButtonFace, "5"},
        {"5.5", "PC0550;", Lamp::ButtonFace, "5.5"},
        {"0.5", "PC0050;", Lamp::ButtonFace, "0.5"},
        {"8.9", "PC0890;", Lamp::ButtonFace, "8.9"},
        {"0", "PC0000;", Lamp::ButtonFace, "0"},
        {"0.0", "PC0000;", Lamp::ButtonFace, "0.0"},
        {"9", "PC0091;", Lamp::Green, "9"},
        {"09", "PC0091;", Lamp::Green, "09"},
        {"009", "PC0091;", Lamp::Green, "009"},
        {"50", "PC0501;", Lamp::Green, "50"},
        {"100", "PC1001;", Lamp::Green, "100"},
        // Out of range: the box is emptied, the lamp kept.
        {"101", none, Lamp::Untouched, ""},
        {"120", none, Lamp::Untouched, ""},
        {"-5", none, Lamp::Untouched, ""},
        {"-0.5", none, Lamp::Untouched, ""},
        // No digit and no point at all.
        {"", none, Lamp::Untouched, "***"},
        {"abc", none, Lamp::Untouched, "***"},
        {" ", none, Lamp::Untouched, "***"},
        {"-", none, Lamp::Untouched, "***"},
        // A length the rule has no command for: the lamp still shows the range.
        {".5", none, Lamp::ButtonFace, ".5"},
        {"05", none, Lamp::ButtonFace, "05"},
        {"5.25", none, Lamp::ButtonFace, "5.25"},
        {"50.0", none, Lamp::Green, "50.0"},
        {" 5", none, Lamp::ButtonFace, " 5"},
        {" 5.5", none, Lamp::ButtonFace, " 5.5"},
        // The rule would copy characters that are not digits into the command: nothing goes out.
        {"9.9", none, Lamp::Green, "9.9"},
        {" .5", none, Lamp::ButtonFace, " .5"},
        {" 10", none, Lamp::Green, " 10"},
        {" 9", none, Lamp::Green, " 9"},
        {"ab5", none, Lamp::ButtonFace, "ab5"},
        {".", none, Lamp::ButtonFace, "."},
        {"9 ", none, Lamp::Green, "9 "},
        // Below 9 W a three-character text is sent only as digit, point, digit; its middle
        // character is never dropped unseen.
        {"005", none, Lamp::ButtonFace, "005"},
        {"1e2", none, Lamp::ButtonFace, "1e2"},
        {"0 5", none, Lamp::ButtonFace, "0 5"},
        {"7;8", none, Lamp::ButtonFace, "7;8"},
        {"5,5", none, Lamp::ButtonFace, "5,5"},
    };
    for (const Case& c : cases) {
        FormHarness h;
        h.start({{"port", "1"}});

        enter(h, c.typed);

        const std::vector<Color> lamp = c.lamp == Lamp::Untouched    ? std::vector<Color>{}
                                        : c.lamp == Lamp::ButtonFace ? std::vector<Color>{kButtonFace}
                                                                     : std::vector<Color>{kGreen};
        EXPECT_EQ(h.comm.written, c.command ? std::vector<std::string>{*c.command} : std::vector<std::string>{})
            << '"' << c.typed << '"';
        EXPECT_EQ(h.shpPAEnabled.history, lamp) << '"' << c.typed << '"';
        EXPECT_EQ(h.txtTxPwr.content, c.boxAfter) << '"' << c.typed << '"';
        EXPECT_TRUE(h.tmrPoll.enabled()) << '"' << c.typed << '"';
        EXPECT_TRUE(h.dialogs.messages.empty()) << '"' << c.typed << "\": " << h.lastMessage();
        // Typed entry leaves the power text, the slider and its tool tip to the next reply.
        EXPECT_EQ(h.form.txpwrText(), "");
        EXPECT_TRUE(h.slider.calls.empty());
        EXPECT_EQ(h.slider.toolTip, "");
    }
}

TEST(TypedEntry, LeavingTheBoxUnchangedSendsItsTextAgain) {
    FormHarness h;
    h.start({{"port", "1"}});
    h.reply("PC0501;");

    h.form.txtTxPwr_GotFocus();
    h.form.txtTxPwr_LostFocus();

    EXPECT_EQ(h.comm.written, std::vector<std::string>{"PC0501;"});
}

TEST(TypedEntry, LeavingTheBoxAfterALowRangeReplySendsNothingButSetsTheLamp) {
    for (const std::string reply : {"PC0500;", "PC0550;", "PC0050;", "PC1000;"}) {
        FormHarness h;
        h.start({{"port", "1"}});
        h.reply(reply);
        h.forget();

        h.form.txtTxPwr_GotFocus();
        h.form.txtTxPwr_LostFocus();

        EXPECT_TRUE(h.comm.written.empty()) << reply << " left \"" << h.txtTxPwr.content << '"';
        EXPECT_EQ(h.shpPAEnabled.history.size(), 1U) << reply;
    }
}

TEST(TypedEntry, ClosedPortSendsNothingAndSaysNothingButTheLampChanges) {
    struct Case {
        std::string typed;
        Color lamp;
    };
    for (const Case& c : {Case{"5", kButtonFace}, Case{"50", kGreen}, Case{"100", kGreen}}) {
        FormHarness h;
        h.start({{"port", "0"}});

        enter(h, c.typed);

        EXPECT_TRUE(h.comm.written.empty()) << c.typed;
        EXPECT_TRUE(h.dialogs.messages.empty()) << c.typed << ": " << h.lastMessage();
        EXPECT_EQ(h.shpPAEnabled.history, std::vector<Color>{c.lamp}) << c.typed;
    }
}

TEST(TypedEntry, PollingResumesOnEveryPathOnlyWhenSwitchedOn) {
    for (const std::string typed : {"abc", "120", "50", "5.25"}) {
        for (const std::string poll : {"1", "0", "2"}) {
            FormHarness h;
            h.start({{"port", "1"}, {"poll", poll}});

            enter(h, typed);

            EXPECT_EQ(h.tmrPoll.enabled(), poll == "1") << typed << " with poll " << poll;
            EXPECT_TRUE(h.dialogs.messages.empty()) << h.lastMessage();
        }
    }
}

TEST(TypedEntry, PollThatIsNoNumberFailsAtItsFirstTest) {
    struct Case {
        std::string typed, boxAfter;
    };
    for (const Case& c : {Case{"abc", "***"}, Case{"50", "50"}, Case{"120", "120"}}) {
        FormHarness h;
        h.start({{"port", "1"}, {"poll", "x"}});

        enter(h, c.typed);

        EXPECT_EQ(h.dialogs.messages, Messages{FakeDialogs::information(kLostFocusPrefix + "13 - Type mismatch")})
            << c.typed;
        EXPECT_EQ(h.txtTxPwr.content, c.boxAfter) << c.typed;
        EXPECT_TRUE(h.comm.written.empty()) << c.typed;
        EXPECT_TRUE(h.shpPAEnabled.history.empty()) << c.typed;
        EXPECT_FALSE(h.tmrPoll.enabled()) << c.typed;
    }
}

TEST(TypedEntry, MissingKeyFilterIsReportedAndPollingStaysPaused) {
    // Start-up stopped at the poll interval, after the port had opened: no matcher for the box.
    FormHarness h;
    h.start({{"port", "1"}, {"polltime", "70000"}});
    ASSERT_FALSE(h.form.hasKeyFilter());
    ASSERT_TRUE(h.comm.open);

    enter(h, "50");

    EXPECT_EQ(h.dialogs.messages, Messages{FakeDialogs::information(
                                      kLostFocusPrefix + "91 - Object variable or With block variable not set")});
    EXPECT_FALSE(h.tmrPoll.enabled());
    EXPECT_TRUE(h.comm.written.empty());
    EXPECT_TRUE(h.shpPAEnabled.history.empty());
    EXPECT_EQ(h.txtTxPwr.content, "50");
}

// Every short text a user can type, made of the characters that matter to the rule and a few that
// should not: whatever the text, the radio gets nothing or one command in its exact format, and
// never a command the rule would not build.
TEST(TypedEntryProperty, SendsNothingOrOneWellFormedCommand) {
    const std::vector<std::string> alphabet = {"0", "1", "2", "3", "4", "5", "6", "7",  "8",       "9",
                                               ".", "-", " ", "a", "+", "e", ",", "\t", "\xC2\xB5"};
    const std::regex wellFormed("^PC[0-9]{3}[01];$");
    // The only texts that may set the low range: a digit, or digit, point, digit.
    const std::regex lowRangeText("^[0-9](\\.[0-9])?$");

    FormHarness h;
    h.start({{"port", "1"}});
    ASSERT_TRUE(h.form.hasKeyFilter());

    std::size_t checked = 0;
    std::size_t sent = 0;
    std::vector<std::size_t> digits;
    for (std::size_t length = 0; length <= 4; ++length) {
        digits.assign(length, 0);
        for (bool more = true; more;) {
            std::string typed;
            for (const std::size_t d : digits) {
                typed += alphabet[d];
            }

            h.comm.written.clear();
            h.txtTxPwr.content = typed;
            h.form.txtTxPwr_LostFocus();

            ASSERT_LE(h.comm.written.size(), 1U) << '"' << typed << '"';
            if (!h.comm.written.empty()) {
                ++sent;
                ASSERT_TRUE(std::regex_match(h.comm.written.front(), wellFormed))
                    << '"' << typed << "\" sent \"" << h.comm.written.front() << '"';
                ASSERT_EQ(typedCommand(typed), h.comm.written.front()) << '"' << typed << '"';
                if (h.comm.written.front()[5] == '0') {
                    ASSERT_TRUE(std::regex_match(typed, lowRangeText))
                        << '"' << typed << "\" sent \"" << h.comm.written.front() << '"';
                }
            } else if (const auto rule = typedCommand(typed); rule && std::regex_match(*rule, wellFormed)) {
                FAIL() << '"' << typed << "\" sent nothing although the rule gives " << *rule;
            }
            ASSERT_TRUE(h.dialogs.messages.empty()) << '"' << typed << "\": " << h.lastMessage();
            ++checked;

            // Next text of this length, like counting in base alphabet.size().
            more = false;
            for (std::size_t i = 0; i < digits.size(); ++i) {
                if (++digits[i] < alphabet.size()) {
                    more = true;
                    break;
                }
                digits[i] = 0;
            }
        }
    }
    EXPECT_EQ(checked, 1U + 19U + 19U * 19U + 19U * 19U * 19U + 19U * 19U * 19U * 19U);
    EXPECT_GT(sent, 0U) << "the alphabet holds texts that must be sent";
}

} // namespace
} // namespace quorvel
