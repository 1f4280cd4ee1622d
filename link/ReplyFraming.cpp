#include "link/ReplyFraming.h"

namespace quorvel {

std::string frameReply(std::string_view catstring) {
    const auto semicolon = catstring.find(';');
    if (semicolon == std::string_view::npos) {
        return std::string(kIncomplete);
    }
    return std::string(catstring.substr(0, semicolon + 1));
}

std::string PartialReply::withRead(std::string_view read) const {
    std::string text = m_kept;
    text += read;
    return text;
}

void PartialReply::update(std::string_view framedText, bool complete) {
    if (complete) {
        m_kept.clear();
        return;
    }
    // Drop the oldest characters beyond the bound.
    m_kept = std::string(framedText.size() > kMaxKept ? framedText.substr(framedText.size() - kMaxKept) : framedText);
}

} // namespace quorvel
