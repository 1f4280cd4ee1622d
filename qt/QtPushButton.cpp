#include "qt/QtPushButton.h"

namespace quorvel {

QtPushButton::QtPushButton(const QString& caption, QWidget* parent) : QPushButton(caption, parent) {
    setAutoDefault(true);
}

void QtPushButton::setFocus() {
    QWidget::setFocus(Qt::OtherFocusReason);
}

} // namespace quorvel
