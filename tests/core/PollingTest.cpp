// Polling the radio and the link watchdog: the poll timer, the Poll button and the link lamp.
#include "tests/fakes/FormHarness.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quorvel {
namespace {

using fakes::FakeDialogs;
using fakes::FormHarness;
using Messages = std::vector<FakeDialogs::Message>;

TEST(Polling, TickSendsTheQueryOnlyWhileThePortIsOpen) {
    struct Case {
        std::string port;
        std::vector<std::string> written;
    };
    for (const Case& c : {Case{"1", {"PC;", "PC;"}}, Case{"0", {}}}) {
        FormHarness h;
        h.start({{"port", c.port}});

        // Two ticks, no answer in between: each sends its own query.
        h.tmrPoll.fire();
        h.tmrPoll.fire();

        EXPECT_EQ(h.comm.written, c.written) << "port " << c.port;
        EXPECT_TRUE(h.dialogs.messages.empty()) << h.lastMessage();
    }
}

TEST(Polling, PollButtonQueriesOnceOrSaysWhyItCannot) {
    struct Case {
        std::string port, poll;
        std::vector<std::string> written;
        Messages messages;
    };
    const Case cases[] = {
        {"1", "1", {"PC;"}, {}},
        {"1", "0", {"PC;"}, {}}, // works with polling switched off too
        {"0", "1", {}, {FakeDialogs::information("Cannot poll unless a valid com port is selected first.")}},
        {"0", "0", {}, {FakeDialogs::information("Cannot poll unless a valid com port is selected first.")}},
    };
    for (const Case& c : cases) {
        FormHarness h;
        h.start({{"port", c.port}, {"poll", c.poll}});
        const bool pollTimerWas = h.tmrPoll.enabled();
        const bool watchdogWas = h.tmrK3Con.enabled();

        h.form.cmdPoll_Click();

        EXPECT_EQ(h.comm.written, c.written) << c.port << "/" << c.poll;
        EXPECT_EQ(h.dialogs.messages, c.messages) << c.port << "/" << c.poll;
        EXPECT_EQ(h.tmrPoll.enabled(), pollTimerWas);
        EXPECT_EQ(h.tmrK3Con.enabled(), watchdogWas);
        EXPECT_EQ(h.tmrPoll.restarts + h.tmrK3Con.restarts, 0);
    }
}

TEST(Polling, FailedWriteIsReportedAtEveryTickAndTheTimersRunOn) {
    FormHarness h;
    h.start({{"port", "1"}});
    h.comm.writesFail = true;

    h.tmrPoll.fire();
    h.tmrPoll.fire();
    h.form.cmdPoll_Click();

    const auto tickReport =
        FakeDialogs::information("VB6 runtime error (tmrPollTimer_Timer): 8020 - Write to the port failed");
    EXPECT_EQ(
        h.dialogs.messages,
        (Messages{tickReport, tickReport,
                  FakeDialogs::information("VB6 runtime error (cmdPoll_Click): 8020 - Write to the port failed")}));
    EXPECT_TRUE(h.tmrPoll.enabled());
    EXPECT_TRUE(h.tmrK3Con.enabled());
}

TEST(Polling, WatchdogTickFailureIsReported) {
    FormHarness h;
    h.start({{"port", "1"}});
    h.shpK3Con.fails = true;

    h.tmrK3Con.fire();

    EXPECT_EQ(h.dialogs.messages,
              Messages{FakeDialogs::information("VB6 runtime error (tmrK3Con_Timer): 51 - Lamp cannot be drawn")});
    EXPECT_TRUE(h.tmrK3Con.enabled());
}

enum class Event { Reply, WatchdogFires, PollingOff, PollingOn, SliderDown };

struct WatchdogCase {
    const char* name;
    std::string poll; // as stored when the program starts
    std::vector<Event> events;
    Color lamp;
    bool watchdogArmed;
};

TEST(Polling, LinkLampAndWatchdogFollowTheirTable) {
    using E = Event;
    const WatchdogCase cases[] = {
        {"just started", "1", {}, kButtonFace, true},
        {"just started, polling off", "0", {}, kButtonFace, false},
        {"a reply", "1", {E::Reply}, kGreen, true},
        {"silence from the start", "1", {E::WatchdogFires}, kRed, true},
        {"silence after a reply", "1", {E::Reply, E::WatchdogFires}, kRed, true},
        {"silence goes on: red again", "1", {E::Reply, E::WatchdogFires, E::WatchdogFires}, kRed, true},
        {"a reply after silence", "1", {E::WatchdogFires, E::Reply}, kGreen, true},
        {"polling off keeps green", "1", {E::Reply, E::PollingOff}, kGreen, false},
        {"polling off keeps red", "1", {E::WatchdogFires, E::PollingOff}, kRed, false},
        {"manual poll reply with polling off stays green", "0", {E::Reply, E::WatchdogFires}, kGreen, false},
        {"polling on again arms the watchdog", "0", {E::Reply, E::PollingOn, E::WatchdogFires}, kRed, true},
        {"slider held: no polls but the watchdog counts on",
         "1",
         {E::Reply, E::SliderDown, E::WatchdogFires},
         kRed,
         true},
    };
    for (const WatchdogCase& c : cases) {
        FormHarness h;
        h.start({{"port", "1"}, {"poll", c.poll}});
        for (const Event e : c.events) {
            switch (e) {
            case E::Reply:
                h.reply("PC0501;");
                break;
            case E::WatchdogFires:
                h.tmrK3Con.fire();
                break;
            case E::PollingOff:
            case E::PollingOn:
                h.form.mnuPoll_Click();
                break;
            case E::SliderDown:
                h.form.sldTxPwr_MouseDown();
                h.tmrPoll.fire();
                break;
            }
        }
        EXPECT_EQ(h.shpK3Con.color, c.lamp) << c.name;
        EXPECT_EQ(h.tmrK3Con.enabled(), c.watchdogArmed) << c.name;
        EXPECT_TRUE(h.dialogs.messages.empty()) << c.name << ": " << h.lastMessage();
    }
}

TEST(Polling, SilenceTurnsOnlyTheLinkLampRedAndThePollingGoesOn) {
    // Given a radio that answered once, in the high range, and then fell silent.
    FormHarness h;
    h.start({{"port", "1"}});
    h.reply("PC0501;");
    ASSERT_EQ(h.shpPAEnabled.color, kGreen);
    h.comm.written.clear();

    // When the watchdog runs out, and runs out again, with poll ticks in between.
    h.tmrPoll.fire();
    h.tmrK3Con.fire();
    h.tmrPoll.fire();
    h.tmrK3Con.fire();
    h.tmrPoll.fire();

    // Then only the link lamp changes: the PA lamp keeps the last range, queries go on, no message.
    EXPECT_EQ(h.shpK3Con.color, kRed);
    EXPECT_EQ(h.shpPAEnabled.color, kGreen);
    EXPECT_EQ(h.comm.written, (std::vector<std::string>{"PC;", "PC;", "PC;"}));
    EXPECT_TRUE(h.tmrPoll.enabled());
    EXPECT_TRUE(h.dialogs.messages.empty()) << h.lastMessage();
}

TEST(Polling, WithNoPortOpenTheTicksStaySilentAndTheLampTurnsRed) {
    FormHarness h;
    h.start({{"port", "0"}});

    h.tmrPoll.fire();
    h.tmrK3Con.fire();

    EXPECT_TRUE(h.comm.written.empty());
    EXPECT_TRUE(h.dialogs.messages.empty()) << h.lastMessage();
    EXPECT_EQ(h.shpK3Con.color, kRed);
}

} // namespace
} // namespace quorvel
