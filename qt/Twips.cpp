#include "qt/Twips.h"

#include "link/RunTimeError.h"

#include <QWidget>

#include <algorithm>
#include <cmath>

namespace quorvel {

int twipsToPixels(double twips, double dpi) {
    const double pixels = std::round(twips * dpi / kTwipsPerInch);
    if (!std::isfinite(pixels)) {
        throw RunTimeError::invalidPropertyValue();
    }
    // A hand-edited position far off every screen is still only moved, never an overflow: the
    // placement mend brings such a window back when it is shown.
    constexpr double kLimit = QWIDGETSIZE_MAX;
    return static_cast<int>(std::clamp(pixels, -kLimit, kLimit));
}

double pixelsToTwips(int pixels, double dpi) {
    return pixels * kTwipsPerInch / dpi;
}

QRect twipsRect(int left, int top, int width, int height, double dpiX, double dpiY) {
    return {twipsToPixels(left, dpiX), twipsToPixels(top, dpiY), twipsToPixels(width, dpiX),
            twipsToPixels(height, dpiY)};
}

} // namespace quorvel
