#include "share/ClientFrames.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace quorvel {
namespace {

std::string upper(std::string_view text) {
    std::string result(text);
    std::transform(result.begin(), result.end(), result.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return result;
}

bool isCommandLetter(char c) {
    return (c >= 'A' && c <= 'Z') || c == '$';
}

bool isPrintable(char c) {
    return c >= ' ' && c <= '~';
}

// A single digit from '0' to last, and nothing else.
bool isModeDigit(std::string_view parameter, char last) {
    return parameter.size() == 1 && parameter[0] >= '0' && parameter[0] <= last;
}

} // namespace

FrameKind classifyFrame(std::string_view frame) {
    if (frame.size() < 2 || frame.back() != ';') {
        return FrameKind::Refused;
    }
    const std::string body = upper(frame.substr(0, frame.size() - 1));
    const std::string_view command = std::string_view(body).substr(0, 2);
    const std::string_view parameter = std::string_view(body).substr(std::min<std::size_t>(2, body.size()));
    if (command == "AI") {
        return parameter.empty()             ? FrameKind::AutoInfoQuery
               : isModeDigit(parameter, '3') ? FrameKind::AutoInfoSet
                                             : FrameKind::Refused;
    }
    if (command == "K2" || command == "K3") {
        return parameter.empty()                                     ? FrameKind::CommandModeQuery
               : isModeDigit(parameter, command == "K2" ? '3' : '1') ? FrameKind::CommandModeSet
                                                                     : FrameKind::Refused;
    }
    static constexpr std::array<std::string_view, 6> kActions = {"TX", "RX", "UP", "DN", "UPB", "DNB"};
    if (std::find(kActions.begin(), kActions.end(), body) != kActions.end()) {
        return FrameKind::Set;
    }
    if (body == "RVM" || body == "RVD" || std::all_of(body.begin(), body.end(), isCommandLetter)) {
        return FrameKind::Query;
    }
    return FrameKind::Set;
}

bool expectsReply(std::string_view frame) {
    const FrameKind kind = classifyFrame(frame);
    return kind == FrameKind::Query || kind == FrameKind::CommandModeQuery || kind == FrameKind::AutoInfoQuery;
}

std::string replyPrefix(std::string_view frame) {
    return upper(frame.substr(0, std::min<std::size_t>(2, frame.find(';'))));
}

ClientFrames::Result ClientFrames::take(std::string_view bytes, Time now) {
    Result result;
    if (expire(now)) {
        result.refused.emplace_back("an unfinished frame stalled for more than a second");
    }
    for (const char c : bytes) {
        if (m_skipping) {
            m_skipping = c != ';';
            continue;
        }
        if (m_partial.empty()) {
            if (c == '\r' || c == '\n') {
                continue;
            }
            m_since = now;
        }
        m_partial += c;
        if (c == ';') {
            if (m_partial.size() == 1) {
                result.refused.emplace_back("an empty frame");
            } else if (!std::all_of(m_partial.begin(), m_partial.end(), isPrintable)) {
                result.refused.emplace_back("a frame that is not printable text");
            } else {
                result.frames.push_back(std::move(m_partial));
            }
            m_partial.clear();
        } else if (m_partial.size() >= kMaxFrame) {
            result.refused.emplace_back("a frame longer than 64 bytes");
            m_partial.clear();
            m_skipping = true;
        }
    }
    return result;
}

bool ClientFrames::expire(Time now) {
    if (!pending() || now - m_since < kStallLimit) {
        return false;
    }
    // Whatever follows, up to the next ";", is the rest of the stalled frame.
    m_partial.clear();
    m_skipping = true;
    return true;
}

} // namespace quorvel
