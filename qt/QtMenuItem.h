#pragma once

#include "panel/MenuItem.h"

#include <QAction>

namespace quorvel {

// A menu item that can carry a tick. The tick is the window's to set: choosing the item reports
// clicked() and leaves the tick as it was (a checkable QAction would flip it by itself).
class QtMenuItem : public QAction, public MenuItem {
    Q_OBJECT
public:
    QtMenuItem(const QString& caption, QObject* parent);

    void setChecked(bool checked) override;

signals:
    void clicked();
};

} // namespace quorvel
