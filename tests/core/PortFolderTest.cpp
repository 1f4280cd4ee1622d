// Putting a device behind a Com number in the port folder, and the list of devices to pick from.
#include "link/PortFolder.h"
#include "link/RunTimeError.h"
#include "link/SerialDevices.h"
#include "tests/fakes/TempFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace quorvel {
namespace {

namespace fs = std::filesystem;
using fakes::TempFolder;

// A port folder and a wine COM mapping inside a temporary folder; neither exists until made.
struct Folders {
    TempFolder temp;
    PortSearchDirs dirs{temp / "ports", temp / "dosdevices"};
    PortFolder folder{dirs};

    void linkAt(const std::string& dir, int n, const std::string& target) {
        fs::create_directories(dir);
        fs::create_symlink(target, dir + "/com" + std::to_string(n));
    }
    void fileAt(const std::string& dir, int n, const std::string& content) {
        fs::create_directories(dir);
        std::ofstream(dir + "/com" + std::to_string(n)) << content;
    }
    std::string linkText(int n) const {
        return fs::read_symlink(dirs.mappingDir + "/com" + std::to_string(n)).string();
    }
};

int errorOf(const std::function<void()>& call) {
    try {
        call();
    } catch (const RunTimeError& e) {
        return e.number();
    }
    return 0;
}

TEST(PortFolder, FirstFreeNumberSkipsEveryNumberThatLeadsSomewhere) {
    Folders f;
    EXPECT_EQ(f.folder.firstFree({}), 1) << "no folder yet";

    f.linkAt(f.dirs.mappingDir, 1, "/dev/null");
    f.linkAt(f.dirs.mappingDir, 2, "/dev/serial/by-id/gone"); // an adapter unplugged for now
    f.fileAt(f.dirs.mappingDir, 3, "not a link");
    f.linkAt(f.dirs.wineDosDevices, 4, "/dev/ttyUSB9");
    const std::vector<std::string> realPorts = {"/dev/ttyS4", "/dev/ttyUSB0"}; // Com5's built-in port

    EXPECT_EQ(f.folder.firstFree(realPorts), 6);
    EXPECT_EQ(f.folder.firstFree({}), 5) << "ttyS4 counts only when it is a real port";
    EXPECT_EQ(f.folder.leadsTo(1, realPorts), "/dev/null");
    EXPECT_EQ(f.folder.leadsTo(2, realPorts), "/dev/serial/by-id/gone");
    EXPECT_EQ(f.folder.leadsTo(3, realPorts), "not a link");
    EXPECT_EQ(f.folder.leadsTo(4, realPorts), "/dev/ttyUSB9");
    EXPECT_EQ(f.folder.leadsTo(5, realPorts), "/dev/ttyS4");
    EXPECT_EQ(f.folder.leadsTo(6, realPorts), "");
}

TEST(PortFolder, NoFreeNumberIsRefusedByNumber) {
    Folders f;
    for (int n = 1; n <= 16; ++n) {
        f.linkAt(f.dirs.mappingDir, n, "/dev/null");
    }
    EXPECT_EQ(errorOf([&] { f.folder.firstFree({}); }), err::kTooManyFiles);
}

TEST(PortFolder, FindsTheNumberThatReachesADeviceByAnyName) {
    Folders f;
    f.linkAt(f.dirs.mappingDir, 3, "/dev/zero");
    f.linkAt(f.dirs.mappingDir, 5, "/dev/null");
    fs::create_symlink("/dev/null", f.temp / "by-id-name");

    EXPECT_EQ(f.folder.numberOf("/dev/null", {}), 5);
    EXPECT_EQ(f.folder.numberOf(f.temp / "by-id-name", {}), 5) << "another name for the same device";
    EXPECT_EQ(f.folder.numberOf("/dev/ttyS1", {"/dev/ttyS1"}), 2) << "a real built-in port is its own number";
    EXPECT_EQ(f.folder.numberOf("/dev/ttyS1", {}), std::nullopt);
    EXPECT_EQ(f.folder.numberOf("/dev/random", {}), std::nullopt);
}

TEST(PortFolder, MakesTheFolderAndTheLink) {
    Folders f;
    f.folder.link(7, "/dev/serial/by-id/usb-adapter");
    EXPECT_EQ(f.linkText(7), "/dev/serial/by-id/usb-adapter") << "the name as given, so it survives re-plugging";
    EXPECT_EQ(std::distance(fs::directory_iterator(f.dirs.mappingDir), fs::directory_iterator()), 1)
        << "nothing left behind";
}

TEST(PortFolder, ReplacesALinkButNeverAnythingElse) {
    Folders f;
    f.linkAt(f.dirs.mappingDir, 2, "/dev/zero");
    f.fileAt(f.dirs.mappingDir, 3, "keep me");
    fs::create_directories(f.dirs.mappingDir + "/com4");

    EXPECT_TRUE(f.folder.replaces(2, "/dev/null"));
    EXPECT_FALSE(f.folder.replaces(2, "/dev/zero")) << "the same link";
    EXPECT_FALSE(f.folder.replaces(3, "/dev/null")) << "a file is refused, not replaced";
    EXPECT_FALSE(f.folder.replaces(9, "/dev/null")) << "nothing there";

    f.folder.link(2, "/dev/null");
    EXPECT_EQ(f.linkText(2), "/dev/null");

    EXPECT_EQ(errorOf([&] { f.folder.link(3, "/dev/null"); }), err::kFileAlreadyExists);
    std::string content;
    std::getline(std::ifstream(f.dirs.mappingDir + "/com3"), content);
    EXPECT_EQ(content, "keep me");
    EXPECT_EQ(errorOf([&] { f.folder.link(4, "/dev/null"); }), err::kFileAlreadyExists);
    EXPECT_TRUE(fs::is_directory(f.dirs.mappingDir + "/com4"));
}

TEST(PortFolder, AFolderThatCannotBeMadeIsAFileAccessError) {
    Folders f;
    std::ofstream(f.temp / "blocked") << "a file where a folder should go";
    const PortFolder blocked(PortSearchDirs{f.temp / "blocked/ports", ""});
    const PortFolder unknown(PortSearchDirs{});

    EXPECT_EQ(errorOf([&] { blocked.link(1, "/dev/null"); }), err::kFileAccess);
    EXPECT_EQ(errorOf([&] { unknown.link(1, "/dev/null"); }), err::kFileAccess);
    EXPECT_EQ(errorOf([&] { f.folder.link(17, "/dev/null"); }), err::kInvalidPropertyValue);
    EXPECT_EQ(errorOf([&] { f.folder.link(0, "/dev/null"); }), err::kInvalidPropertyValue);
}

TEST(SerialDevices, ProductTextFromAByIdName) {
    const std::pair<std::string, std::string> cases[] = {
        {"usb-FTDI_FT232R_USB_UART_A10K3XYZ-if00-port0", "FTDI FT232R USB UART A10K3XYZ"},
        {"usb-Silicon_Labs_CP2102_USB_to_UART_Bridge_Controller_0001-if00-port0",
         "Silicon Labs CP2102 USB to UART Bridge Controller 0001"},
        {"usb-1a86_USB_Serial-if00-port0", "1a86 USB Serial"},
        {"usb-Arduino__www.arduino.cc__0043_7563-if00", "Arduino  www.arduino.cc  0043 7563"},
        {"usb-Prolific_Technology_Inc._USB-Serial_Controller-if0a", "Prolific Technology Inc. USB-Serial Controller"},
        {"usb-Maker_Radio-ifzz", "Maker Radio-ifzz"}, // no interface number after all
        {"pci-Serial", "Serial"},
        {"Just_A_Name", "Just A Name"},
    };
    for (const auto& [name, product] : cases) {
        EXPECT_EQ(byIdProductText(name), product) << name;
    }
}

TEST(SerialDevices, ByIdNamesFirstThenTheOtherPortsByKindAndNumber) {
    const std::vector<ByIdName> byId = {
        {"/dev/serial/by-id/usb-Z_Adapter-if00-port0", "/dev/ttyUSB1", ""},
        {"/dev/serial/by-id/usb-A_Adapter-if00-port0", "/dev/ttyUSB0", "A Adapter Pro"},
    };
    const std::vector<SystemSerialPort> others = {
        {"/dev/ttyS1", ""},
        {"/dev/ttyUSB10", "B Adapter"},
        {"/dev/ttyUSB0", "A Adapter Pro"},
        {"/dev/rfcomm0", ""},
        {"/dev/ttyS0", ""},
        {"/dev/ttyACM0", "Radio Interface"},
        {"/dev/ttyUSB2", "C Cable"},
        {"/dev/ttyS10", ""},
        {"/dev/ttyUSB1", ""},
        {"/dev/ttyS0", ""},
    };
    const std::vector<SerialDevice> expected = {
        {"/dev/serial/by-id/usb-A_Adapter-if00-port0", "A Adapter Pro (ttyUSB0) \u2014 usb-A_Adapter-if00-port0"},
        {"/dev/serial/by-id/usb-Z_Adapter-if00-port0", "Z Adapter (ttyUSB1) \u2014 usb-Z_Adapter-if00-port0"},
        {"/dev/ttyACM0", "/dev/ttyACM0 \u2014 Radio Interface"},
        {"/dev/ttyUSB2", "/dev/ttyUSB2 \u2014 C Cable"},
        {"/dev/ttyUSB10", "/dev/ttyUSB10 \u2014 B Adapter"},
        {"/dev/rfcomm0", "/dev/rfcomm0"},
        {"/dev/ttyS0", "/dev/ttyS0"},
        {"/dev/ttyS1", "/dev/ttyS1"},
        {"/dev/ttyS10", "/dev/ttyS10"},
    };
    EXPECT_EQ(offeredSerialDevices(byId, others), expected);
    EXPECT_TRUE(offeredSerialDevices({}, {}).empty());
}

} // namespace
} // namespace quorvel
