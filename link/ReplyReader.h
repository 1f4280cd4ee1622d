#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace quorvel {

// Cuts what arrives from the line into ";"-ended frames. A read may hold a piece of a frame,
// one frame or several, so every complete frame is handed on in order and the unfinished rest is
// kept and put in front of the next read. Nothing in front of a frame is removed: a stray line end
// or a piece of an earlier frame stays at its head, for the caller to judge.
//
// The kept rest is bounded, keeping its newest characters: a line that never sends ";" cannot make
// it grow, and the frame it finally ends in is too long to pass for a reply. A frame completed
// within one read is handed on whole.
class ReplyReader {
public:
    static constexpr std::size_t kMaxTail = 64;

    // Every frame this read completes, each with its ";".
    std::vector<std::string> take(std::string_view read);
    // What has arrived since the last ";".
    const std::string& tail() const { return m_tail; }
    // Forgets the rest, for a line opened afresh.
    void clear() { m_tail.clear(); }

private:
    std::string m_tail;
};

} // namespace quorvel
