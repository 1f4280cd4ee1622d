#include "qt/QtLamp.h"

#include "qt/QtColors.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QPainter>

#include <algorithm>
#include <optional>

namespace quorvel {

namespace {

// Screen readers see a lamp as a small status display rather than as an anonymous pane. (Qt's own
// indicator role reaches AT-SPI as "unknown".)
QAccessibleInterface* lampAccessible(const QString& className, QObject* object) {
    if (className == QLatin1String(QtLamp::staticMetaObject.className()) && object != nullptr &&
        object->isWidgetType()) {
        return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::StatusBar);
    }
    return nullptr;
}

} // namespace

QtLamp::QtLamp(LampRole role, QWidget* parent) : QWidget(parent), m_role(role) {
    QAccessible::installFactory(lampAccessible); // once per program: Qt skips a factory it holds
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAccessibleName(QString::fromStdString(lampName(role)));
    sayState();
}

void QtLamp::setFillColor(Color color) {
    // Every reply sets both lamps; repainting or announcing an unchanged lamp costs an X round trip
    // per poll and tells a screen reader nothing.
    if (m_set && color == m_fill) {
        return;
    }
    m_fill = color;
    m_set = true;
    sayState();
    update();
}

void QtLamp::setNote(const std::string& words) {
    m_note = QString::fromStdString(words);
    sayState();
}

void QtLamp::forgetState() {
    m_set = false;
    sayState();
}

void QtLamp::sayState() {
    QString words = QString::fromStdString(lampStateWords(m_role, m_set ? std::optional(m_fill) : std::nullopt));
    if (!m_note.isEmpty()) {
        words += QStringLiteral(". ") + m_note;
    }
    if (words == accessibleDescription()) {
        return;
    }
    setToolTip(words);
    setAccessibleDescription(words);
}

QColor QtLamp::shownColor() const {
    return toQColor(m_fill, palette());
}

void QtLamp::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    painter.fillRect(rect(), shownColor());
    if (showsCross()) {
        // White on pure red stays plain in greyscale and to a red-blind eye. The cross is square, in
        // the middle of the box, so the fill shows plainly at its sides.
        const int inset = 3;
        const int side = std::max(height() - 2 * inset, 1);
        QRect area(0, 0, side, side);
        area.moveCenter(rect().center());
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(Qt::white, 2));
        painter.drawLine(area.topLeft(), area.bottomRight());
        painter.drawLine(area.bottomLeft(), area.topRight());
        painter.setRenderHint(QPainter::Antialiasing, false);
    }
    // A one-pixel outline in the window text colour, so a lamp in button face still shows its shape.
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

} // namespace quorvel
