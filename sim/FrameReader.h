#pragma once

#include "link/ReplyReader.h"

#include <string>
#include <string_view>
#include <vector>

namespace quorvel::sim {

// Cuts the byte stream from the program into frames ending with ";", as the program cuts the
// radio's replies. Line ends are dropped, as the radio ignores them. What waits for its ";" is
// bounded: a sender that never writes ";" cannot make it grow, and the frame it finally ends in is
// refused as too long.
class FrameReader {
public:
    // The frames completed by these bytes, each with its ";".
    std::vector<std::string> feed(std::string_view bytes);

    // What has arrived after the last ";".
    const std::string& pending() const { return m_reader.tail(); }

private:
    ReplyReader m_reader;
};

} // namespace quorvel::sim
