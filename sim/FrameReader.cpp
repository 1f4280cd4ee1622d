#include "sim/FrameReader.h"

#include <algorithm>

namespace quorvel::sim {

std::vector<std::string> FrameReader::feed(std::string_view bytes) {
    std::string text(bytes);
    text.erase(std::remove_if(text.begin(), text.end(), [](char c) { return c == '\r' || c == '\n'; }), text.end());
    return m_reader.take(text);
}

} // namespace quorvel::sim
