#pragma once

#include <string>

namespace quorvel {

// "Quorvel 1.0.2 by Orlend", then the maker's notice with the given year, the licence and the
// absence of any warranty, each line ended by CR LF but the last. No line starts with a blank: a
// screen reader reads blanks out.
std::string aboutText(int major, int minor, int revision, int year);

} // namespace quorvel
