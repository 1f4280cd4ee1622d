#include "qt/QtMenuItem.h"

namespace quorvel {

QtMenuItem::QtMenuItem(const QString& caption, QObject* parent) : QAction(caption, parent) {
    connect(this, &QAction::triggered, this, [this](bool checked) {
        if (isCheckable()) {
            QAction::setChecked(!checked);
        }
        emit clicked();
    });
}

void QtMenuItem::setChecked(bool checked) {
    // Some styles draw an empty box beside any checkable item; an unticked item shows nothing.
    if (checked) {
        setCheckable(true);
    }
    QAction::setChecked(checked);
    if (!checked) {
        setCheckable(false);
    }
}

} // namespace quorvel
