// Start-up from the settings store, and the Exit button.
#include "tests/fakes/CommaLocale.h"
#include "tests/fakes/FormHarness.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace quorvel {
namespace {

using fakes::FakeDialogs;
using fakes::FormHarness;
using Messages = std::vector<FakeDialogs::Message>;

const std::string kLoadPrefix = "VB6 runtime error (form_load): ";
const std::string kNoPort = "No COM port selected, please select a valid COM port.";
// The message stays as it always read; its detail says where a port is chosen.
const FakeDialogs::Message kNoPortBox = FakeDialogs::information(
    kNoPort, "Choose the radio's port in the Com Port menu: Com1 to Com16, or Connection\xE2\x80\xA6 to pick a serial "
             "device by its name or a network route (a serial server, rigctld or flrig).");
const std::vector<std::string> kLineOptions = {"RThreshold=1", "RTSEnable=false", "DTREnable=false"};

std::map<std::string, std::string> storedValues(const FormHarness& h) {
    std::map<std::string, std::string> stored;
    for (const auto& [path, value] : h.settings.values) {
        stored[path.substr(path.rfind('/') + 1)] = value;
    }
    return stored;
}

TEST(StartUp, EmptyStoreGivesTheDefaultsAndWritesBackPolling) {
    FormHarness h;
    std::string titleAtFirstMessage;
    h.dialogs.onMessage = [&] {
        if (titleAtFirstMessage.empty()) {
            titleAtFirstMessage = h.app.title;
        }
    };

    h.form.Form_Load();

    EXPECT_EQ(h.app.title, "Quorvel");
    EXPECT_EQ(titleAtFirstMessage, "Quorvel") << "the title comes before the first box";
    EXPECT_EQ(h.window.calls, (std::vector<std::string>{"top", "left"}));
    EXPECT_EQ(h.window.topTwips, 0);
    EXPECT_EQ(h.window.leftTwips, 0);
    EXPECT_EQ(h.shpPAEnabled.history, std::vector<Color>{kButtonFace});
    EXPECT_EQ(h.comm.log, kLineOptions) << "no port is opened";
    EXPECT_EQ(h.dialogs.messages, Messages{kNoPortBox});
    EXPECT_TRUE(h.tickedPorts().empty());
    EXPECT_EQ(storedValues(h), (std::map<std::string, std::string>{{"poll", "1"}, {"polltime", "500"}}));
    EXPECT_TRUE(h.mnuPoll.checked);
    EXPECT_TRUE(h.tmrPoll.enabled());
    EXPECT_EQ(h.tmrPoll.interval(), std::chrono::milliseconds{500});
    EXPECT_TRUE(h.tmrK3Con.enabled());
    EXPECT_EQ(h.tmrK3Con.interval(), std::chrono::milliseconds{11000});
    EXPECT_EQ(h.form.portText(), "0");
    EXPECT_EQ(h.form.pollText(), "1");
    EXPECT_EQ(h.form.polltimeText(), "500");
    EXPECT_EQ(h.form.txpwrText(), "");
    EXPECT_EQ(h.form.parsedresultText(), "");
    EXPECT_EQ(h.txtTxPwr.content, "");
    EXPECT_EQ(h.slider.calls, std::vector<std::string>{"Value=0"});
    EXPECT_TRUE(h.form.hasKeyFilter());
}

TEST(StartUp, StoredPortDecidesWhatOpens) {
    struct Case {
        std::string port;
        std::vector<std::string> commLog; // after the line options
        std::vector<int> ticked;
        Messages messages;
        std::string storedPort;
    };
    const std::vector<std::string> opens = {"CommPort=5", "Settings=38400,N,8,1", "open"};
    const Case cases[] = {
        {"0", {}, {}, {kNoPortBox}, "0"},
        {" 0", {}, {}, {kNoPortBox}, " 0"},
        {"5", opens, {5}, {}, "5"},
        {"05", opens, {5}, {}, "05"},
        {"20", {"CommPort=20", "Settings=38400,N,8,1", "open"}, {}, {}, "20"},
        // SetPort reports its own failures and start-up goes on.
        {"9",
         {"CommPort=9", "Settings=38400,N,8,1", "open"},
         {},
         {FakeDialogs::information("Invalid COM port selected, please select a valid COM port.",
                                   "Invalid port number: Com9 maps to no device")},
         "0"},
        {"8",
         {"CommPort=8", "Settings=38400,N,8,1", "open"},
         {8},
         {FakeDialogs::information("VB6 runtime error (SetPort(port)): 8005 - Port already open")},
         "8"},
    };
    for (const Case& c : cases) {
        FormHarness h;
        h.settings.set("port", c.port);
        h.comm.invalidPorts = {9};
        h.comm.busyPorts = {8};

        h.form.Form_Load();

        std::vector<std::string> log = kLineOptions;
        log.insert(log.end(), c.commLog.begin(), c.commLog.end());
        EXPECT_EQ(h.comm.log, log) << '"' << c.port << '"';
        EXPECT_EQ(h.tickedPorts(), c.ticked) << '"' << c.port << '"';
        EXPECT_EQ(h.dialogs.messages, c.messages) << '"' << c.port << '"';
        EXPECT_EQ(h.settings.get("port"), c.storedPort) << '"' << c.port << '"';
        EXPECT_TRUE(h.form.hasKeyFilter()) << '"' << c.port << '"';
        EXPECT_EQ(h.settings.get("polltime"), "500") << '"' << c.port << '"';
    }
}

TEST(StartUp, FailureWhileForgettingARefusedPortEndsStartUp) {
    // SetPort reports its own failures, but one raised while it forgets a refused port is its
    // caller's, here start-up's.
    FormHarness h;
    h.settings.set("port", "9");
    h.comm.invalidPorts = {9};
    h.settings.refusedKeys = {"port"};

    h.form.Form_Load();

    EXPECT_EQ(h.dialogs.messages, Messages{FakeDialogs::information(kLoadPrefix + "75 - Path/File access error")});
    EXPECT_EQ(h.settings.get("port"), "9");
    EXPECT_EQ(h.settings.get("poll"), "<absent>");
    EXPECT_FALSE(h.form.hasKeyFilter());
}

TEST(StartUp, StoredPollingSwitchIsComparedAsText) {
    struct Case {
        std::string poll;
        bool ticked, timersOn;
    };
    // Anything but "0" or "1" leaves the timers as the window was designed: running.
    for (const Case& c : {Case{"1", true, true}, Case{"0", false, false}, Case{"2", false, true}, Case{"", false, true},
                          Case{" 1", false, true}}) {
        FormHarness h;
        h.settings.set("poll", c.poll);

        h.form.Form_Load();

        EXPECT_EQ(h.mnuPoll.checked, c.ticked) << '"' << c.poll << '"';
        EXPECT_EQ(h.tmrPoll.enabled(), c.timersOn) << '"' << c.poll << '"';
        EXPECT_EQ(h.tmrK3Con.enabled(), c.timersOn) << '"' << c.poll << '"';
        EXPECT_EQ(h.settings.get("poll"), c.poll) << "written back as read";
        EXPECT_EQ(h.form.pollText(), c.poll);
        EXPECT_TRUE(h.form.hasKeyFilter());
    }
}

TEST(StartUp, StoredIntervalIsAppliedWithoutARangeTest) {
    struct Case {
        std::string polltime;
        long long interval; // -1: start-up ends with the report
        std::string report;
    };
    const Case cases[] = {
        {"500", 500, ""},
        {"100", 100, ""},
        {"20000", 20000, ""},
        {"750.5", 750, ""},
        {"1000.6", 1001, ""},
        {" 800 ", 800, ""},
        {"65535", 65535, ""},
        {"0", 0, ""},
        {"65536", -1, "380 - Invalid property value"},
        {"70000", -1, "380 - Invalid property value"},
        {"-1", -1, "380 - Invalid property value"},
        {"1e10", -1, "6 - Overflow"},
        {"abc", -1, "13 - Type mismatch"},
        {"", -1, "13 - Type mismatch"},
    };
    for (const Case& c : cases) {
        FormHarness h;
        h.settings.set("port", "1");
        h.settings.set("polltime", c.polltime);

        h.form.Form_Load();

        EXPECT_EQ(h.settings.get("polltime"), c.polltime) << "written back before it is used";
        EXPECT_EQ(h.form.polltimeText(), c.polltime);
        if (c.interval >= 0) {
            EXPECT_TRUE(h.dialogs.messages.empty()) << c.polltime << ": " << h.lastMessage();
            EXPECT_EQ(h.tmrPoll.interval(), std::chrono::milliseconds{c.interval}) << c.polltime;
            EXPECT_EQ(h.tmrPoll.ticking(), c.interval > 0) << c.polltime;
            EXPECT_TRUE(h.form.hasKeyFilter()) << c.polltime;
        } else {
            EXPECT_EQ(h.dialogs.messages, Messages{FakeDialogs::information(kLoadPrefix + c.report)}) << c.polltime;
            EXPECT_EQ(h.tmrPoll.interval(), std::chrono::milliseconds{500}) << c.polltime;
            EXPECT_FALSE(h.form.hasKeyFilter()) << c.polltime;
            EXPECT_TRUE(h.slider.calls.empty()) << "the power display is not reset";
            EXPECT_TRUE(h.comm.open) << "what was done before stays done";
        }
    }
}

TEST(StartUp, UnreadableStoredValueEndsStartUpAtItsStep) {
    struct Case {
        std::string key, value;
        std::vector<std::string> windowCalls;
        bool lineOptionsSet;
        bool pollingRead;
    };
    const Case cases[] = {
        {"FormTop", "abc", {}, false, false},           {"FormTop", "", {}, false, false},
        {"FormLeft", "1,5", {"top"}, false, false},     {"FormTop", "1e39", {}, false, false},
        {"port", "com1", {"top", "left"}, true, false},
    };
    for (const Case& c : cases) {
        FormHarness h;
        h.settings.set("port", "1");
        h.settings.set("poll", "0");
        h.settings.set(c.key, c.value);

        h.form.Form_Load();

        const std::string report = c.value == "1e39" ? "6 - Overflow" : "13 - Type mismatch";
        EXPECT_EQ(h.dialogs.messages, Messages{FakeDialogs::information(kLoadPrefix + report)}) << c.key;
        EXPECT_EQ(h.app.title, "Quorvel");
        EXPECT_EQ(h.window.calls, c.windowCalls) << c.key;
        EXPECT_EQ(h.comm.log, c.lineOptionsSet ? kLineOptions : std::vector<std::string>{}) << c.key;
        EXPECT_FALSE(h.comm.open) << c.key;
        EXPECT_TRUE(h.settings.saves.empty()) << c.key;
        // The timers keep running at their design intervals although "poll" says off.
        EXPECT_TRUE(h.tmrPoll.enabled()) << c.key;
        EXPECT_TRUE(h.tmrK3Con.enabled()) << c.key;
        EXPECT_EQ(h.tmrPoll.interval(), std::chrono::milliseconds{500}) << c.key;
        EXPECT_FALSE(h.mnuPoll.checked) << c.key;
        EXPECT_FALSE(h.form.hasKeyFilter()) << c.key;
    }
}

TEST(StartUp, PlacesTheWindowWhereTheStoreSaysWithoutAScreenTest) {
    FormHarness h;
    h.settings.set("FormTop", "1440");
    h.settings.set("FormLeft", " -15.5 ");

    h.form.Form_Load();

    EXPECT_EQ(h.window.topTwips, 1440);
    EXPECT_EQ(h.window.leftTwips, -15.5);
}

TEST(Exit, ClosesAnOpenPortSavesThePositionAndEnds) {
    for (const std::string port : {"1", "0"}) {
        FormHarness h;
        h.start({{"port", port}});
        h.window.leftTwips = 1935;
        h.window.topTwips = 7.5;

        h.form.cmdExit_Click();

        EXPECT_EQ(h.comm.log, port == "1" ? std::vector<std::string>{"close"} : std::vector<std::string>{}) << port;
        EXPECT_FALSE(h.comm.open);
        EXPECT_EQ(h.settings.saves, (std::vector<std::string>{"FormLeft=1935", "FormTop=7.5"})) << port;
        EXPECT_TRUE(h.window.ended) << port;
        EXPECT_TRUE(h.dialogs.messages.empty()) << h.lastMessage();
    }
}

TEST(Exit, RefusingStoreKeepsTheProgramRunning) {
    FormHarness h;
    h.start({{"port", "1"}});
    h.window.leftTwips = 1234;
    h.settings.refusedKeys = {"FormTop"};

    h.form.cmdExit_Click();

    EXPECT_EQ(h.dialogs.messages,
              Messages{FakeDialogs::information("VB6 runtime error (exit): 75 - Path/File access error")});
    EXPECT_FALSE(h.window.ended);
    EXPECT_FALSE(h.comm.open) << "closed before the failure, and not reopened";
    EXPECT_EQ(h.settings.get("FormLeft"), "1234") << "a position already saved stays saved";
}

TEST(Exit, NextStartReturnsToThePositionSavedAtExit) {
    FormHarness first;
    first.start();
    first.window.leftTwips = 2880;
    first.window.topTwips = 1500.5;
    first.form.cmdExit_Click();

    FormHarness second;
    second.settings.values = first.settings.values;
    second.form.Form_Load();

    EXPECT_EQ(second.window.leftTwips, 2880);
    EXPECT_EQ(second.window.topTwips, 1500.5);
}

TEST(Exit, SavesThePositionWithAPointWhateverTheLocale) {
    const fakes::CommaLocale comma;
    if (!comma.active()) {
        GTEST_SKIP() << "no locale with a decimal comma can be had on this machine";
    }
    FormHarness h;
    h.start({{"FormTop", "22.5"}});
    EXPECT_EQ(h.window.topTwips, 22.5);
    h.window.leftTwips = 7.5;

    h.form.cmdExit_Click();

    EXPECT_EQ(h.settings.get("FormLeft"), "7.5");
    EXPECT_EQ(h.settings.get("FormTop"), "22.5");
}

// The route the radio is reached by: the command line's for this run, else the stored one, else
// the Com port as before.
TEST(StartUpRoute, RouteDecidesWhatOpensWithoutABox) {
    struct Case {
        const char* name;
        std::string stored;  // "radio" in the settings; "<absent>" for none
        std::string thisRun; // --radio
        std::string opened;  // the route opened; empty: Com5
        Messages messages;
    };
    const std::string refusedStored =
        "VB6 runtime error (form_load): 380 - Invalid property value: the setting radio=\"com3\" is not a route to the "
        "radio (tcp:HOST:PORT, rigctld:HOST:PORT, flrig:HOST:PORT or a device path such as /dev/ttyUSB0); the Com "
        "port is used";
    const Case cases[] = {
        {"no route", "<absent>", "", "", {}},
        {"empty route", "", "", "", {}},
        {"stored route", "rigctld:127.0.0.1:4532", "", "rigctld:127.0.0.1:4532", {}},
        {"device path", "/dev/ttyUSB0", "", "/dev/ttyUSB0", {}},
        {"this run's route", "flrig:localhost:12345", "tcp:[::1]:4001", "tcp:[::1]:4001", {}},
        {"this run's route without a stored one", "<absent>", "tcp:radio:4001", "tcp:radio:4001", {}},
        {"stored text that is no route", "com3", "", "", {FakeDialogs::information(refusedStored)}},
    };
    for (const Case& c : cases) {
        FormHarness h;
        h.settings.set("port", "5");
        if (c.stored != "<absent>") {
            h.settings.set("radio", c.stored);
        }
        if (!c.thisRun.empty()) {
            h.form.useRadioForThisRun(c.thisRun);
        }

        h.form.Form_Load();

        EXPECT_EQ(h.dialogs.messages, c.messages) << c.name;
        EXPECT_EQ(h.comm.openedRoutes,
                  c.opened.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.opened})
            << c.name;
        EXPECT_EQ(h.comm.openedPorts, c.opened.empty() ? std::vector<std::int16_t>{5} : std::vector<std::int16_t>{})
            << c.name;
        EXPECT_EQ(h.tickedPorts(), c.opened.empty() ? std::vector<int>{5} : std::vector<int>{}) << c.name;
        EXPECT_EQ(h.settings.get("radio"), c.stored) << c.name << ": the route is never saved at start-up";
        EXPECT_EQ(h.settings.get("port"), "5") << c.name;
        EXPECT_TRUE(h.form.hasKeyFilter()) << c.name;
    }
}

TEST(StartUpRoute, RouteWithoutAPortShowsNoPortBoxAndARefusedOneItsReport) {
    FormHarness h;
    h.form.useRadioForThisRun("/dev/ttyUSB7");
    h.comm.invalidRoutes = {"/dev/ttyUSB7"};

    h.form.Form_Load();

    EXPECT_EQ(h.dialogs.messages, Messages{FakeDialogs::information("VB6 runtime error (SetPort(port)): 8002 - Invalid "
                                                                    "port number: /dev/ttyUSB7 does not exist")});
    EXPECT_EQ(h.settings.get("port"), "<absent>") << "a refused route forgets no port";
    EXPECT_EQ(h.settings.get("poll"), "1") << "start-up goes on";
}

} // namespace
} // namespace quorvel
