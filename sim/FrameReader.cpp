#include "sim/FrameReader.h"

namespace quorvel::sim {

std::vector<std::string> FrameReader::feed(std::string_view bytes) {
    std::vector<std::string> frames;
    for (const char c : bytes) {
        if (c == '\r' || c == '\n') {
            continue;
        }
        if (c == ';') {
            m_pending += c;
            frames.push_back(std::move(m_pending));
            m_pending.clear();
            continue;
        }
        // One character short of the limit, so the ";" still fits.
        if (m_pending.size() < kMaxFrame - 1) {
            m_pending += c;
        }
    }
    return frames;
}

} // namespace quorvel::sim
