// The simulator's own logic: what the simulated radio answers, how the byte stream is cut into
// frames, its command line and where it may put its port link.
#include "sim/CatResponder.h"
#include "sim/ExchangeLog.h"
#include "sim/FrameReader.h"
#include "sim/PortLink.h"
#include "sim/SimOptions.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <unistd.h>
#include <vector>

namespace quorvel::sim {
namespace {

using namespace std::chrono_literals;

TEST(CatResponder, AnswersQueriesAndRefusesWhatTheRadioCannotTake) {
    struct Case {
        RadioPower before;
        std::string frame;
        std::optional<std::string> reply;
        RadioPower after;
    };
    const RadioPower fifty{50, 1};
    const Case cases[] = {
        {fifty, "PC;", "PC0501;", fifty},
        {{5, 0}, "PC;", "PC0050;", {5, 0}},
        {{120, 0}, "PC;", "PC1200;", {120, 0}},
        {{0, 1}, "PC;", "PC0001;", {0, 1}},
        // Set commands are taken silently.
        {fifty, "PC0550;", std::nullopt, {55, 0}},
        {fifty, "PC1200;", std::nullopt, {120, 0}},
        {fifty, "PC1101;", std::nullopt, {110, 1}},
        {fifty, "PC0000;", std::nullopt, {0, 0}},
        // Out of range, malformed, unknown commands: "?;" and the power stays.
        {fifty, "PC1210;", "?;", fifty},
        {fifty, "PC1111;", "?;", fifty},
        {fifty, "PC0502;", "?;", fifty},
        {fifty, "PC9.91;", "?;", fifty},
        {fifty, "PC 101;", "?;", fifty},
        {fifty, "PC05011;", "?;", fifty},
        {fifty, "PC051;", "?;", fifty},
        {fifty, "pc;", "?;", fifty},
        {fifty, "ZZ;", "?;", fifty},
        {fifty, ";", "?;", fifty},
        {fifty, "PC;;", "?;", fifty},
    };
    for (const Case& c : cases) {
        CatRadio radio(c.before);
        EXPECT_EQ(radio.answer(c.frame, Behaviour::Normal), c.reply) << c.frame;
        EXPECT_EQ(radio.power(), c.after) << c.frame;
    }
}

// What rigctld's K3 backend and flrig ask when they open the radio and in their polls, in their
// order: every query has the radio's answer, every set is taken quietly and read back.
TEST(CatResponder, AnswersWhatTheProgramsThatShareTheRadioAsk) {
    const std::pair<std::string, std::optional<std::string>> session[] = {
        // rigctld opening a K3
        {"ID;", "ID017;"},
        {"K22;", std::nullopt},
        {"OM;", "OM AP----------;"},
        {"K2;", "K22;"},
        {"K3;", "K30;"},
        {"RVM;", "RVM05.67;"},
        {"AI;", "AI0;"},
        {"AI0;", std::nullopt},
        {"FA;", "FA00014200000;"},
        {"FB;", "FB00014200000;"},
        {"IF;", "IF00014200000     +000000 0002000001 ;"},
        {"MD;", "MD2;"},
        {"BW;", "BW0270;"},
        {"PS;", "PS1;"},
        // flrig opening it and polling
        {"K31;", std::nullopt},
        {"SWT49;", std::nullopt},
        {"FW;", "FW02700;"},
        {"K20;", std::nullopt},
        {"FW;", "FW0270;"},
        {"FW0300;", std::nullopt},
        {"BW;", "BW0300;"},
        {"FW$;", "FW$0270;"},
        {"MD$3;", std::nullopt},
        {"MD$;", "MD$3;"},
        {"MD;", "MD2;"},
        {"IS;", "IS 1500;"},
        {"IS 0900;", std::nullopt},
        {"IS;", "IS 0900;"},
        {"FA00007030000;", std::nullopt},
        {"FT1;", std::nullopt},
        {"DT2;", std::nullopt},
        // split (FT differs from FR), and the data sub-mode once the K3 extensions are on
        {"IF;", "IF00007030000     +000000 0002001021 ;"},
        {"SM;", "SM0005;"},
        // Read-only values, and values of the wrong shape, are refused and stay.
        {"ID018;", "?;"},
        {"SM0010;", "?;"},
        {"IS0900;", "?;"},
        {"FA1;", "?;"},
        {"MDx;", "?;"},
        {"FW03000;", "?;"},
        {"SWT4;", "?;"},
        {"SWTab;", "?;"},
        {"IS;", "IS 0900;"},
        {"FA;", "FA00007030000;"},
        {"PC;", "PC0501;"},
    };
    CatRadio radio;
    for (const auto& [frame, reply] : session) {
        EXPECT_EQ(radio.answer(frame, Behaviour::Normal), reply) << frame;
    }
    EXPECT_EQ(radio.answer("IF;", Behaviour::Normal)->size(), 38U);
}

TEST(CatResponder, InTheBasicCommandModeThePowerHasNoRangeDigit) {
    const std::pair<std::string, std::optional<std::string>> session[] = {
        {"K2;", "K20;"},        {"PC;", "PC050;"},      {"K21;", std::nullopt},    {"PC;", "PC050;"},
        {"K22;", std::nullopt}, {"PC;", "PC0501;"},     {"PC0250;", std::nullopt}, {"K23;", std::nullopt},
        {"PC;", "PC0250;"},     {"K20;", std::nullopt}, {"PC;", "PC025;"},
    };
    CatRadio radio({50, 1}, PowerReplies::Basic);
    for (const auto& [frame, reply] : session) {
        EXPECT_EQ(radio.answer(frame, Behaviour::Normal), reply) << frame;
    }
    // A radio started as before keeps the range digit whatever the mode.
    CatRadio extended;
    EXPECT_EQ(extended.answer("K20;", Behaviour::Normal), std::nullopt);
    EXPECT_EQ(extended.answer("PC;", Behaviour::Normal), "PC0501;");
}

TEST(CatResponder, BusyRadioRefusesEverythingAndKeepsItsState) {
    const RadioPower fifty{50, 1};
    CatRadio radio(fifty);
    for (const std::string frame : {"PC;", "PC0550;", "FA;", "MD3;"}) {
        EXPECT_EQ(radio.answer(frame, Behaviour::Busy), "?;") << frame;
    }
    EXPECT_EQ(radio.power(), fifty);
    EXPECT_EQ(radio.answer("MD;", Behaviour::Normal), "MD2;");
}

TEST(FrameReader, CutsOnSemicolonAcrossReadsAndDropsLineEnds) {
    FrameReader reader;
    EXPECT_TRUE(reader.feed("P").empty());
    EXPECT_EQ(reader.feed("C;PC05"), (std::vector<std::string>{"PC;"}));
    EXPECT_EQ(reader.pending(), "PC05");
    EXPECT_EQ(reader.feed("01;\r\nPC;\n"), (std::vector<std::string>{"PC0501;", "PC;"}));
    EXPECT_EQ(reader.feed("\rP\nC;;"), (std::vector<std::string>{"PC;", ";"}));
    EXPECT_TRUE(reader.pending().empty());
}

TEST(FrameReader, BoundsAFrameThatNeverEnds) {
    FrameReader reader;
    const std::string flood(10 * ReplyReader::kMaxTail, 'A');
    EXPECT_TRUE(reader.feed(flood).empty());
    EXPECT_EQ(reader.pending().size(), ReplyReader::kMaxTail);

    // The cut frame is still refused, and the next one is read cleanly.
    const auto frames = reader.feed("PC;PC;");
    ASSERT_EQ(frames.size(), 2U);
    EXPECT_EQ(frames[0].size(), ReplyReader::kMaxTail + 3);
    EXPECT_EQ(CatRadio().answer(frames[0], Behaviour::Normal), "?;");
    EXPECT_EQ(frames[1], "PC;");
}

TEST(SimOptions, ReadsEveryOption) {
    const ParsedOptions parsed = parseSimOptions({"--port",   "3",
                                                  "--dir",    "/tmp/x",
                                                  "--power",  "5.5",
                                                  "--range",  "0",
                                                  "--silent", "--busy",
                                                  "--split",  "--delay",
                                                  "20",       "--silent-after",
                                                  "1.5",      "--unplug-after",
                                                  "2",        "--replug-after",
                                                  "0.25",     "--quit-after",
                                                  "30",       "--answer",
                                                  "PC12;",    "--basic"});
    ASSERT_TRUE(parsed.options) << parsed.error;
    const SimOptions& o = *parsed.options;
    EXPECT_EQ(o.port, 3);
    EXPECT_EQ(o.dir, "/tmp/x");
    EXPECT_EQ(o.power, (RadioPower{55, 0}));
    EXPECT_TRUE(o.silent && o.busy && o.split);
    EXPECT_EQ(o.delay, 20ms);
    EXPECT_EQ(o.silentAfter, 1500ms);
    EXPECT_EQ(o.unplugAfter, 2000ms);
    EXPECT_EQ(o.replugAfter, 250ms);
    EXPECT_EQ(o.quitAfter, 30000ms);
    EXPECT_EQ(o.fixedAnswer, "PC12;");
    EXPECT_EQ(o.powerReplies, PowerReplies::Basic);
}

TEST(SimOptions, DefaultsToFiftyWattsOnComOne) {
    const ParsedOptions parsed = parseSimOptions({});
    ASSERT_TRUE(parsed.options);
    EXPECT_EQ(parsed.options->port, 1);
    EXPECT_EQ(powerReply(parsed.options->power), "PC0501;");
    EXPECT_FALSE(parsed.options->silent || parsed.options->busy || parsed.options->split);
    EXPECT_FALSE(parsed.options->quitAfter);
    EXPECT_FALSE(parsed.options->fixedAnswer);
    EXPECT_EQ(parsed.options->powerReplies, PowerReplies::Extended);
}

TEST(SimOptions, TakesPowerInTheUnitsOfItsRange) {
    const std::pair<std::vector<std::string>, std::optional<std::string>> cases[] = {
        {{"--power", "12", "--range", "0"}, "PC1200;"},
        {{"--range", "0", "--power", "0.1"}, "PC0010;"},
        {{"--power", "110"}, "PC1101;"},
        {{"--power", "0"}, "PC0001;"},
        {{"--power", "12.1", "--range", "0"}, std::nullopt},
        {{"--power", "5.55", "--range", "0"}, std::nullopt},
        {{"--power", "50.5"}, std::nullopt},
        {{"--power", "111"}, std::nullopt},
        {{"--power", "-1"}, std::nullopt},
        {{"--power", "1e300"}, std::nullopt},
    };
    for (const auto& [args, reply] : cases) {
        const ParsedOptions parsed = parseSimOptions(args);
        EXPECT_EQ(parsed.options ? std::optional(powerReply(parsed.options->power)) : std::nullopt, reply) << args[1];
        EXPECT_EQ(parsed.error.empty(), reply.has_value()) << args[1];
    }
}

TEST(SimOptions, RefusesBadArguments) {
    const std::vector<std::string> cases[] = {
        {"--port"},        {"--port", "0"},         {"--port", "x"},        {"--port", "2.5"}, {"--range", "2"},
        {"--delay", "-5"}, {"--quit-after", "abc"}, {"--unplug-after", ""}, {"--dir", ""},     {"--frobnicate"},
        {"stray"},         {"--power", "5W"},       {"--answer", ""},       {"--answer"},      {"--replug-after", "-1"},
    };
    for (const auto& args : cases) {
        const ParsedOptions parsed = parseSimOptions(args);
        EXPECT_FALSE(parsed.options) << args[0];
        EXPECT_FALSE(parsed.error.empty()) << args[0];
    }
    EXPECT_TRUE(parseSimOptions({"--port", "3", "--help"}).help);
    EXPECT_TRUE(parseSimOptions({"--power", "5", "--version"}).version);
    EXPECT_FALSE(parseSimOptions({"--version"}).options);
}

TEST(ExchangeLog, StampsOneLineWithMicrosecondsAndEscapesControlCharacters) {
    EXPECT_EQ(exchangeLine(12345678us, "tx", "PC0501;"), "12.345678 tx PC0501;\n");
    EXPECT_EQ(exchangeLine(1000001us, "rx", "PC\r;"), "1.000001 rx PC\\x0d;\n");
    EXPECT_EQ(exchangeLine(0us, "rx", "a\\b\xff"), "0.000000 rx a\\\\b\\xff\n");
    EXPECT_EQ(exchangeLine(3s, "exit", ""), "3.000000 exit\n");
}

class PortLinkTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (std::filesystem::temp_directory_path() / "quorvel-sim-test-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        m_dir = pattern;
    }
    void TearDown() override { std::filesystem::remove_all(m_dir); }

