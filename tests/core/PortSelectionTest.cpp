// Choosing the serial port: the sixteen Com items and the procedure that opens a port.
#include "tests/fakes/FormHarness.h"
#include "tests/fakes/TempFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
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

// The Connection item with a port folder of its own and two adapters plugged in.
struct ConnectionHarness : FormHarness {
    fakes::TempFolder temp;
    const std::string ports = temp / "ports";
    const std::string adapterA = "/dev/serial/by-id/usb-A_Adapter-if00-port0";
    const std::string adapterB = "/dev/serial/by-id/usb-B_Adapter-if00-port0";

    ConnectionHarness() {
        portFolder = PortFolder(PortSearchDirs{ports, temp / "dosdevices"});
        serialDevices.present = {
            {adapterA, "A Adapter (ttyUSB0)"}, {adapterB, "B Adapter (ttyUSB1)"}, {"/dev/ttyS0", "/dev/ttyS0"}};
    }

    void pick(const std::string& device, int comNumber = 0) {
        connectionDialog.choices.push_back({ConnectionChoice::Kind::Device, device, comNumber, {}, {}});
        form.mnuConnection_Click();
    }
    void linkAt(int n, const std::string& target) {
        std::filesystem::create_directories(ports);
        std::filesystem::create_symlink(target, ports + "/com" + std::to_string(n));
    }
    std::string linkText(int n) const {
        std::error_code ec;
        return std::filesystem::read_symlink(ports + "/com" + std::to_string(n), ec).string();
    }
};

const std::string kConnectionPrefix = "VB6 runtime error (mnuConnection): ";

TEST(ConnectionDialog, OffersTheDevicesWhatEachComNumberLeadsToAndTheDeviceInUse) {
    ConnectionHarness h;
    h.linkAt(3, h.adapterB);
    h.start({{"port", "3"}});

    h.form.mnuConnection_Click(); // cancelled

    ASSERT_EQ(h.connectionDialog.offers.size(), 1U);
    const ConnectionOffer& offer = h.connectionDialog.offers.front();
    EXPECT_EQ(offer.devices, h.serialDevices.present);
    EXPECT_EQ(offer.comTargets.at(0), "/dev/ttyS0") << "a real built-in port";
    EXPECT_EQ(offer.comTargets.at(2), h.adapterB);
    EXPECT_EQ(offer.comTargets.at(1), "");
    EXPECT_EQ(offer.current.kind, ConnectionChoice::Kind::Device);
    EXPECT_EQ(offer.current.device, h.adapterB);
    // Cancel changes nothing.
    EXPECT_TRUE(h.comm.log.empty());
    EXPECT_TRUE(h.settings.saves.empty());
    EXPECT_TRUE(h.dialogs.messages.empty()) << h.lastMessage();
}

TEST(ConnectionDialog, ANetworkRouteIsChosenAsTypedAndTheDialogStartsOnIt) {
    using Kind = ConnectionChoice::Kind;
    struct Case {
        ConnectionChoice choice;
        std::string route;  // what reaches the serial component
        std::string report; // empty: none
    };
    const Case cases[] = {
        {{Kind::Tcp, {}, 0, "shack-pi", "4001"}, "tcp:shack-pi:4001", ""},
        {{Kind::Rigctld, {}, 0, "::1", "4532"}, "rigctld:[::1]:4532", ""},
        {{Kind::Flrig, {}, 0, "127.0.0.1", "12345"}, "flrig:127.0.0.1:12345", ""},
        {{Kind::Tcp, {}, 0, "127.0.0.1", ""},
         "",
         "VB6 runtime error (chooseRadio): 380 - Invalid property value: \"tcp:127.0.0.1:\" is not a route to the "
         "radio; use tcp:HOST:PORT, rigctld:HOST:PORT, flrig:HOST:PORT or a device path such as /dev/ttyUSB0"},
    };
    for (const Case& c : cases) {
        ConnectionHarness h;
        h.start({{"port", "5"}});
        h.connectionDialog.choices.push_back(c.choice);

        h.form.mnuConnection_Click();

        EXPECT_EQ(h.comm.openedRoutes,
                  c.route.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.route});
        EXPECT_EQ(h.settings.get("radio"), c.route.empty() ? "<absent>" : c.route);
        EXPECT_EQ(h.settings.get("port"), "5") << "going back to the Com port stays one click";
        EXPECT_EQ(h.lastMessage(), c.report.empty() ? "<none>" : c.report);
        EXPECT_TRUE(std::filesystem::is_empty(h.temp.path())) << "no port link for a route";
        if (c.route.empty()) {
            continue;
        }
        // Opened again, the dialog starts on the route in use.
        h.form.mnuConnection_Click();
        EXPECT_EQ(h.connectionDialog.offers.back().current, c.choice) << c.route;
    }
}

