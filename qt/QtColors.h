#pragma once

#include "panel/Colors.h"

#include <QColor>
#include <QPalette>

namespace quorvel {

// A colour value of the program (0x00BBGGRR) as a QColor. A value with the top bit set is a system
// colour by index, taken from the palette, so that it follows the desktop's colour scheme.
QColor toQColor(Color color, const QPalette& palette);

} // namespace quorvel
