#include "qt/WindowPlacement.h"

#include <algorithm>

namespace quorvel {

QPoint placementOnScreens(const QRect& frame, const QList<QRect>& availableScreens, const QRect& primaryAvailable) {
    const bool onSomeScreen = std::any_of(availableScreens.begin(), availableScreens.end(),
                                          [&frame](const QRect& screen) { return screen.intersects(frame); });
    return onSomeScreen ? frame.topLeft() : primaryAvailable.topLeft();
}

} // namespace quorvel
