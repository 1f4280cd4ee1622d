// The Settings menu: switching polling on and off, and setting the poll interval.
#include "tests/fakes/CommaLocale.h"
#include "tests/fakes/FormHarness.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quorvel {
namespace {

using fakes::FakeDialogs;
using fakes::FormHarness;
using Messages = std::vector<FakeDialogs::Message>;

const std::string kIntervalPrefix = "VB6 runtime error (mnuPollTimer_Click): ";
const FakeDialogs::Message kOutOfBounds{
    "Please enter a timer value between 500 and 10000.", 0, "Poll Timer Value Error", {}};

TEST(PollingMenu, SwitchingPollingOffStopsBothTimersAndIsSaved) {
    FormHarness h;
    h.start({{"port", "1"}, {"poll", "1"}});
    h.reply("PC0501;");

    h.form.mnuPoll_Click();

    EXPECT_EQ(h.form.pollText(), "0");
    EXPECT_EQ(h.settings.saves, std::vector<std::string>{"poll=0"});
    EXPECT_FALSE(h.mnuPoll.checked);
    EXPECT_FALSE(h.tmrPoll.enabled());
    EXPECT_FALSE(h.tmrK3Con.enabled());
    EXPECT_EQ(h.shpK3Con.color, kGreen) << "the link lamp is not touched";
}

TEST(PollingMenu, SwitchingPollingOnStartsAFreshWatchdogCount) {
    FormHarness h;
    h.start({{"port", "1"}, {"poll", "0"}});
    h.tmrK3Con.setInterval(3000);

    h.form.mnuPoll_Click();

    EXPECT_EQ(h.form.pollText(), "1");
    EXPECT_EQ(h.settings.saves, std::vector<std::string>{"poll=1"});
    EXPECT_TRUE(h.mnuPoll.checked);
    EXPECT_TRUE(h.tmrPoll.enabled());
    EXPECT_TRUE(h.tmrK3Con.enabled());
    EXPECT_EQ(h.tmrK3Con.interval(), std::chrono::milliseconds{11000});
    EXPECT_EQ(h.tmrK3Con.restarts, 1);
    EXPECT_TRUE(h.shpK3Con.history.empty());
}

TEST(PollingMenu, SwitchIgnoresAStoredValueOtherThanZeroOrOne) {
    for (const std::string poll : {"2", "", " 1", "1.0"}) {
        FormHarness h;
        h.start({{"port", "1"}, {"poll", poll}});

        h.form.mnuPoll_Click();

        EXPECT_EQ(h.form.pollText(), poll);
        EXPECT_TRUE(h.settings.saves.empty()) << '"' << poll << '"';
        EXPECT_FALSE(h.mnuPoll.checked);
        EXPECT_TRUE(h.tmrPoll.enabled()) << '"' << poll << '"';
        EXPECT_TRUE(h.tmrK3Con.enabled()) << '"' << poll << '"';
        EXPECT_EQ(h.tmrPoll.restarts + h.tmrK3Con.restarts, 0) << '"' << poll << '"';
    }
}

TEST(PollingMenu, RefusedSaveEndsTheSwitchAfterTheTextChanged) {
    FormHarness h;
    h.start({{"port", "1"}, {"poll", "1"}});
    h.settings.refusedKeys = {"poll"};

    h.form.mnuPoll_Click();

    EXPECT_EQ(h.dialogs.messages,
              Messages{FakeDialogs::information("VB6 runtime error (mnuPoll): 75 - Path/File access error")});
    EXPECT_EQ(h.form.pollText(), "0");
    EXPECT_TRUE(h.mnuPoll.checked);
    EXPECT_TRUE(h.tmrPoll.enabled());
    EXPECT_TRUE(h.tmrK3Con.enabled());
}

TEST(PollingMenu, IntervalBoxOffersTheCurrentValue) {
    FormHarness h;
    h.start({{"polltime", "750"}});
    h.dialogs.answers = {"2000", ""};

    h.form.mnuInterval_Click();
    h.form.mnuInterval_Click();

    ASSERT_EQ(h.dialogs.inputs.size(), 2U);
    EXPECT_EQ(h.dialogs.inputs[0].prompt,
              "Enter new poll interval value in milliseconds (suggested 1000 - for 1 second).");
    EXPECT_EQ(h.dialogs.inputs[0].title, "Enter Poll Interval Value");
    EXPECT_EQ(h.dialogs.inputs[0].defaultText, "750");
    EXPECT_EQ(h.dialogs.inputs[1].defaultText, "2000");
}

TEST(PollingMenu, IntervalIsTakenWithinItsBoundsAndKeptAsTyped) {
    struct Case {
        std::string entered;
        long long interval; // 0: refused with the bounds message
    };
    const Case cases[] = {
        {"500", 500}, {"10000", 10000}, {" 1000", 1000}, {"1000.6", 1001}, {"750.5", 750}, {"1000 ", 1000},
        {"499", 0},   {"499.9", 0},     {"10000.4", 0},  {"10001", 0},     {"-600", 0},    {"0", 0},
    };
    for (const Case& c : cases) {
        FormHarness h;
        h.start({{"port", "1"}});
        h.dialogs.answers = {c.entered};

        h.form.mnuInterval_Click();

        if (c.interval != 0) {
            EXPECT_TRUE(h.dialogs.messages.empty()) << c.entered << ": " << h.lastMessage();
            EXPECT_EQ(h.settings.saves, std::vector<std::string>{"polltime=" + c.entered});
            EXPECT_EQ(h.form.polltimeText(), c.entered);
            EXPECT_EQ(h.tmrPoll.interval(), std::chrono::milliseconds{c.interval}) << c.entered;
        } else {
            EXPECT_EQ(h.dialogs.messages, Messages{kOutOfBounds}) << c.entered;
            EXPECT_TRUE(h.settings.saves.empty()) << c.entered;
            EXPECT_EQ(h.form.polltimeText(), "500") << c.entered;
            EXPECT_EQ(h.tmrPoll.interval(), std::chrono::milliseconds{500}) << c.entered;
            EXPECT_EQ(h.dialogs.inputs.size(), 1U) << "the box is not shown again";
        }
        EXPECT_TRUE(h.tmrPoll.enabled()) << c.entered;
    }
}

TEST(PollingMenu, CancelOrNoNumberChangesNothing) {
    struct Case {
        std::string entered;
        Messages messages;
    };
    for (const Case& c : {Case{"", {}}, Case{"abc", {FakeDialogs::information(kIntervalPrefix + "13 - Type mismatch")}},
                          Case{"1,000", {FakeDialogs::information(kIntervalPrefix + "13 - Type mismatch")}},
                          Case{" ", {FakeDialogs::information(kIntervalPrefix + "13 - Type mismatch")}}}) {
        FormHarness h;
        h.start({{"port", "1"}});
        h.dialogs.answers = {c.entered};

        h.form.mnuInterval_Click();

        EXPECT_EQ(h.dialogs.messages, c.messages) << '"' << c.entered << '"';
        EXPECT_TRUE(h.settings.saves.empty()) << '"' << c.entered << '"';
        EXPECT_EQ(h.form.polltimeText(), "500");
        EXPECT_EQ(h.tmrPoll.interval(), std::chrono::milliseconds{500});
    }
}

TEST(PollingMenu, NewIntervalLeavesPollingAsItWas) {
    FormHarness h;
    h.start({{"port", "1"}, {"poll", "0"}});
    h.dialogs.answers = {"2000"};

    h.form.mnuInterval_Click();

    EXPECT_EQ(h.tmrPoll.interval(), std::chrono::milliseconds{2000});
    EXPECT_FALSE(h.tmrPoll.enabled());
    EXPECT_EQ(h.settings.get("polltime"), "2000");
}

TEST(PollingMenu, IntervalReadsThePointWhateverTheLocale) {
    const fakes::CommaLocale comma;
    if (!comma.active()) {
        GTEST_SKIP() << "no locale with a decimal comma can be had on this machine";
    }
    FormHarness h;
    h.start({{"port", "1"}});
    h.dialogs.answers = {"1000.6"};

    h.form.mnuInterval_Click();

    EXPECT_EQ(h.tmrPoll.interval(), std::chrono::milliseconds{1001});
    EXPECT_TRUE(h.dialogs.messages.empty()) << h.lastMessage();
}

} // namespace
} // namespace quorvel
