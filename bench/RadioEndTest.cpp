#include "bench/RadioEnd.h"
#include "sim/PseudoTerminal.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <unistd.h>
#include <vector>

namespace quorvel::bench {
namespace {

using namespace std::chrono_literals;
using Clock = RadioEnd::Clock;

constexpr auto kDeadline = 5s;

// The program's end of the line, as the serial component would open it.
class RadioEndTest : public testing::Test {
protected:
    void SetUp() override {
        m_line = ::open(m_pty.devicePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        ASSERT_GE(m_line, 0);
    }
    void TearDown() override { ::close(m_line); }

    void send(const std::string& text) { ASSERT_EQ(::write(m_line, text.data(), text.size()), ssize_t(text.size())); }

    // Everything the radio has written once `length` characters are in, or what came by the deadline.
    std::string receive(std::size_t length) {
        std::string got;
        const auto deadline = Clock::now() + kDeadline;
        while (got.size() < length && Clock::now() < deadline) {
            pollfd fd{m_line, POLLIN, 0};
            if (::poll(&fd, 1, 50) == 1) {
                char buffer[64];
                const ssize_t n = ::read(m_line, buffer, sizeof buffer);
                if (n > 0) {
                    got.append(buffer, static_cast<std::size_t>(n));
                }
            }
        }
        return got;
    }

    bool nothingWaiting() {
        pollfd fd{m_line, POLLIN, 0};
        return ::poll(&fd, 1, 0) == 0;
    }

    static bool waitForQueries(const RadioEnd& radio, std::size_t count) {
        const auto deadline = Clock::now() + kDeadline;
        while (radio.queries() < count && Clock::now() < deadline) {
            pollfd none{-1, 0, 0};
            ::poll(&none, 0, 1);
        }
        return radio.queries() >= count;
    }

    sim::PseudoTerminal m_pty;
    int m_line = -1;
    std::vector<RadioEnd::Reply> m_replies{{"PC0501;", 50}, {"PC0551;", 55}};
};

TEST_F(RadioEndTest, AnswersNothingUntilArmed) {
    RadioEnd radio(m_pty.masterFd(), m_replies, 0us);
    send("PC;");
    ASSERT_TRUE(waitForQueries(radio, 1));
    EXPECT_TRUE(nothingWaiting());
    EXPECT_EQ(radio.answered(), 0U);
    EXPECT_FALSE(radio.inFlight().has_value());
}

TEST_F(RadioEndTest, RepliesTakeTurnsOnceEachHasBeenSeen) {
    RadioEnd radio(m_pty.masterFd(), m_replies, 0us);
    radio.arm();
    const std::string expected[] = {"PC0501;", "PC0551;", "PC0501;"};
    const int watts[] = {50, 55, 50};
    for (std::size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        send("PC;");
        EXPECT_EQ(receive(7), expected[i]);
        const auto flight = radio.inFlight();
        ASSERT_TRUE(flight.has_value());
        EXPECT_EQ(flight->number, i);
        EXPECT_EQ(flight->watts, watts[i]);
        radio.seen(flight->number);
        EXPECT_FALSE(radio.inFlight().has_value());
    }
}

TEST_F(RadioEndTest, LeavesQueriesUnansweredWhileAReplyIsUnseen) {
    RadioEnd radio(m_pty.masterFd(), m_replies, 0us);
    radio.arm();
    send("PC;PC;");
    ASSERT_TRUE(waitForQueries(radio, 2));
    EXPECT_EQ(receive(7), "PC0501;");
    EXPECT_TRUE(nothingWaiting());
    EXPECT_EQ(radio.answered(), 1U);
    // Seeing a reply that is not the one in flight releases nothing.
    radio.seen(7);
    EXPECT_TRUE(radio.inFlight().has_value());
}

TEST_F(RadioEndTest, CountsOnlyPowerQueriesEvenWhenSplitAcrossWrites) {
    RadioEnd radio(m_pty.masterFd(), m_replies, 0us);
    send("PC050;XX;P");
    send("C;");
    ASSERT_TRUE(waitForQueries(radio, 1));
    send("PC;");
    ASSERT_TRUE(waitForQueries(radio, 2));
    EXPECT_EQ(radio.queries(), 2U);
}

TEST_F(RadioEndTest, WaitsItsTurnaroundBeforeReplying) {
    constexpr auto kTurnaround = 20ms;
    RadioEnd radio(m_pty.masterFd(), m_replies, kTurnaround);
    radio.arm();
    const auto asked = Clock::now();
    send("PC;");
    EXPECT_EQ(receive(7), "PC0501;");
    const auto flight = radio.inFlight();
    ASSERT_TRUE(flight.has_value());
    EXPECT_GE(flight->written - asked, kTurnaround);
}

} // namespace
} // namespace quorvel::bench
