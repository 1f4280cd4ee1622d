#pragma once

#include <QList>
#include <QPoint>
#include <QRect>

namespace quorvel {

// Where a window whose frame would cover `frame` is shown. The saved position is applied without
// any test against the screens, so a position saved on a monitor that has since gone would leave
// the window out of reach: when the frame touches no available screen area at all, it goes to the
// top-left corner of the primary screen's available area. A window at least partly on a screen
// stays where it is.
QPoint placementOnScreens(const QRect& frame, const QList<QRect>& availableScreens, const QRect& primaryAvailable);

} // namespace quorvel