    std::string path(const std::string& name) const { return (m_dir / name).string(); }

    std::filesystem::path m_dir;
};

TEST_F(PortLinkTest, ReplacesOnlyLinksToVanishedPseudoTerminals) {
    std::ofstream(path("file")) << "x";
    std::filesystem::create_directory(path("folder"));
    std::filesystem::create_symlink("/dev/pts/999999", path("stale"));
    std::filesystem::create_symlink("/dev/null", path("device"));
    std::filesystem::create_symlink("/dev/ttyS999999", path("dangling-elsewhere"));
    std::filesystem::create_symlink("/dev/pts/ptmx", path("live-pts"));

    EXPECT_EQ(inspectLinkSlot(path("nothing")), LinkSlot::Free);
    EXPECT_EQ(inspectLinkSlot(path("stale")), LinkSlot::Stale);
    for (const char* taken : {"file", "folder", "device", "dangling-elsewhere", "live-pts"}) {
        EXPECT_EQ(inspectLinkSlot(path(taken)), LinkSlot::Taken) << taken;
    }
}

TEST_F(PortLinkTest, PlacesItsLinkAndRemovesItOnlyWhileItIsStillItsOwn) {
    const std::string com = path("ports/com3");
    {
        PortLink link(com, "/dev/pts/999998");
        EXPECT_EQ(std::filesystem::read_symlink(com), "/dev/pts/999998");
    }
    EXPECT_FALSE(std::filesystem::is_symlink(com));

    {
        PortLink link(com, "/dev/pts/999998");
        // Someone points the port elsewhere while the simulator runs: that link is not ours.
        std::filesystem::remove(com);
        std::filesystem::create_symlink("/dev/null", com);
    }
    EXPECT_EQ(std::filesystem::read_symlink(com), "/dev/null");
}

TEST_F(PortLinkTest, RefusesATakenPlaceAndReplacesAStaleLink) {
    const std::string com = path("com1");
    std::ofstream(com) << "the user's own file";
    EXPECT_THROW(PortLink(com, "/dev/pts/999998"), std::runtime_error);
    EXPECT_TRUE(std::filesystem::is_regular_file(com));

    const std::string stale = path("com2");
    std::filesystem::create_symlink("/dev/pts/999997", stale);
    PortLink link(stale, "/dev/pts/999996");
    EXPECT_EQ(std::filesystem::read_symlink(stale), "/dev/pts/999996");
}

} // namespace
} // namespace quorvel::sim
