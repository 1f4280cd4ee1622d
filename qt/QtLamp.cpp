#include "qt/QtLamp.h"

#include "qt/QtColors.h"

#include <QPainter>

namespace quorvel {

QtLamp::QtLamp(QWidget* parent) : QWidget(parent) {
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void QtLamp::setFillColor(Color color) {
    // Every reply sets both lamps; repainting an unchanged lamp costs an X round trip per poll.
    if (color == m_fill) {
        return;
    }
    m_fill = color;
    update();
}

QColor QtLamp::shownColor() const {
    return toQColor(m_fill, palette());
}

void QtLamp::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    painter.fillRect(rect(), shownColor());
    // A one-pixel outline in the window text colour, so a lamp in button face still shows its shape.
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

} // namespace quorvel
