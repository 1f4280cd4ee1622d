// The receive handler: what each read from the radio does to the link lamp, the watchdog and the
// power display.
#include "tests/fakes/CommaLocale.h"
#include "tests/fakes/FormHarness.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <string>
#include <vector>

namespace quorvel {
namespace {

using fakes::FakeDialogs;
using fakes::FormHarness;

const std::string kPrefix = "VB6 runtime error (MCComm1_OnComm): ";
const std::vector<FakeDialogs::Message> kTypeMismatchReport = {
    FakeDialogs::information(kPrefix + "13 - Type mismatch")};

// The panel as a high-range 50 W reply leaves it, so that a test can see what a later read changes.
void showFiftyWatts(FormHarness& h) {
    h.reply("PC0501;");
    ASSERT_EQ(h.form.txpwrText(), "50");
    h.forget();
}

void expectFiftyWattsStillShown(const FormHarness& h, const std::string& read) {
    EXPECT_EQ(h.form.txpwrText(), "50") << read;
    EXPECT_EQ(h.txtTxPwr.content, "50") << read;
    EXPECT_EQ(h.slider.current, 50) << read;
    EXPECT_EQ(h.slider.toolTip, "50") << read;
    EXPECT_EQ(h.slider.max, 100) << read;
}

TEST(ReplyDisplay, ShowsEachPowerReplyInItsRange) {
    struct Case {
        std::string read;
        Color paLamp;
        std::vector<std::string> sliderCalls; // in the order the handler makes them
        std::string txpwr, box;
    };
    const std::vector<std::string> low = {"Max=10", "TickFrequency=1", "LargeChange=0", "SmallChange=0"};
    const std::vector<std::string> high = {"Max=100", "TickFrequency=10", "LargeChange=1", "SmallChange=1"};
    const auto with = [](std::vector<std::string> calls, const std::string& value) {
        calls.push_back("Value=" + value);
        return calls;
    };
    const Case cases[] = {
        {"PC0500;", kButtonFace, with(low, "5"), "5.0", " 5"},
        {"PC0550;", kButtonFace, with(low, "6"), "5.5", " 5.5"},
        {"PC0450;", kButtonFace, with(low, "4"), "4.5", " 4.5"},
        {"PC0050;", kButtonFace, with(low, "0"), "0.5", " .5"},
        {"PC0000;", kButtonFace, with(low, "0"), "0.0", " 0"},
        {"PC1000;", kButtonFace, with(low, "10"), "10.0", " 10"},
        {"PC0890;", kButtonFace, with(low, "9"), "8.9", " 8.9"},
        {"PC1001;", kGreen, with(high, "100"), "100", "100"},
        {"PC0501;", kGreen, with(high, "50"), "50", "50"},
        {"PC0051;", kGreen, with(high, "5"), "5", "5"},
        {"PC0001;", kGreen, with(high, "0"), "0", "0"},
        {"PC0991;", kGreen, with(high, "99"), "99", "99"},
    };
    for (const Case& c : cases) {
        FormHarness h;
        h.start({{"port", "1"}});

        h.reply(c.read);

        EXPECT_TRUE(h.dialogs.messages.empty()) << c.read << ": " << h.lastMessage();
        EXPECT_EQ(h.shpPAEnabled.history, std::vector<Color>{c.paLamp}) << c.read;
        EXPECT_EQ(h.slider.calls, c.sliderCalls) << c.read;
        EXPECT_EQ(h.form.txpwrText(), c.txpwr) << c.read;
        EXPECT_EQ(h.txtTxPwr.content, c.box) << c.read;
        EXPECT_EQ(h.slider.toolTip, c.txpwr) << c.read;
        EXPECT_EQ(h.form.pollresultText(), c.read);
        EXPECT_EQ(h.form.parsedresultText(), c.read);
    }
}

TEST(ReplyDisplay, ShowsEveryReplyOfAReadInOrderAndEndsOnTheLatest) {
    struct Case {
        std::string read;
        std::vector<Color> paLamp;
        std::vector<std::string> sliderValues;
        std::string txpwr, parsed;
    };
    const Case cases[] = {
        {"PC0501;PC0601;", {kGreen, kGreen}, {"Value=50", "Value=60"}, "60", "PC0601;"},
        {"PC0500;PC1001;", {kButtonFace, kGreen}, {"Value=5", "Value=100"}, "100", "PC1001;"},
        {"PC1001;PC0500;", {kGreen, kButtonFace}, {"Value=100", "Value=5"}, "5.0", "PC0500;"},
        {"PC0501;?;", {kGreen}, {"Value=50"}, "50", "?;"}, // the last frame is no power reply
        {"?;PC0551;", {kGreen}, {"Value=55"}, "55", "PC0551;"},
        {"PC0501;PC06", {kGreen}, {"Value=50"}, "50", "PC0501;"}, // the rest waits for its ";"
    };
    for (const Case& c : cases) {
        FormHarness h;
        h.start({{"port", "1"}});

        h.reply(c.read);

        EXPECT_TRUE(h.dialogs.messages.empty()) << c.read << ": " << h.lastMessage();
        EXPECT_EQ(h.shpPAEnabled.history, c.paLamp) << c.read;
        std::vector<std::string> values;
        std::copy_if(h.slider.calls.begin(), h.slider.calls.end(), std::back_inserter(values),
                     [](const std::string& call) { return call.rfind("Value=", 0) == 0; });
        EXPECT_EQ(values, c.sliderValues) << c.read;
        EXPECT_EQ(h.form.txpwrText(), c.txpwr) << c.read;
        EXPECT_EQ(h.slider.toolTip, c.txpwr) << c.read;
        EXPECT_EQ(h.form.pollresultText(), c.read);
        EXPECT_EQ(h.form.parsedresultText(), c.parsed) << c.read;
        EXPECT_EQ(h.shpK3Con.history, std::vector<Color>{kGreen}) << c.read;
    }
}

TEST(ReplyDisplay, SwitchesTheScaleOverWithTheNextReplyOfTheOtherRange) {
    FormHarness h;
    h.start({{"port", "1"}});

    h.reply("PC0550;");
    ASSERT_EQ(h.slider.smallChange, 0);
    h.reply("PC0801;");

    // The scale widens before the new position is set, so 80 is not set on a 0..10 slider.
    EXPECT_EQ(h.slider.calls.at(5), "Max=100");
    EXPECT_EQ(h.slider.calls.back(), "Value=80");
    EXPECT_EQ(h.slider.smallChange, 1);
    EXPECT_EQ(h.slider.largeChange, 1);
    EXPECT_EQ(h.shpPAEnabled.color, kGreen);
    EXPECT_EQ(h.txtTxPwr.content, "80");
}

TEST(ReplyDisplay, EveryReadIsASignOfLife) {
    // Whatever was read, complete or not, shown or not, even when it ends in an error report:
    // the link lamp turns green and the watchdog starts a fresh count at 11000 ms.
    for (const std::string read :
         {"PC0500;", "PC1001;", "", "PC05", "?;", "\rPC0500;", "PC0502;", "PC05;", "PC050x;", "ID017;"}) {
        FormHarness h;
        h.start({{"port", "1"}});
        h.tmrK3Con.setInterval(3000); // so that the handler's own interval shows
        h.tmrK3Con.restarts = 0;

        h.reply(read);

        EXPECT_EQ(h.shpK3Con.history, std::vector<Color>{kGreen}) << read;
        EXPECT_TRUE(h.tmrK3Con.enabled()) << read;
        EXPECT_EQ(h.tmrK3Con.interval(), std::chrono::milliseconds{11000}) << read;
        EXPECT_EQ(h.tmrK3Con.restarts, 1) << read;
        EXPECT_EQ(h.form.pollresultText(), read);
    }
}

TEST(ReplyDisplay, AFailedReadIsReportedAndIsNoSignOfLife) {
    // The serial component raises through the read what it met on its own, such as a returned
    // adapter that another program holds: the report shows it, and nothing was heard.
    FormHarness h;
    h.start({{"port", "1"}});
    h.reply("PC0501;");
    h.shpK3Con.history.clear();
    h.tmrK3Con.restarts = 0;
    h.comm.inputFailure = RunTimeError(err::kPortAlreadyOpen, "Port already open: /dev/ttyUSB0 is in use");

    h.form.MSComm1_OnComm();

    EXPECT_EQ(h.dialogs.messages,
              std::vector{FakeDialogs::information(kPrefix + "8005 - Port already open: /dev/ttyUSB0 is in use")});
    EXPECT_TRUE(h.shpK3Con.history.empty());
    EXPECT_EQ(h.tmrK3Con.restarts, 0);
    EXPECT_EQ(h.form.pollresultText(), "PC0501;");
}

TEST(ReplyDisplay, LeavesTheDisplayAloneForFramesThatAreNotPowerReplies) {
    // Busy answers, other frames and line noise are signs of life only: no report, nothing shown,
    // whichever of their characters happen to stand where a reply's flag and digits would.
    struct Case {
        std::string read, parsed;
    };
    const Case cases[] = {
        {"?;", "?;"},               // the radio is busy
        {";", ";"},                 //
        {"ID017;", "ID017;"},       // a frame the program never asked for
        {"\rPC0500;", "\rPC0500;"}, // a stray line end in front
        {"xPC0501;", "xPC0501;"},   // a stray character in front
        {"PC0502;", "PC0502;"},     // a range flag the panel does not know
        {"PC0509;", "PC0509;"},     //
        {"PC05", "incomplete"},     // the rest is still on its way
        {"", "incomplete"},         // an event with nothing to read
        // Too short for a range flag, or no digit where it stands.
        {"PC12;", "PC12;"},
        {"PC050;", "PC050;"},
        {"PC05;", "PC05;"},
        {"PC;", "PC;"},
        {"PC050x;", "PC050x;"},
        {"PC050 ;", "PC050 ;"},
        {"PC050.;", "PC050.;"},
        {"PC050-;", "PC050-;"},
        // Power digits that are not three digits, in either range.
        {"PC05x1;", "PC05x1;"},
        {"PC 501;", "PC 501;"},
        {"PCab01;", "PCab01;"},
        {"PCC050;", "PCC050;"},
        {"PC0x50;", "PC0x50;"},
        {"PC-x00;", "PC-x00;"},
        {"PC 50;0", "PC 50;"},
        // A stray character inside the reply, before its ";".
        {"PC0501x;", "PC0501x;"},
        {"PC05011;", "PC05011;"},
    };
    for (const Case& c : cases) {
        FormHarness h;
        h.start({{"port", "1"}});
        showFiftyWatts(h);

        h.reply(c.read);

        EXPECT_TRUE(h.dialogs.messages.empty()) << c.read << ": " << h.lastMessage();
        EXPECT_EQ(h.form.parsedresultText(), c.parsed);
        expectFiftyWattsStillShown(h, c.read);
        EXPECT_TRUE(h.slider.calls.empty()) << c.read;
        EXPECT_TRUE(h.shpPAEnabled.history.empty()) << c.read;
        EXPECT_EQ(h.shpK3Con.color, kGreen) << c.read;
        EXPECT_TRUE(h.tmrK3Con.enabled()) << c.read;
    }
}

TEST(ReplyDisplay, NoiseAtEveryPollNeverPilesUpReports) {
    // A radio that answers every poll with the same unreadable text, then recovers.
    FormHarness h;
    h.start({{"port", "1"}});
    for (int poll = 0; poll < 50; ++poll) {
        h.reply("PC12;");
    }
    EXPECT_TRUE(h.dialogs.messages.empty()) << h.lastMessage();
    EXPECT_EQ(h.form.txpwrText(), "");

    h.reply("PC0551;");
    EXPECT_EQ(h.form.txpwrText(), "55");
}

TEST(ReplyDisplay, PositionTheSliderRefusesKeepsBoxAndToolTip) {
    FormHarness h;
    h.start({{"port", "1"}});
    showFiftyWatts(h);
    h.slider.refuseValuesAboveMax = true;

    h.reply("PC1200;"); // 12.0 W in the low range, whose scale ends at 10

    EXPECT_EQ(h.dialogs.messages,
              std::vector<FakeDialogs::Message>{FakeDialogs::information(kPrefix + "380 - Invalid property value")});
    EXPECT_EQ(h.form.txpwrText(), "12.0");
    EXPECT_EQ(h.txtTxPwr.content, "50");
    EXPECT_EQ(h.slider.toolTip, "50");
    EXPECT_EQ(h.slider.max, 10);
}

TEST(ReplyDisplay, PollingSwitchDecidesTheWatchdogBeforeAnythingIsFramed) {
    struct Case {
        std::string poll;
        bool watchdogArmed;
        bool typeError; // then the read is neither framed nor shown
    };
    const Case cases[] = {
        {"1", true, false},  {" 1", true, false}, {"1.0", true, false}, {"0", false, false},
        {"2", false, false}, {"", false, true},   {"on", false, true},
    };
    for (const Case& c : cases) {
        FormHarness h;
        h.start({{"port", "1"}, {"poll", c.poll}});
        h.tmrK3Con.setEnabled(true);
        h.tmrK3Con.restarts = 0;

        h.reply("PC0501;");

        EXPECT_EQ(h.tmrK3Con.enabled(), c.watchdogArmed) << '"' << c.poll << '"';
        EXPECT_EQ(h.tmrK3Con.restarts, c.watchdogArmed ? 1 : 0) << '"' << c.poll << '"';
        EXPECT_EQ(h.tmrK3Con.interval(), std::chrono::milliseconds{11000});
        EXPECT_EQ(h.shpK3Con.color, kGreen) << '"' << c.poll << '"';
        if (c.typeError) {
            EXPECT_EQ(h.dialogs.messages, kTypeMismatchReport) << '"' << c.poll << '"';
            EXPECT_EQ(h.form.parsedresultText(), "") << '"' << c.poll << '"';
            EXPECT_EQ(h.form.txpwrText(), "") << '"' << c.poll << '"';
            EXPECT_TRUE(h.slider.calls.empty()) << '"' << c.poll << '"';
        } else {
            EXPECT_TRUE(h.dialogs.messages.empty()) << '"' << c.poll << '"' << h.lastMessage();
            EXPECT_EQ(h.form.txpwrText(), "50") << '"' << c.poll << '"';
        }
    }
}

TEST(ReplyDisplay, JoinsAReplySplitAcrossReads) {
    struct Case {
        std::vector<std::string> reads;
        std::string txpwr; // after the last read; "" when nothing was shown
    };
    const Case cases[] = {
        {{"PC0", "550;"}, "5.5"},
        {{"P", "C", "0", "5", "0", "1", ";"}, "50"},
        {{"PC05", "01;PC1001;"}, "100"},
        {{"PC0500;PC10", "01;"}, "100"}, // what follows a read's last ";" waits for the next read
        {{"PC0500;PC10", "01;", "PC0551;"}, "55"},
        {{"PC0500;PC", "1", "0", "01;"}, "100"},
        {{"\r", "PC0501;PC0551;"}, "55"},
        {{"\r", "PC0501;"}, ""},              // a line end kept from before stands in front of the reply
        {{"\r", "PC0501;", "PC0551;"}, "55"}, // and is gone once that frame is through
    };
    for (const Case& c : cases) {
        FormHarness h;
        h.start({{"port", "1"}});
        for (const std::string& read : c.reads) {
            h.reply(read);
        }

        EXPECT_TRUE(h.dialogs.messages.empty()) << c.reads.back() << ": " << h.lastMessage();
        EXPECT_EQ(h.form.txpwrText(), c.txpwr) << c.reads.front() << " ... " << c.reads.back();
        EXPECT_EQ(h.shpK3Con.history, std::vector<Color>(c.reads.size(), kGreen));
        EXPECT_EQ(h.tmrK3Con.restarts, static_cast<int>(c.reads.size()));
    }
}

TEST(ReplyDisplay, KeepsOnlyTheNewestPartOfALineThatNeverSendsASemicolon) {
    FormHarness h;
    h.start({{"port", "1"}});

    h.reply(std::string(200, 'x'));
    h.reply(std::string(300, 'y'));
    EXPECT_EQ(h.form.parsedresultText(), "incomplete");
    h.reply("PC0501;");

    // Sixty-four characters of the noise in front: the reply is lost but the store does not grow.
    EXPECT_EQ(h.form.parsedresultText(), std::string(64, 'y') + "PC0501;");
    EXPECT_EQ(h.form.txpwrText(), "");
    EXPECT_TRUE(h.dialogs.messages.empty()) << h.lastMessage();

    h.reply("PC0501;");
    EXPECT_EQ(h.form.txpwrText(), "50");
}

TEST(ReplyDisplay, ShowsThePointWhateverTheLocale) {
    const fakes::CommaLocale comma;
    if (!comma.active()) {
        GTEST_SKIP() << "no locale with a decimal comma can be had on this machine";
    }
    FormHarness h;
    h.start({{"port", "1"}});

    h.reply("PC0550;");
    EXPECT_EQ(h.form.txpwrText(), "5.5");
    EXPECT_EQ(h.txtTxPwr.content, " 5.5");
    EXPECT_EQ(h.slider.current, 6);
    h.reply("PC0051;");
    EXPECT_EQ(h.form.txpwrText(), "5");
    EXPECT_TRUE(h.dialogs.messages.empty()) << h.lastMessage();
}

} // namespace
} // namespace quorvel
