#include "link/ReplyFraming.h"

namespace quorvel {

std::string frameReply(std::string_view catstring) {
    const auto semicolon = catstring.find(';');
    if (semicolon == std::string_view::npos) {
        return std::string(kIncomplete);
    }
    return std::string(catstring.substr(0, semicolon + 1));
}

} // namespace quorvel
