// Choosing the serial port: the sixteen Com items and the procedure that opens a port.
#include "tests/fakes/FormHarness.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quorvel {
namespace {

using fakes::FakeDialogs;
using fakes::FormHarness;
using Messages = std::vector<FakeDialogs::Message>;

using Handler = void (Form1::*)();
constexpr Handler kItems[16] = {
    &Form1::mnuCom1_Click,  &Form1::mnuCom2_Click,  &Form1::mnuCom3_Click,  &Form1::mnuCom4_Click,
    &Form1::mnuCom5_Click,  &Form1::mnuCom6_Click,  &Form1::mnuCom7_Click,  &Form1::mnuCom8_Click,
    &Form1::mnuCom9_Click,  &Form1::mnuCom10_Click, &Form1::mnuCom11_Click, &Form1::mnuCom12_Click,
    &Form1::mnuCom13_Click, &Form1::mnuCom14_Click, &Form1::mnuCom15_Click, &Form1::mnuCom16_Click,
};

const std::string kSetPortPrefix = "VB6 runtime error (SetPort(port)): ";
const std::string kInvalidPort = "Invalid COM port selected, please select a valid COM port.";

void choose(FormHarness& h, int n) {
    (h.form.*kItems[n - 1])();
}

// Com5 open and ticked, "5" stored: the state a refused choice has to be measured against.
void openComFive(FormHarness& h) {
    choose(h, 5);
    ASSERT_TRUE(h.comm.open);
    h.forget();
}

TEST(PortSelection, EachItemOpensItsPortAndTicksItAlone) {
    for (int n = 1; n <= 16; ++n) {
        FormHarness h;
        h.mnuCom.at(2).checked = true; // a stale tick from before

        choose(h, n);

        const std::string text = std::to_string(n);
        EXPECT_EQ(h.form.portText(), text);
        EXPECT_EQ(h.comm.log, (std::vector<std::string>{"CommPort=" + text, "Settings=38400,N,8,1", "open"}));
        EXPECT_TRUE(h.comm.open) << n;
        EXPECT_EQ(h.tickedPorts(), std::vector<int>{n});
        EXPECT_EQ(h.settings.saves, std::vector<std::string>{"port=" + text});
        EXPECT_TRUE(h.dialogs.messages.empty()) << h.lastMessage();
    }
}

TEST(PortSelection, ChoosingAgainClosesBeforeReopening) {
    for (const int next : {12, 5}) {
        FormHarness h;
        openComFive(h);

        choose(h, next);

        const std::string text = std::to_string(next);
        EXPECT_EQ(h.comm.log, (std::vector<std::string>{"close", "CommPort=" + text, "Settings=38400,N,8,1", "open"}));
        EXPECT_EQ(h.tickedPorts(), std::vector<int>{next});
        EXPECT_EQ(h.settings.get("port"), text);
    }
}

TEST(PortSelection, TicksByNumericValueAndOpensByLeadingNumber) {
    struct Case {
        std::string port;
        std::vector<int> ticked;
        int commPort;
    };
    const Case cases[] = {
        {"07", {7}, 7}, {" 3", {3}, 3}, {"16", {16}, 16}, {"20", {}, 20},
        {"17", {}, 17}, {"2.5", {}, 2}, {"3.5", {}, 4},   {"32767", {}, 32767},
    };
    for (const Case& c : cases) {
        FormHarness h;

        h.form.SetPort(c.port);

        EXPECT_EQ(h.tickedPorts(), c.ticked) << c.port;
        EXPECT_EQ(h.comm.openedPorts, std::vector<std::int16_t>{static_cast<std::int16_t>(c.commPort)}) << c.port;
        EXPECT_EQ(h.settings.get("port"), c.port) << "stored exactly as given";
        EXPECT_TRUE(h.dialogs.messages.empty()) << c.port << ": " << h.lastMessage();
    }
}

TEST(PortSelection, PortTheSystemDoesNotHaveIsForgotten) {
    FormHarness h;
    openComFive(h);
    h.comm.invalidPorts = {9};

    choose(h, 9);

    // The message is the same for every cause; the component's own account is its detail.
    EXPECT_EQ(h.dialogs.messages,
              Messages{FakeDialogs::information(kInvalidPort, "Invalid port number: Com9 maps to no device")});
    EXPECT_TRUE(h.tickedPorts().empty());
    EXPECT_FALSE(h.comm.open);
    EXPECT_EQ(h.settings.saves, std::vector<std::string>{"port=0"});
    EXPECT_EQ(h.form.portText(), "9");
}

TEST(PortSelection, OtherFailuresAreReportedAndRememberNothing) {
    struct Case {
        const char* name;
        std::string port;
        std::string report;
        std::vector<int> ticked;
    };
    const Case cases[] = {
        {"port busy", "9", kSetPortPrefix + "8005 - Port already open", {9}},
        {"number beyond 16 bits", "40000", kSetPortPrefix + "6 - Overflow", {}},
        {"number below 16 bits", "-32769", kSetPortPrefix + "6 - Overflow", {}},
        {"not a number", "com9", kSetPortPrefix + "13 - Type mismatch", {}},
    };
    for (const Case& c : cases) {
        FormHarness h;
        openComFive(h);
        h.comm.busyPorts = {9};

        h.form.SetPort(c.port);

        EXPECT_EQ(h.dialogs.messages, Messages{FakeDialogs::information(c.report)}) << c.name;
        EXPECT_EQ(h.tickedPorts(), c.ticked) << c.name;
        EXPECT_TRUE(h.settings.saves.empty()) << c.name;
        EXPECT_EQ(h.settings.get("port"), "5") << c.name;
        // The port closed on the way stays closed, except when the text failed before that step.
        EXPECT_EQ(h.comm.open, c.port == "com9") << c.name;
    }
}

TEST(PortSelection, RefusedSaveAfterOpeningIsSetPortsOwnReport) {
    FormHarness h;
    h.settings.refusedKeys = {"port"};

    choose(h, 3);

    EXPECT_EQ(h.dialogs.messages, Messages{FakeDialogs::information(kSetPortPrefix + "75 - Path/File access error")});
    EXPECT_TRUE(h.comm.open);
    EXPECT_EQ(h.tickedPorts(), std::vector<int>{3});
}

TEST(PortSelection, FailureWhileForgettingARefusedPortReachesTheItemsReport) {
    for (int n = 1; n <= 16; ++n) {
        FormHarness h;
        h.comm.invalidPorts = {static_cast<std::int16_t>(n)};
        h.settings.refusedKeys = {"port"};

        choose(h, n);

        // The save of "0" fails before the invalid-port message would be shown.
        EXPECT_EQ(h.dialogs.messages, Messages{FakeDialogs::information("VB6 runtime error (com" + std::to_string(n) +
                                                                        "_click): 75 - Path/File access error")});
        EXPECT_TRUE(h.tickedPorts().empty()) << n;
        EXPECT_FALSE(h.comm.open) << n;
    }
}

// Choosing a network route (the connection dialog) and going back to a Com item.
TEST(RouteSelection, ChosenRouteOpensIsSavedAndLeavesThePortAsItWas) {
    FormHarness h;
    openComFive(h);

    h.form.chooseRadio("tcp:shack-pi:4001");

    EXPECT_EQ(h.comm.log,
              (std::vector<std::string>{"close", "Route=tcp:shack-pi:4001", "Settings=38400,N,8,1", "open"}));
    EXPECT_EQ(h.comm.openedRoutes, std::vector<std::string>{"tcp:shack-pi:4001"});
    EXPECT_TRUE(h.tickedPorts().empty()) << "no Com item stands for a route";
    EXPECT_EQ(h.settings.saves, std::vector<std::string>{"radio=tcp:shack-pi:4001"});
    EXPECT_EQ(h.settings.get("port"), "5");
    EXPECT_EQ(h.form.radioText(), "tcp:shack-pi:4001");
    EXPECT_TRUE(h.dialogs.messages.empty()) << h.lastMessage();

    // Back to the Com port is one click, and the route is forgotten.
    h.forget();
    choose(h, 5);

    EXPECT_EQ(h.comm.log, (std::vector<std::string>{"close", "Route=", "CommPort=5", "Settings=38400,N,8,1", "open"}));
    EXPECT_EQ(h.tickedPorts(), std::vector<int>{5});
    EXPECT_EQ(h.settings.saves, (std::vector<std::string>{"port=5", "radio="}));
    EXPECT_EQ(h.form.radioText(), "");
}

TEST(RouteSelection, RefusedRoutesChangeNothingTheyShouldNot) {
    struct Case {
        const char* name;
        std::string route;
        std::string report;
        std::vector<std::string> commLog;
    };
    const Case cases[] = {
        {"no route",
         "tcp:shack-pi",
         "VB6 runtime error (chooseRadio): 380 - Invalid property value: \"tcp:shack-pi\" is not a route to the radio; "
         "use tcp:HOST:PORT, rigctld:HOST:PORT, flrig:HOST:PORT or a device path such as /dev/ttyUSB0",
         {}},
        {"device absent",
         "/dev/ttyUSB7",
         kSetPortPrefix + "8002 - Invalid port number: /dev/ttyUSB7 does not exist",
         {"close", "Route=/dev/ttyUSB7", "Settings=38400,N,8,1", "open"}},
    };
    for (const Case& c : cases) {
        FormHarness h;
        openComFive(h);
        h.comm.invalidRoutes = {"/dev/ttyUSB7"};

        h.form.chooseRadio(c.route);

        EXPECT_EQ(h.dialogs.messages, Messages{FakeDialogs::information(c.report)}) << c.name;
        EXPECT_EQ(h.comm.log, c.commLog) << c.name;
        EXPECT_TRUE(h.settings.saves.empty()) << c.name << ": neither the route nor the port is saved";
        EXPECT_EQ(h.settings.get("port"), "5") << c.name;
    }
}

TEST(RouteSelection, ComItemWithoutAStoredRouteWritesNoRouteKey) {
    FormHarness h;
    h.settings.set("radio", "");

    choose(h, 2);
    h.settings.values.erase("Quorvel/settings/radio");
    choose(h, 3);

    EXPECT_EQ(h.settings.saves, (std::vector<std::string>{"port=2", "port=3"}));
    EXPECT_EQ(h.settings.get("radio"), "<absent>");
}

} // namespace
} // namespace quorvel
