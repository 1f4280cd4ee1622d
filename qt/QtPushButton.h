#pragma once

#include "panel/PushButton.h"

#include <QPushButton>

namespace quorvel {

// A command button. Enter or Space on the focused button clicks it, as on the classic desktop.
class QtPushButton : public QPushButton, public PushButton {
    Q_OBJECT
public:
    explicit QtPushButton(const QString& caption, QWidget* parent = nullptr);

    // The window's own focus move; the power box sees it as the user leaving it.
    void setFocus() override;
};

} // namespace quorvel
