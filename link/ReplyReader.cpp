#include "link/ReplyReader.h"

namespace quorvel {

std::vector<std::string> ReplyReader::take(std::string_view read) {
    std::vector<std::string> frames;
    std::string text = std::move(m_tail);
    text += read;
    std::string_view rest = text;
    for (auto semicolon = rest.find(';'); semicolon != std::string_view::npos; semicolon = rest.find(';')) {
        frames.emplace_back(rest.substr(0, semicolon + 1));
        rest.remove_prefix(semicolon + 1);
    }
    m_tail = rest.size() > kMaxTail ? rest.substr(rest.size() - kMaxTail) : rest;
    return frames;
}

} // namespace quorvel
