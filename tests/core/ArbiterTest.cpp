// The hub that shares the radio: which frames pass, who gets each reply, and when the line is
// free again, on a clock moved by hand.
#include "share/Arbiter.h"
#include "share/ShareAddress.h"

#include <gtest/gtest.h>

#include <map>
#include <utility>

namespace quorvel {
namespace {

using namespace std::chrono_literals;
using ClientId = Arbiter::ClientId;
constexpr ClientId kPanel = Arbiter::kPanel;

TEST(ClassifyFrame, TellsQueriesFromSetsAndKeepsModeCommandsAtHome) {
    const std::pair<const char*, FrameKind> cases[] = {
        {"FA;", FrameKind::Query},
        {"fa;", FrameKind::Query},
        {"BW$;", FrameKind::Query},
        {"SMH;", FrameKind::Query},
        {"RVM;", FrameKind::Query},
        {"RVD;", FrameKind::Query},
        {"TX;", FrameKind::Set},
        {"RX;", FrameKind::Set},
        {"UP;", FrameKind::Set},
        {"DN;", FrameKind::Set},
        {"UPB;", FrameKind::Set},
        {"dnb;", FrameKind::Set},
        {"FA00007074000;", FrameKind::Set},
        {"PC0501;", FrameKind::Set},
        {"KY TEST;", FrameKind::Set},
        {"MD$3;", FrameKind::Set},
        {"AI;", FrameKind::AutoInfoQuery},
        {"AI1;", FrameKind::AutoInfoSet},
        {"AI3;", FrameKind::AutoInfoSet},
        {"AI4;", FrameKind::Refused},
        {"AI12;", FrameKind::Refused},
        {"K2;", FrameKind::CommandModeQuery},
        {"k3;", FrameKind::CommandModeQuery},
        {"K22;", FrameKind::CommandModeSet},
        {"K23;", FrameKind::CommandModeSet},
        {"K24;", FrameKind::Refused},
        {"K31;", FrameKind::CommandModeSet},
        {"K32;", FrameKind::Refused},
        {"K2X;", FrameKind::Refused},
    };
    for (const auto& [frame, kind] : cases) {
        EXPECT_EQ(classifyFrame(frame), kind) << frame;
    }
    EXPECT_EQ(replyPrefix("bw$;"), "BW");
    EXPECT_EQ(replyPrefix("A;"), "A");
}

TEST(ClientFrames, PassesOnlyWholePrintableFramesOfAtMost64Bytes) {
    const ClientFrames::Time t0{};
    struct Read {
        const char* bytes;
        std::chrono::milliseconds at;
    };
    struct Case {
        std::vector<Read> reads;
        std::vector<std::string> frames;
        std::size_t refused;
    };
    const std::string longest = std::string(63, 'K') + ";";
    const std::string tooLong = std::string(64, 'K') + "K;";
    const std::string unfinished(70, 'K');
    const Case cases[] = {
        {{{"FA;IF;", 0ms}}, {"FA;", "IF;"}, 0},
        {{{"F", 0ms}, {"A;P", 5ms}, {"C;", 10ms}}, {"FA;", "PC;"}, 0},
        {{{"FA;\r\n", 0ms}, {"\nPC;\r", 5ms}}, {"FA;", "PC;"}, 0},
        {{{"F\tA;PC;", 0ms}}, {"PC;"}, 1},
        {{{"F\xb0;PC;", 0ms}}, {"PC;"}, 1},
        {{{";PC;", 0ms}}, {"PC;"}, 1},
        {{{longest.c_str(), 0ms}}, {longest}, 0},
        {{{tooLong.c_str(), 0ms}, {"PC;", 5ms}}, {"PC;"}, 1},
        // A half frame that stalls is forgotten, not glued onto the next one.
        {{{"FA000", 0ms}, {"07074000;PC;", 1001ms}}, {"PC;"}, 1},
        {{{"FA000", 0ms}, {"07074000;", 999ms}}, {"FA00007074000;"}, 0},
        {{{unfinished.c_str(), 0ms}, {"X;PC;", 1500ms}}, {"PC;"}, 1},
    };
    for (const Case& c : cases) {
        ClientFrames frames;
        std::vector<std::string> got;
        std::size_t refused = 0;
        for (const Read& read : c.reads) {
            ClientFrames::Result result = frames.take(read.bytes, t0 + read.at);
            got.insert(got.end(), result.frames.begin(), result.frames.end());
            refused += result.refused.size();
        }
        EXPECT_EQ(got, c.frames) << c.reads.front().bytes;
        EXPECT_EQ(refused, c.refused) << c.reads.front().bytes;
    }
}

// The hub with a hand-moved clock, and everything it sent each way gathered up.
class ArbiterTest : public ::testing::Test {
protected:
    Arbiter::Time now{};
    Arbiter hub{now};
    std::string radio;
    std::map<ClientId, std::string> got;
    std::vector<std::string> log;