TEST(ConnectionDialog, APickedDeviceBecomesAComNumberAndIsOpenedAsOne) {
    struct Case {
        const char* what;
        int asked;    // 0: the first free number
        int expected; // the Com number opened
    };
    const Case cases[] = {
        {"first free: Com1 is the real ttyS0, Com2 is taken", 0, 4},
        {"a free number asked for", 9, 9},
        {"the same device asked again at its number", 2, 2},
    };
    for (const Case& c : cases) {
        ConnectionHarness h;
        h.linkAt(2, h.adapterB);
        h.linkAt(3, "/dev/serial/by-id/usb-unplugged"); // taken while its adapter is away
        h.start();

        h.pick(c.asked == 2 ? h.adapterB : h.adapterA, c.asked);

        const std::string n = std::to_string(c.expected);
        EXPECT_EQ(h.linkText(c.expected), c.asked == 2 ? h.adapterB : h.adapterA) << c.what;
        EXPECT_EQ(h.comm.log, (std::vector<std::string>{"CommPort=" + n, "Settings=38400,N,8,1", "open"})) << c.what;
        EXPECT_EQ(h.tickedPorts(), std::vector<int>{c.expected}) << c.what;
        EXPECT_EQ(h.settings.get("port"), n) << c.what;
        EXPECT_TRUE(h.dialogs.questions.empty()) << c.what;
        EXPECT_TRUE(h.dialogs.messages.empty()) << c.what << ": " << h.lastMessage();
    }
}

TEST(ConnectionDialog, ADeviceThatHasANumberKeepsIt) {
    ConnectionHarness h;
    h.linkAt(5, h.adapterA);
    h.start();

    h.pick(h.adapterA);
    h.pick("/dev/ttyS0");

    EXPECT_EQ(h.comm.openedPorts, (std::vector<std::int16_t>{5, 1}));
    EXPECT_EQ(h.linkText(1), "") << "the built-in port needs no link";
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(h.ports), std::filesystem::directory_iterator()), 1);
}

TEST(ConnectionDialog, ReplacingAnotherDevicesLinkIsAskedFirst) {
    for (const bool yes : {false, true}) {
        ConnectionHarness h;
        h.linkAt(4, h.adapterB);
        h.start();
        h.dialogs.yesNoAnswers = {yes};

        h.pick(h.adapterA, 4);

        ASSERT_EQ(h.dialogs.questions.size(), 1U);
        EXPECT_EQ(h.dialogs.questions.front().prompt,
                  "Com4 leads to " + h.adapterB + ". Make it lead to " + h.adapterA + " instead?");
        EXPECT_EQ(h.linkText(4), yes ? h.adapterA : h.adapterB);
        EXPECT_EQ(h.comm.openedPorts, yes ? std::vector<std::int16_t>{4} : std::vector<std::int16_t>{}) << yes;
        EXPECT_TRUE(h.dialogs.messages.empty()) << h.lastMessage();
    }
}

TEST(ConnectionDialog, RefusalsAreTheHandlersReportAndChangeNothing) {
    struct Case {
        const char* what;
        int asked;
        int error;
    };
    const Case cases[] = {
        {"a file that is no link at the number asked for", 6, 58},
        {"every number taken", 0, 67},
    };
    for (const Case& c : cases) {
        ConnectionHarness h;
        h.start({{"port", "2"}});
        std::filesystem::create_directories(h.ports);
        std::ofstream(h.ports + "/com6") << "keep";
        for (int n = 1; n <= 16; ++n) {
            if (n != 6 && c.asked == 0) {
                h.linkAt(n, "/dev/null");
            }
        }

        h.pick(h.adapterA, c.asked);

        ASSERT_EQ(h.dialogs.messages.size(), 1U) << c.what;
        EXPECT_EQ(h.lastMessage().rfind(kConnectionPrefix + std::to_string(c.error) + " - ", 0), 0U) << h.lastMessage();
        EXPECT_TRUE(std::filesystem::is_regular_file(h.ports + "/com6")) << c.what;
        EXPECT_TRUE(h.comm.log.empty()) << c.what;
        EXPECT_TRUE(h.settings.saves.empty()) << c.what;
    }
}

} // namespace
} // namespace quorvel
