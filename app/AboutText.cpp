#include "app/AboutText.h"

namespace quorvel {

std::string aboutText(int major, int minor, int revision, int year) {
    return "Quorvel " + std::to_string(major) + "." + std::to_string(minor) + "." + std::to_string(revision) +
           " by Orlend\r\nCopyright (c) " + std::to_string(year) +
           " Orlend. All rights reserved.\r\n"
           "Licensed under the GNU General Public License, version 3 or later.\r\n"
           "This program comes with ABSOLUTELY NO WARRANTY.";
}

} // namespace quorvel
