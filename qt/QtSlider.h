#pragma once

#include "panel/Slider.h"

#include <QSlider>

namespace quorvel {

// The power slider: vertical, minimum at the bottom. Only the mouse reaches the window: every
// press and every release on the slider, handle or groove, any button, is reported once, after
// QSlider has dealt with it (so a release reports the final position). Keyboard and wheel moves,
// and QSlider's own page steps and value changes, report nothing.
// A Value outside 0..Max is clamped into the range, as QSlider does, instead of being refused.
class QtSlider : public QSlider, public Slider {
    Q_OBJECT
public:
    explicit QtSlider(QWidget* parent = nullptr);

    void setMax(std::int32_t max) override;
    void setTickFrequency(std::int32_t frequency) override;
    void setLargeChange(std::int32_t change) override;
    void setSmallChange(std::int32_t change) override;
    std::int32_t value() const override;
    void setValue(std::int32_t value) override;
    void setToolTipText(const std::string& text) override;

signals:
    void mouseDown();
    void mouseUp();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
};

} // namespace quorvel
