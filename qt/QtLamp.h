#pragma once

#include "panel/Lamp.h"
#include "panel/LampWords.h"

#include <QColor>
#include <QWidget>

namespace quorvel {

// An indicator lamp: a shape drawn inside its box and filled solidly. It takes no focus and no
// mouse input, as a windowless shape never did. Its state is also said in words, as its tool tip
// and to screen readers (a status display whose description changes with it), and a red lamp
// carries a cross, so that a lost link does not rest on telling red from green.
class QtLamp : public QWidget, public Lamp {
    Q_OBJECT
public:
    explicit QtLamp(LampRole role, QWidget* parent = nullptr);

    void setFillColor(Color color) override;
    void setNote(const std::string& words) override;
    Color fillColor() const { return m_fill; }
    // The colour the lamp is painted with now; a system colour follows the current palette.
    QColor shownColor() const;
    // Back to "not known yet" in words, the colour kept, until the next setFillColor: start-up puts
    // the PA lamp in button face before anything is known of the range.
    void forgetState();
    // Whether the cross for a lost link is drawn over the fill.
    bool showsCross() const { return m_fill == kRed; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void sayState();

    LampRole m_role;
    Color m_fill = kButtonFace;
    bool m_set = false; // a handler has set the fill since creation or the last forgetState()
    QString m_note;
};

} // namespace quorvel
