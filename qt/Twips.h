#pragma once

#include <QRect>

namespace quorvel {

constexpr double kTwipsPerInch = 1440.0;

// Twips to whole pixels at a logical DPI, rounded to the nearest pixel and kept inside the range
// Qt can place a window in. A value that is no finite number is refused as an invalid property
// value.
int twipsToPixels(double twips, double dpi);
double pixelsToTwips(int pixels, double dpi);

// A control's box given in twips, in pixels at the given logical DPI.
QRect twipsRect(int left, int top, int width, int height, double dpiX, double dpiY);

} // namespace quorvel
