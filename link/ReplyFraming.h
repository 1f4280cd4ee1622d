#pragma once

#include <string>
#include <string_view>

namespace quorvel {

// What framing answers when the text holds no ";".
constexpr std::string_view kIncomplete = "incomplete";

// Everything up to and including the first ";", or "incomplete" when there is none. Nothing in
// front of the reply is removed, and whatever follows the first ";" is not part of the result.
std::string frameReply(std::string_view catstring);

} // namespace quorvel
