#pragma once

#include "link/ReplyReader.h"
#include "share/ClientFrames.h"

#include <array>
#include <chrono>
#include <cstddef>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorvel {

// Shares one radio among several programs, frame by frame, in the radio's own language. The
// radio answers one thing at a time and names no one in its replies, so the line carries one
// exchange at a time and each reply goes to whoever asked:
//
// - Frames: only complete ";" frames of printable text, at most 64 bytes, go on (ClientFrames).
//   A frame of command letters alone is a query (classifyFrame); everything else is a set.
// - A query holds the line until a reply whose first two letters match arrives, or for 600 ms.
//   The K3's readers give up after a second and then ask again, doubling the traffic, so a reply
//   later than that is dropped. A set holds the line for 10 ms, time for the radio to take it.
// - "?;" (the radio is busy) goes to the program whose exchange is on the line, or was last on
//   it. The hub never makes one up for a frame it dropped: programs take "?;" after a set as
//   success.
// - Fairness: round-robin, one frame per program per turn; the panel's own polls are a program
//   like the others. Each queue holds 16 frames; more are dropped and logged.
// - Auto-info: the radio is put at AI0 when sharing starts and stays there. A program's AIn; is
//   kept for that program, its AI; answered from it, and frames the radio sends unasked go only
//   to programs that turned auto-info on.
// - Command modes: K2n; chooses the reply forms of the older commands (K22 and K23 the extended
//   ones, PCnnnr; for the power among them; K21 and K23 report RTTY as LSB/USB) and K3n; the
//   K3's own forms of the mode and filter replies. Programs choose differently (one sends K22;,
//   another K31;) and read every reply in the form they chose. So each program keeps its own
//   modes: the hub reads the radio's modes when sharing starts, answers K2; and K3; from the
//   program's own choice (or from the radio's as found), and puts the radio into the asking
//   program's modes in the same write as its frame, only when they differ from those the radio is
//   in. A radio that does not know a mode command is never sent it.
// - A "PC" reply to any program's query also reaches the panel, when its form is the one the
//   panel reads.
// - A program that leaves while its query is on the line has that reply discarded; programs are
//   never renumbered, so a reply cannot reach a later one.
// - At most 8 programs besides the panel.
//
// Time is handed in; nextTick() says when the hub next needs tick(). Whatever the hub wants sent
// is collected until take().
class Arbiter {
public:
    using Time = std::chrono::steady_clock::time_point;
    using ClientId = unsigned;

    static constexpr ClientId kPanel = 0;
    static constexpr std::size_t kMaxClients = 8;
    static constexpr std::size_t kQueueLimit = 16;
    static constexpr auto kReplyDeadline = std::chrono::milliseconds{600};
    static constexpr auto kSetHold = std::chrono::milliseconds{10};

    struct Delivery {
        ClientId client;
        std::string bytes;
        friend bool operator==(const Delivery&, const Delivery&) = default;
    };
    struct Output {
        std::string toRadio;
        std::vector<Delivery> toClients;
        std::vector<std::string> log;
    };

    explicit Arbiter(Time now);

    // A new program, or nothing when 8 are already connected.
    std::optional<ClientId> connect(Time now);
    void disconnect(ClientId client, Time now);
    std::size_t clientCount() const { return m_clients.size() - 1; }

    void fromClient(ClientId client, std::string_view bytes, Time now);
    void fromRadio(std::string_view bytes, Time now);
    void tick(Time now);
    std::optional<Time> nextTick() const;

    Output take();

    // Another radio, or the same one reached afresh: what the hub knew of it is forgotten, and an
    // exchange on the line ends unanswered.
    void radioChanged(Time now);

    // What puts the radio back into the modes it was found in, for when sharing ends.
    std::string farewell() const;

private:
    static constexpr ClientId kHub = ~ClientId{0};
    static constexpr std::size_t kModeCount = 2; // K2, K3

    struct Client {
        ClientFrames frames;
        std::deque<std::string> queue;
        char autoInfo = '0';
        std::array<std::optional<char>, kModeCount> modes;
    };
    struct Exchange {
        ClientId owner;
        std::string prefix; // empty for a set
        Time until;
    };
    // What the hub knows of one of the radio's command modes.
    struct RadioMode {
        std::optional<char> found;   // as the radio had it when sharing started
        std::optional<char> current; // as the hub last left it
    };

    void pump(Time now);
    void answerLocally(ClientId id, Client& client);
    void send(ClientId owner, const std::string& frame, Time now);
    void expireLine(Time now);
    void settle(const Exchange& done, std::string_view reply);
    void deliver(ClientId client, std::string_view bytes);
    void logFor(ClientId client, const std::string& text);
    std::optional<char> formFor(const Client& client, std::size_t mode) const;
    bool startingUp() const;

    std::map<ClientId, Client> m_clients;
    ClientId m_nextId = kPanel + 1;
    ClientId m_lastServed = kPanel;
    ClientId m_lastOwner = kHub;
    std::deque<std::string> m_hubFrames;
    std::optional<Exchange> m_line;
    std::array<RadioMode, kModeCount> m_radioModes;
    ReplyReader m_reader;
    Output m_out;
};

} // namespace quorvel
