#include "qt/QtSlider.h"

#include <QMouseEvent>

namespace quorvel {

QtSlider::QtSlider(QWidget* parent) : QSlider(Qt::Vertical, parent) {
    setTickPosition(QSlider::TicksRight);
    setAccessibleName(QStringLiteral("Transmit power, watts"));
    // Keys move the slider without sending anything, so say where the keyboard sets the power.
    setAccessibleDescription(QStringLiteral(
        "Dragging with the mouse sets the power; from the keyboard, type it in the power box and press Enter"));
}

void QtSlider::setMax(std::int32_t max) {
    setMaximum(max);
}

void QtSlider::setTickFrequency(std::int32_t frequency) {
    // QSlider repaints on every setTickInterval, even to the same value, and each reply sets it.
    if (frequency == tickInterval()) {
        return;
    }
    setTickInterval(frequency);
}

void QtSlider::setLargeChange(std::int32_t change) {
    setPageStep(change);
}

void QtSlider::setSmallChange(std::int32_t change) {
    setSingleStep(change);
}

std::int32_t QtSlider::value() const {
    return QSlider::value();
}

void QtSlider::setValue(std::int32_t value) {
    QSlider::setValue(value);
}

void QtSlider::setToolTipText(const std::string& text) {
    // Set on every reply; QWidget would send its tool-tip change events even for the same text.
    const QUtf8StringView tip(text.data(), static_cast<qsizetype>(text.size()));
    if (QAnyStringView::equal(tip, toolTip())) {
        return;
    }
    setToolTip(tip.toString());
}

// A double click arrives as a press of its own (QWidget's default), so each press has its release.
void QtSlider::mousePressEvent(QMouseEvent* event) {
    QSlider::mousePressEvent(event);
    emit mouseDown();
}

void QtSlider::mouseReleaseEvent(QMouseEvent* event) {
    QSlider::mouseReleaseEvent(event);
    emit mouseUp();
}

} // namespace quorvel
