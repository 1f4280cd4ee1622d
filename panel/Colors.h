#pragma once

#include <cstdint>

namespace quorvel {

// Colours as 0x00BBGGRR; a value with the top bit set names a system colour by index.
using Color = std::uint32_t;
constexpr Color kGreen = 0x0000FF00;
constexpr Color kRed = 0x000000FF;
constexpr Color kBlack = 0x00000000;
constexpr Color kButtonFace = 0x8000000F;

} // namespace quorvel