    void collect() {
        Arbiter::Output out = hub.take();
        radio += out.toRadio;
        for (const Arbiter::Delivery& d : out.toClients) {
            got[d.client] += d.bytes;
        }
        log.insert(log.end(), out.log.begin(), out.log.end());
    }
    std::string sent() {
        collect();
        return std::exchange(radio, {});
    }
    void after(std::chrono::milliseconds wait) {
        now += wait;
        hub.tick(now);
        collect();
    }
    void from(ClientId client, std::string_view bytes) {
        hub.fromClient(client, bytes, now);
        collect();
    }
    void answer(std::string_view bytes) {
        hub.fromRadio(bytes, now);
        collect();
    }
    ClientId connect() {
        const std::optional<ClientId> id = hub.connect(now);
        collect();
        EXPECT_TRUE(id.has_value());
        return id.value_or(kPanel);
    }
    // The hub's own start: auto-info off, then the radio's command modes read.
    void startUp(std::string_view k2Reply = "K20;", std::string_view k3Reply = "K30;") {
        ASSERT_EQ(sent(), "AI0;");
        after(Arbiter::kSetHold);
        ASSERT_EQ(sent(), "K2;");
        answer(k2Reply);
        ASSERT_EQ(sent(), "K3;");
        answer(k3Reply);
    }
};

TEST_F(ArbiterTest, OneExchangeAtATimeEachReplyToItsAsker) {
    startUp();
    const ClientId a = connect();
    const ClientId b = connect();

    from(a, "FA;");
    from(b, "FB;");
    from(kPanel, "PC;");
    EXPECT_EQ(sent(), "FA;") << "one exchange on the line";
    answer("FA000070");
    EXPECT_EQ(sent(), "") << "a reply in pieces is not over yet";
    answer("74000;");
    EXPECT_EQ(sent(), "FB;");
    answer("FB00014074000;");
    EXPECT_EQ(sent(), "PC;");
    answer("PC0501;");

    EXPECT_EQ(got[a], "FA00007074000;");
    EXPECT_EQ(got[b], "FB00014074000;");
    EXPECT_EQ(got[kPanel], "PC0501;");
    EXPECT_EQ(hub.nextTick(), std::nullopt) << "nothing left to time";
}

TEST_F(ArbiterTest, RoundRobinTakesOneFramePerProgramPerTurn) {
    startUp();
    const ClientId a = connect();
    const ClientId b = connect();

    from(a, "FA;IF;MD;");
    from(b, "FB;");
    from(kPanel, "PC;");
    std::string order;
    for (int i = 0; i < 5; ++i) {
        const std::string frame = sent();
        order += frame;
        answer(frame.substr(0, 2) + "1;");
    }
    EXPECT_EQ(order, "FA;FB;PC;IF;MD;");
}

TEST_F(ArbiterTest, SetsHoldTheLineBrieflyAndSilentQueriesUntilTheirDeadline) {
    startUp();
    const ClientId a = connect();
    const ClientId b = connect();

    from(a, "FA00007074000;");
    from(b, "FB;");
    EXPECT_EQ(sent(), "FA00007074000;");
    after(9ms);
    EXPECT_EQ(sent(), "") << "the radio is still taking the set";
    after(1ms);
    EXPECT_EQ(sent(), "FB;");

    // The radio stays silent: the line frees at the deadline, and the late reply is dropped.
    from(a, "IF;");
    EXPECT_EQ(hub.nextTick(), now + Arbiter::kReplyDeadline);
    after(599ms);
    EXPECT_EQ(sent(), "");
    after(1ms);
    EXPECT_EQ(sent(), "IF;");
    answer("FB00014074000;");
    EXPECT_EQ(got[b], "") << "a reply after the deadline reaches nobody";
    EXPECT_EQ(got[a], "");
    answer("IF00007074000     -000000 0002000011 ;");
    EXPECT_EQ(got[a], "IF00007074000     -000000 0002000011 ;");
}

TEST_F(ArbiterTest, BusyGoesToWhoeverIsOrWasLastOnTheLine) {
    startUp();
    const ClientId a = connect();
    const ClientId b = connect();

    from(a, "FA;");
    from(b, "PC0501;");
    sent();
    answer("?;");
    EXPECT_EQ(got[a], "?;") << "busy answers the query on the line";
    EXPECT_EQ(sent(), "PC0501;") << "and frees it";
    answer("?;");
    EXPECT_EQ(got[b], "?;") << "busy during a set's hold is the setter's";
    after(Arbiter::kSetHold);
    answer("?;");
    EXPECT_EQ(got[b], "?;?;") << "the line is free but the set was last on it";
    EXPECT_EQ(got[a], "?;");
}

TEST_F(ArbiterTest, EachQueueHoldsSixteenAndTheRestIsDropped) {
    startUp();
    const ClientId flood = connect();
    const ClientId quiet = connect();

    std::string burst;
    for (int i = 0; i < 20; ++i) {
        burst += "FA;";
    }
    from(flood, burst);
    EXPECT_EQ(sent(), "FA;");
    from(quiet, "FB;");
    answer("FA1;");
    EXPECT_EQ(sent(), "FB;") << "the flood waits its turn like anyone";
    answer("FB1;");
    int forwarded = 1;
    for (std::string frame = sent(); !frame.empty(); frame = sent()) {
        ++forwarded;
        answer("FA1;");
    }
    EXPECT_EQ(forwarded, static_cast<int>(Arbiter::kQueueLimit));
    EXPECT_EQ(std::count(log.begin(), log.end(), "program 1: dropped FA;: 16 frames wait already"), 4);
}

TEST_F(ArbiterTest, AReplyOwedToAProgramThatLeftReachesNoOneElse) {
    startUp();
    const ClientId leaving = connect();
    from(leaving, "FA;");
    EXPECT_EQ(sent(), "FA;");
    hub.disconnect(leaving, now);
    const ClientId next = connect();
    EXPECT_NE(next, leaving) << "programs are never renumbered";
    from(next, "FA;");
    EXPECT_EQ(sent(), "") << "the departed program's query is still on the line";
    answer("FA00007074000;");
    EXPECT_EQ(got[next], "");
    EXPECT_EQ(got.count(leaving), 0U);
    EXPECT_EQ(sent(), "FA;");
    answer("FA00014000000;");
    EXPECT_EQ(got[next], "FA00014000000;");
}

TEST_F(ArbiterTest, AtMostEightProgramsBesideThePanel) {
    startUp();
    for (std::size_t i = 0; i < Arbiter::kMaxClients; ++i) {
        connect();
    }
    EXPECT_EQ(hub.connect(now), std::nullopt);
    collect();
    EXPECT_EQ(hub.clientCount(), 8U);
    EXPECT_EQ(log.back(), "refused a program: 8 are connected already");
    hub.disconnect(3, now);
    EXPECT_TRUE(hub.connect(now).has_value()) << "a place freed is a place to take";
}

TEST_F(ArbiterTest, AStalledHalfFrameHoldsUpNobody) {
    startUp();
    const ClientId stalled = connect();
    const ClientId busy = connect();

    from(stalled, "FA0000");
    EXPECT_EQ(hub.nextTick(), now + ClientFrames::kStallLimit);
    from(busy, "FB;");
    EXPECT_EQ(sent(), "FB;");
    answer("FB1;");
    after(1000ms);
    EXPECT_EQ(hub.nextTick(), std::nullopt) << "the stalled half frame is gone";
    from(stalled, "7074000;PC;");
    EXPECT_EQ(sent(), "PC;") << "its old bytes never reach the radio";
}

TEST_F(ArbiterTest, AutoInfoIsKeptPerProgramAndTheRadioStaysAtAI0) {
    startUp();
    const ClientId watcher = connect();
    const ClientId other = connect();

    from(watcher, "AI2;AI;");
    from(other, "AI;");
    EXPECT_EQ(sent(), "") << "auto-info never reaches the radio";
    EXPECT_EQ(got[watcher], "AI2;");
    EXPECT_EQ(got[other], "AI0;");

    answer("FA00007074000;");
    EXPECT_EQ(got[watcher], "AI2;FA00007074000;") << "unasked frames go to programs that asked for them";
    EXPECT_EQ(got[other], "AI0;");
    EXPECT_EQ(got[kPanel], "");

    // A program's own frames are answered in its order, even those the hub answers itself.
    from(other, "FA;AI;");
    EXPECT_EQ(sent(), "FA;");
    EXPECT_EQ(got[other], "AI0;");
    answer("FA00007074000;");
    EXPECT_EQ(got[other], "AI0;FA00007074000;AI0;");
}

TEST_F(ArbiterTest, EachProgramReadsRepliesInTheCommandModesItChose) {
    startUp("K20;", "K30;");
    const ClientId hamlib = connect();
    const ClientId rigControl = connect();

    from(hamlib, "K2;K22;K2;PC;");
    EXPECT_EQ(got[hamlib], "K20;K22;") << "mode questions are answered from the program's own choice";
    EXPECT_EQ(sent(), "K22;PC;") << "the radio is put in the asker's mode in the same write";
    answer("PC0501;");
    from(rigControl, "K31;MD;");
    EXPECT_EQ(sent(), "K20;K31;MD;");
    answer("MD6;");
    from(hamlib, "MD;");
    EXPECT_EQ(sent(), "K22;K30;MD;");
    answer("MD2;");
    from(hamlib, "FA;");
    EXPECT_EQ(sent(), "FA;") << "nothing to switch when the radio is in the asker's modes already";
    answer("FA00007074000;");
    EXPECT_EQ(hub.farewell(), "K20;") << "sharing ends with the radio as it was found";
}

TEST_F(ArbiterTest, ARadioWithoutModeCommandsIsNeverSentThem) {
    startUp("?;", "?;");
    const ClientId a = connect();

    from(a, "K2;K22;K2;FA;");
    EXPECT_EQ(got[a], "?;K22;");
    EXPECT_EQ(sent(), "FA;");
    EXPECT_EQ(hub.farewell(), "");
}

TEST_F(ArbiterTest, PowerRepliesReachThePanelWhenItReadsThatForm) {
    startUp("K22;", "K30;");
    const ClientId a = connect();
    const ClientId basic = connect();

    from(a, "PC;");
    sent();
    answer("PC0501;");
    EXPECT_EQ(got[a], "PC0501;");
    EXPECT_EQ(got[kPanel], "PC0501;") << "the panel shows the power anyone read";

    from(basic, "K20;PC;");
    EXPECT_EQ(sent(), "K20;PC;");
    answer("PC050;");
    EXPECT_EQ(got[basic], "PC050;");
    EXPECT_EQ(got[kPanel], "PC0501;") << "a form the panel does not read is not handed to it";

    from(a, "FA;");
    sent();
    answer("FA00007074000;");
    EXPECT_EQ(got[kPanel], "PC0501;") << "other replies stay with their asker";
}

TEST_F(ArbiterTest, RefusedFramesNeverReachTheRadio) {
    startUp();
    const ClientId a = connect();

    from(a, "AI5;K25;FA\x01;FA;");
    EXPECT_EQ(sent(), "FA;");
    EXPECT_EQ(log.size(), 4U) << "connected, then three refusals";
}

TEST_F(ArbiterTest, ProgramsWaitForTheStartUpExchanges) {
    const ClientId a = connect();
    from(a, "FA;K2;");
    EXPECT_EQ(sent(), "AI0;");
    after(Arbiter::kSetHold);
    EXPECT_EQ(sent(), "K2;");
    EXPECT_EQ(got[a], "");
    after(Arbiter::kReplyDeadline);
    EXPECT_EQ(sent(), "K3;") << "a radio that never answers is waited for no longer than anyone";
    answer("K31;");
    EXPECT_EQ(sent(), "FA;") << "the radio is in the modes it was found in";
    EXPECT_EQ(got[a], "");
    answer("FA1;");
    EXPECT_EQ(got[a], "FA1;?;") << "K2 never answered: the program hears what the radio would say";
}

TEST_F(ArbiterTest, AnotherRadioIsReadAfreshAndAQueryOnTheOldOneEndsUnanswered) {
    startUp("K22;", "K31;");
    const ClientId a = connect();
    from(a, "FA;");
    EXPECT_EQ(sent(), "FA;");
    hub.radioChanged(now);
    EXPECT_EQ(sent(), "AI0;");
    after(Arbiter::kSetHold);
    EXPECT_EQ(sent(), "K2;");
    answer("K20;");
    EXPECT_EQ(sent(), "K3;");
    answer("FA00007074000;");
    EXPECT_EQ(got[a], "") << "the old radio's reply is nobody's";
    answer("K30;");
    EXPECT_EQ(hub.farewell(), "");
}

TEST(ShareAddress, TakesANumericAddressAndAPort) {
    const std::pair<const char*, std::optional<ShareAddress>> cases[] = {
        {"127.0.0.1:7373", ShareAddress{"127.0.0.1", 7373}},
        {"0.0.0.0:1", ShareAddress{"0.0.0.0", 1}},
        {"192.168.1.20:65535", ShareAddress{"192.168.1.20", 65535}},
        {"[::1]:7373", ShareAddress{"::1", 7373}},
        {"[fe80::1]:4000", ShareAddress{"fe80::1", 4000}},
        {"::1:7373", std::nullopt},
        {"127.0.0.1", std::nullopt},
        {"127.0.0.1:", std::nullopt},
        {":7373", std::nullopt},
        {"127.0.0.1:0", std::nullopt},
        {"127.0.0.1:65536", std::nullopt},
        {"127.0.0.1:73x", std::nullopt},
        {"127.0.0.1:-1", std::nullopt},
        {"localhost:7373", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& [text, address] : cases) {
        EXPECT_EQ(parseShareAddress(text), address) << text;
    }
    EXPECT_TRUE(parseShareAddress(kDefaultShareAddress).has_value());
}

} // namespace
} // namespace quorvel
