#pragma once

#include "panel/Lamp.h"

#include <QColor>
#include <QWidget>

namespace quorvel {

// An indicator lamp: a shape drawn inside its box and filled solidly. It takes no focus and no
// mouse input, as a windowless shape never did.
class QtLamp : public QWidget, public Lamp {
    Q_OBJECT
public:
    explicit QtLamp(QWidget* parent = nullptr);

    void setFillColor(Color color) override;
    Color fillColor() const { return m_fill; }
    // The colour the lamp is painted with now; a system colour follows the current palette.
    QColor shownColor() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Color m_fill = kButtonFace;
};

} // namespace quorvel
