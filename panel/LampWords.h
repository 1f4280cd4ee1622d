#pragma once

#include "panel/Colors.h"

#include <optional>
#include <string>

namespace quorvel {

// The panel's two lamps, told apart for whoever cannot see their colours.
enum class LampRole {
    Link,  // K3 Con: do replies keep arriving
    Range, // PA On: which power range the radio is in
};

// The name a screen reader gives the lamp; it says what the lamp is about, not its state.
std::string lampName(LampRole role);

// The lamp's state in words, the same for its tool tip and for screen readers. `fill` is empty
// while nothing has set the lamp since the window was created: button face then means "not known
// yet", while the range lamp set to button face by a reply means the low-power range.
std::string lampStateWords(LampRole role, std::optional<Color> fill);

} // namespace quorvel
