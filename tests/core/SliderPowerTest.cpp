// Setting the power with the slider: pressing pauses polling, releasing sends the slider rule.
#include "tests/fakes/FormHarness.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quorvel {
namespace {

using fakes::FakeDialogs;
using fakes::FormHarness;
using Messages = std::vector<FakeDialogs::Message>;

const std::string kUpPrefix = "VB6 runtime error (sldTxPwr_MouseUp): ";

// Press, drag to a value, release.
void drag(FormHarness& h, std::int32_t value) {
    h.form.sldTxPwr_MouseDown();
    h.slider.current = value;
    h.form.sldTxPwr_MouseUp();
}

TEST(SliderPower, PressingPausesPollingAndNothingElse) {
    for (const std::string poll : {"1", "0", "x"}) {
        FormHarness h;
        h.start({{"port", "1"}, {"poll", poll}});
        const bool watchdogWas = h.tmrK3Con.enabled();

        h.form.sldTxPwr_MouseDown();
        h.tmrPoll.fire();

        EXPECT_FALSE(h.tmrPoll.enabled()) << poll;
        EXPECT_TRUE(h.comm.written.empty()) << poll;
        EXPECT_EQ(h.tmrK3Con.enabled(), watchdogWas) << poll;
        EXPECT_EQ(h.tmrK3Con.restarts, 0) << poll;
        EXPECT_TRUE(h.dialogs.messages.empty()) << poll << ": " << h.lastMessage();
    }
}

TEST(SliderPower, ReleaseSendsTheSliderRuleAndShowsTheValue) {
    struct Case {
        std::int32_t value;
        std::string command;
        Color paLamp;
        bool lowRangeShown; // the scale a low-range reply left (0..10)
    };
    const Case cases[] = {
        {0, "PC0000;", kButtonFace, false},
        {5, "PC0500;", kButtonFace, false},
        {8, "PC0800;", kButtonFace, false},
        {9, "PC0091;", kGreen, false},
        {10, "PC0101;", kGreen, false},
        {50, "PC0501;", kGreen, false},
        {99, "PC0991;", kGreen, false},
        {100, "PC1001;", kGreen, false},
        // The range follows the value alone, not the scale on show.
        {8, "PC0800;", kButtonFace, true},
        {9, "PC0091;", kGreen, true},
        {10, "PC0101;", kGreen, true},
    };
    for (const Case& c : cases) {
        FormHarness h;
        h.start({{"port", "1"}});
        h.reply(c.lowRangeShown ? "PC0550;" : "PC0501;");
        h.forget();

        drag(h, c.value);

        const std::string text = std::to_string(c.value);
        EXPECT_EQ(h.comm.written, std::vector<std::string>{c.command}) << c.value;
        EXPECT_EQ(h.shpPAEnabled.history, std::vector<Color>{c.paLamp}) << c.value;
        EXPECT_EQ(h.form.txpwrText(), text);
        EXPECT_EQ(h.slider.toolTip, text);
        EXPECT_EQ(h.txtTxPwr.content, text);
        EXPECT_TRUE(h.tmrPoll.enabled()) << c.value;
        EXPECT_EQ(h.tmrPoll.restarts, 1) << "the interval counts from the release";
        EXPECT_TRUE(h.dialogs.messages.empty()) << c.value << ": " << h.lastMessage();
    }
}

TEST(SliderPower, PlainClickSendsTheCurrentValueAgain) {
    FormHarness h;
    h.start({{"port", "1"}});
    h.reply("PC0501;");

    h.form.sldTxPwr_MouseDown();
    h.form.sldTxPwr_MouseUp();
    h.form.sldTxPwr_MouseDown();
    h.form.sldTxPwr_MouseUp();

    EXPECT_EQ(h.comm.written, (std::vector<std::string>{"PC0501;", "PC0501;"}));
}

TEST(SliderPower, ValueOutsideTheRuleSendsNothingAndClearsTheBox) {
    for (const std::int32_t value : {-1, 101, 1000}) {
        FormHarness h;
        h.start({{"port", "1"}});
        h.txtTxPwr.content = "50";

        drag(h, value);

        EXPECT_TRUE(h.comm.written.empty()) << value;
        EXPECT_EQ(h.txtTxPwr.content, "") << value;
        EXPECT_EQ(h.slider.current, 0) << value;
        EXPECT_EQ(h.form.txpwrText(), "0") << value;
        EXPECT_EQ(h.slider.toolTip, std::to_string(value)) << "the tool tip keeps what was set first";
        EXPECT_TRUE(h.shpPAEnabled.history.empty()) << value;
        EXPECT_TRUE(h.tmrPoll.enabled()) << value;
    }
}

TEST(SliderPower, ReleaseResumesPollingOnlyWhenItIsSwitchedOn) {
    struct Case {
        std::string poll;
        bool resumes;
    };
    for (const Case& c : {Case{"1", true}, Case{"0", false}, Case{"2", false}, Case{"1.0", true}}) {
        FormHarness h;
        h.start({{"port", "1"}, {"poll", c.poll}});
        h.tmrPoll.setEnabled(true);

        drag(h, 50);

        EXPECT_EQ(h.tmrPoll.enabled(), c.resumes) << c.poll;
        EXPECT_EQ(h.comm.written, std::vector<std::string>{"PC0501;"}) << c.poll;
    }
}

TEST(SliderPower, PollThatIsNoNumberStopsTheReleaseBeforeTheDisplay) {
    FormHarness h;
    h.start({{"port", "1"}, {"poll", "x"}});

    drag(h, 80);

    EXPECT_EQ(h.dialogs.messages, Messages{FakeDialogs::information(kUpPrefix + "13 - Type mismatch")});
    EXPECT_EQ(h.form.txpwrText(), "");
    EXPECT_EQ(h.slider.toolTip, "");
    EXPECT_EQ(h.txtTxPwr.content, "");
    EXPECT_TRUE(h.shpPAEnabled.history.empty());
    EXPECT_TRUE(h.comm.written.empty());
    EXPECT_FALSE(h.tmrPoll.enabled());
}

TEST(SliderPower, ClosedPortRefusesTheWriteAfterThePanelIsUpdated) {
    FormHarness h;
    h.start({{"port", "0"}});

    drag(h, 50);

    EXPECT_EQ(h.dialogs.messages,
              Messages{FakeDialogs::information(kUpPrefix + "8018 - Operation valid only when the port is open")});
    EXPECT_TRUE(h.tmrPoll.enabled());
    EXPECT_EQ(h.form.txpwrText(), "50");
    EXPECT_EQ(h.slider.toolTip, "50");
    EXPECT_EQ(h.txtTxPwr.content, "50");
    EXPECT_EQ(h.shpPAEnabled.color, kGreen);
}

} // namespace
} // namespace quorvel
