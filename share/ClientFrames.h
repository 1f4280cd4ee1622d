#pragma once

#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace quorvel {

// What one sharing program's frame asks of the radio.
enum class FrameKind {
    Query,            // expects a reply whose first two letters are the frame's own
    Set,              // expects no reply (an action such as TX; is one too)
    AutoInfoQuery,    // "AI;": answered from the program's own auto-info state
    AutoInfoSet,      // "AIn;": kept for that program alone
    CommandModeQuery, // "K2;" or "K3;": answered from the program's own command mode
    CommandModeSet,   // "K2n;" or "K3n;": kept for that program
    Refused,          // never reaches the radio
};

// A complete frame, ";" included. Letters count in either case, as the radio takes them.
//
// A frame of command letters alone ("$" included, for the sub receiver) is a query; the actions
// TX, RX, UP, DN, UPB and DNB carry no parameter yet are answered by nothing. RVM; and RVD; ask for
// firmware revisions although they carry a letter, and K2; and K3; ask for a command mode although
// they carry a digit. Anything with a parameter is a set. AI, K2 and K3 with a parameter the radio
// would not take are refused here, so that no program can change what the radio sends to all.
FrameKind classifyFrame(std::string_view frame);

// True for a frame the radio answers: a query of any kind.
bool expectsReply(std::string_view frame);

// The first two letters, upper case: what the reply to a query starts with.
std::string replyPrefix(std::string_view frame);

// Gathers one program's bytes into frames. Only complete ";" frames of printable ASCII, at most
// kMaxFrame bytes, are handed on. Line ends between frames are skipped: some programs end each
// command with one, and the radio never needs them. A frame that stays unfinished for longer than
// kStallLimit is dropped, so a program that stalls mid-frame cannot glue its old bytes onto the
// next frame; the rest of it, up to its ";", goes too. So does a frame that grows past kMaxFrame.
class ClientFrames {
public:
    using Time = std::chrono::steady_clock::time_point;
    static constexpr std::size_t kMaxFrame = 64;
    static constexpr auto kStallLimit = std::chrono::seconds{1};

    struct Result {
        std::vector<std::string> frames;  // complete and well-formed, in order
        std::vector<std::string> refused; // why each refused frame was refused
    };

    Result take(std::string_view bytes, Time now);
    // Drops an unfinished frame that has stalled; true when one was dropped.
    bool expire(Time now);
    // An unfinished frame is waiting; stallsAt() says when it will have stalled.
    bool pending() const { return !m_partial.empty(); }
    Time stallsAt() const { return m_since + kStallLimit; }

private:
    std::string m_partial;
    bool m_skipping = false;
    Time m_since{};
};

} // namespace quorvel
