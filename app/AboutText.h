#pragma once

#include <string>

namespace quorvel {

// "       Quorvel 1.0.2 by Orlend", CR LF, then the maker's notice with the given year.
std::string aboutText(int major, int minor, int revision, int year);

} // namespace quorvel
