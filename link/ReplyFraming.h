#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quorvel {

// What framing answers when the text holds no ";".
constexpr std::string_view kIncomplete = "incomplete";

// Everything up to and including the first ";", or "incomplete" when there is none. Nothing in
// front of the reply is removed, and whatever follows the first ";" is not part of the result.
std::string frameReply(std::string_view catstring);

// A reply often reaches the serial port in two or more reads. Text without a ";" is kept here and
// put in front of the next read, so the pieces are framed together. The kept text is bounded: a
// line that never sends ";" cannot make it grow.
class PartialReply {
public:
    static constexpr std::size_t kMaxKept = 64;

    // The kept text followed by this read: what framing works on.
    std::string withRead(std::string_view read) const;
    // After framing: keep the text when it held no ";", otherwise forget it.
    void update(std::string_view framedText, bool complete);
    const std::string& kept() const { return m_kept; }

private:
    std::string m_kept;
};

} // namespace quorvel
