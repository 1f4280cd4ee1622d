#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace quorvel::sim {

// Cuts the byte stream from the program into frames ending with ";". Line ends are dropped, as the
// radio ignores them. A frame is never kept longer than kMaxFrame characters: a sender that never
// writes ";" cannot make the buffer grow, and the cut frame still ends up refused as too long.
class FrameReader {
public:
    static constexpr std::size_t kMaxFrame = 64;

    // The frames completed by these bytes, each with its ";".
    std::vector<std::string> feed(std::string_view bytes);

    // What has arrived after the last ";".
    const std::string& pending() const { return m_pending; }

private:
    std::string m_pending;
};

} // namespace quorvel::sim
