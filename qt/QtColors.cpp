#include "qt/QtColors.h"

#include <array>
#include <utility>

namespace quorvel {

namespace {

constexpr Color kSystemColorFlag = 0x80000000U;

// The system colour indexes with a palette role of their own; any other index shows as the button
// face.
constexpr std::array<std::pair<Color, QPalette::ColorRole>, 12> kSystemColorRoles{{
    {0x05, QPalette::Base},            // window background
    {0x06, QPalette::Shadow},          // window frame
    {0x08, QPalette::Text},            // window text
    {0x0D, QPalette::Highlight},       // highlight
    {0x0E, QPalette::HighlightedText}, // highlighted text
    {0x0F, QPalette::Button},          // button face
    {0x10, QPalette::Dark},            // button shadow
    {0x12, QPalette::ButtonText},      // button text
    {0x14, QPalette::Light},           // button highlight
    {0x15, QPalette::Shadow},          // 3-D dark shadow
    {0x17, QPalette::ToolTipText},     // tool tip text
    {0x18, QPalette::ToolTipBase},     // tool tip background
}};

} // namespace

QColor toQColor(Color color, const QPalette& palette) {
    if ((color & kSystemColorFlag) != 0) {
        const Color index = color & ~kSystemColorFlag;
        QPalette::ColorRole role = QPalette::Button;
        for (const auto& [systemIndex, paletteRole] : kSystemColorRoles) {
            if (systemIndex == index) {
                role = paletteRole;
            }
        }
        return palette.color(QPalette::Active, role);
    }
    return {static_cast<int>(color & 0xFFU), static_cast<int>((color >> 8U) & 0xFFU),
            static_cast<int>((color >> 16U) & 0xFFU)};
}

} // namespace quorvel
