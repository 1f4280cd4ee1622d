#include "share/Arbiter.h"

#include <utility>

namespace quorvel {
namespace {

constexpr std::array<char, 2> kModeCommands = {'2', '3'};

std::size_t modeIndex(std::string_view frame) {
    return frame[1] == '3' ? 1 : 0;
}

bool extendedForms(std::optional<char> k2Mode) {
    return k2Mode.has_value() && *k2Mode >= '2';
}

std::string modeFrame(std::size_t mode, char value) {
    return {'K', kModeCommands[mode], value, ';'};
}

} // namespace

Arbiter::Arbiter(Time now) {
    m_clients.emplace(kPanel, Client{});
    radioChanged(now);
}

void Arbiter::radioChanged(Time now) {
    if (m_line && !m_line->prefix.empty()) {
        logFor(m_line->owner, "no reply to its " + m_line->prefix + " query: the radio changed");
    }
    m_line.reset();
    m_reader.clear();
    m_radioModes = {};
    // Auto-info first, so nothing unasked crosses the exchanges that follow; then the radio's
    // command modes, the forms every program that chooses none is answered in.
    m_hubFrames = {"AI0;", "K2;", "K3;"};
    pump(now);
}

std::optional<Arbiter::ClientId> Arbiter::connect(Time now) {
    if (clientCount() >= kMaxClients) {
        m_out.log.emplace_back("refused a program: " + std::to_string(kMaxClients) + " are connected already");
        return std::nullopt;
    }
    const ClientId id = m_nextId++;
    m_clients.emplace(id, Client{});
    logFor(id, "connected");
    pump(now);
    return id;
}

void Arbiter::disconnect(ClientId client, Time now) {
    if (client != kPanel && m_clients.erase(client) > 0) {
        logFor(client, "disconnected");
    }
    pump(now);
}

void Arbiter::fromClient(ClientId id, std::string_view bytes, Time now) {
    const auto found = m_clients.find(id);
    if (found == m_clients.end()) {
        return;
    }
    Client& client = found->second;
    ClientFrames::Result result = client.frames.take(bytes, now);
    for (const std::string& why : result.refused) {
        logFor(id, "refused " + why);
    }
    for (std::string& frame : result.frames) {
        if (classifyFrame(frame) == FrameKind::Refused) {
            logFor(id, "refused " + frame + ", which would change the radio for every program");
        } else if (client.queue.size() >= kQueueLimit) {
            logFor(id, "dropped " + frame + ": " + std::to_string(kQueueLimit) + " frames wait already");
        } else {
            client.queue.push_back(std::move(frame));
        }
    }
    pump(now);
}

void Arbiter::fromRadio(std::string_view bytes, Time now) {
    expireLine(now);
    for (std::string frame : m_reader.take(bytes)) {
        frame.erase(0, frame.find_first_not_of("\r\n"));
        if (frame.size() < 2) {
            continue;
        }
        const bool awaited = m_line.has_value() && !m_line->prefix.empty();
        if (frame == "?;") {
            // Busy: the answer to whatever is, or was last, on the line.
            const ClientId owner = m_line ? m_line->owner : m_lastOwner;
            if (awaited) {
                settle(*m_line, frame);
                m_line.reset();
            }
            deliver(owner, frame);
        } else if (awaited && replyPrefix(frame) == m_line->prefix) {
            const Exchange done = *m_line;
            m_line.reset();
            settle(done, frame);
            deliver(done.owner, frame);
            const auto asker = m_clients.find(done.owner);
            if (done.owner != kPanel && asker != m_clients.end() && done.prefix == "PC" &&
                extendedForms(formFor(asker->second, 0)) == extendedForms(formFor(m_clients.at(kPanel), 0))) {
                deliver(kPanel, frame);
            }
        } else {
            bool taken = false;
            for (const auto& [id, client] : m_clients) {
                if (client.autoInfo != '0') {
                    deliver(id, frame);
                    taken = true;
                }
            }
            if (!taken) {
                m_out.log.emplace_back("dropped " + frame + " from the radio: nobody asked for it");
            }
        }
    }
    pump(now);
}

void Arbiter::tick(Time now) {
    pump(now);
}

std::optional<Arbiter::Time> Arbiter::nextTick() const {
    std::optional<Time> next;
    const auto consider = [&next](Time t) {
        if (!next || t < *next) {
            next = t;
        }
    };
    if (m_line) {
        consider(m_line->until);
    }
    for (const auto& [id, client] : m_clients) {
        if (client.frames.pending()) {
            consider(client.frames.stallsAt());
        }
    }
    return next;
}

Arbiter::Output Arbiter::take() {
    return std::exchange(m_out, Output{});
}

std::string Arbiter::farewell() const {
    std::string frames;
    for (std::size_t mode = 0; mode < kModeCount; ++mode) {
        const RadioMode& radio = m_radioModes[mode];
        if (radio.found && radio.current != radio.found) {
            frames += modeFrame(mode, *radio.found);
        }
    }
    return frames;
}

void Arbiter::pump(Time now) {
    expireLine(now);
    for (auto& [id, client] : m_clients) {
        if (client.frames.expire(now)) {
            logFor(id, "dropped an unfinished frame that stalled for more than a second");
        }
        if (!startingUp()) {
            answerLocally(id, client);
        }
    }
    if (m_line) {
        return;
    }
    if (!m_hubFrames.empty()) {
        send(kHub, m_hubFrames.front(), now);
        m_hubFrames.pop_front();
        return;
    }
    // The next program after the one served last, in the order they connected.
    auto next = m_clients.upper_bound(m_lastServed);
    for (std::size_t looked = 0; looked < m_clients.size(); ++looked, ++next) {
        if (next == m_clients.end()) {
            next = m_clients.begin();
        }
        if (!next->second.queue.empty()) {
            m_lastServed = next->first;
            const std::string frame = std::move(next->second.queue.front());
            next->second.queue.pop_front();
            send(next->first, frame, now);
            return;
        }
    }
}

void Arbiter::expireLine(Time now) {
    if (!m_line || now < m_line->until) {
        return;
    }
    if (!m_line->prefix.empty()) {
        logFor(m_line->owner,
               "no reply to its " + m_line->prefix + " query within " + std::to_string(kReplyDeadline.count()) + " ms");
        settle(*m_line, "");
    }
    m_line.reset();
}

// Frames the hub answers itself, as long as they are next in the program's queue: a program's
// own frames are answered in the order it sent them.
void Arbiter::answerLocally(ClientId id, Client& client) {
    while (!client.queue.empty() && !(m_line && m_line->owner == id)) {
        const std::string& frame = client.queue.front();
        switch (classifyFrame(frame)) {
        case FrameKind::AutoInfoQuery:
            deliver(id, std::string{'A', 'I', client.autoInfo, ';'});
            break;
        case FrameKind::AutoInfoSet:
            client.autoInfo = frame[2];
            break;
        case FrameKind::CommandModeQuery: {
            const std::size_t mode = modeIndex(frame);
            const std::optional<char> value = client.modes[mode] ? client.modes[mode] : m_radioModes[mode].found;
            // A radio without the command would have answered it with "?;".
            deliver(id, value ? modeFrame(mode, *value) : "?;");
            break;
        }
        case FrameKind::CommandModeSet:
            client.modes[modeIndex(frame)] = frame[2];
            break;
        default:
            return;
        }
        client.queue.pop_front();
    }
}

void Arbiter::send(ClientId owner, const std::string& frame, Time now) {
    if (owner != kHub) {
        const Client& client = m_clients.at(owner);
        for (std::size_t mode = 0; mode < kModeCount; ++mode) {
            RadioMode& radio = m_radioModes[mode];
            const std::optional<char> wanted = formFor(client, mode);
            if (wanted && radio.current != wanted) {
                m_out.toRadio += modeFrame(mode, *wanted);
                radio.current = wanted;
            }
        }
    }
    m_out.toRadio += frame;
    const bool query = expectsReply(frame);
    m_line = Exchange{owner, query ? replyPrefix(frame) : std::string{}, now + (query ? kReplyDeadline : kSetHold)};
    m_lastOwner = owner;
}

// The hub's own questions at the start: the radio's command modes as found.
void Arbiter::settle(const Exchange& done, std::string_view reply) {
    if (done.owner != kHub || (done.prefix != "K2" && done.prefix != "K3")) {
        return;
    }
    RadioMode& radio = m_radioModes[modeIndex(done.prefix)];
    if (reply.size() == 4 && reply[3] == ';' && reply[2] >= '0' && reply[2] <= '9') {
        radio.found = reply[2];
        radio.current = reply[2];
    }
}

void Arbiter::deliver(ClientId client, std::string_view bytes) {
    if (client == kHub) {
        return;
    }
    if (m_clients.find(client) == m_clients.end()) {
        m_out.log.emplace_back("discarded " + std::string(bytes) + ": program " + std::to_string(client) + " has left");
        return;
    }
    if (!m_out.toClients.empty() && m_out.toClients.back().client == client) {
        m_out.toClients.back().bytes += bytes;
    } else {
        m_out.toClients.push_back({client, std::string(bytes)});
    }
}

void Arbiter::logFor(ClientId client, const std::string& text) {
    m_out.log.push_back((client == kPanel ? std::string("the panel")
                         : client == kHub ? std::string("the hub")
                                          : "program " + std::to_string(client)) +
                        ": " + text);
}

// The form a program reads its replies in: the mode it chose, or the radio's as found. Nothing
// when the radio does not know the command, which then never leaves its own forms.
std::optional<char> Arbiter::formFor(const Client& client, std::size_t mode) const {
    const RadioMode& radio = m_radioModes[mode];
    if (!radio.found) {
        return std::nullopt;
    }
    return client.modes[mode] ? client.modes[mode] : radio.found;
}

bool Arbiter::startingUp() const {
    return !m_hubFrames.empty() || (m_line && m_line->owner == kHub);
}

} // namespace quorvel
