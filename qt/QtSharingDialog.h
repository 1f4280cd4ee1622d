#pragma once

#include "panel/SharingDoors.h"

#include <QDialog>

#include <functional>

class QCheckBox;
class QLabel;
class QLineEdit;

namespace quorvel {

// The Sharing box's controls: the network door (an address and port) and the serial port door (the
// path its pseudo-terminal is linked at), each with a tick that opens it. While the address typed
// is not this machine's own, the box says in words what that means.
class QtSharingBox : public QDialog {
    Q_OBJECT
public:
    QtSharingBox(const SharingChoice& current, QWidget* parent);

    SharingChoice choice() const;
    // The warning about an address other computers reach; empty while there is none to give.
    QString warning() const;

    QCheckBox* networkTick() const { return m_networkTick; }
    QLineEdit* addressEdit() const { return m_address; }
    QCheckBox* linkTick() const { return m_linkTick; }
    QLineEdit* linkEdit() const { return m_link; }

private:
    void sayWarning();

    QCheckBox* m_networkTick;
    QLineEdit* m_address;
    QLabel* m_warning;
    QCheckBox* m_linkTick;
    QLineEdit* m_link;
};

// The box, modal to the window. A filler, when set, stands in for the user: it is handed the box
// instead of the box being shown, and its answer (accept or not) is the box's.
class QtSharingDialog : public SharingDialog {
public:
    using Filler = std::function<bool(QtSharingBox&)>;

    explicit QtSharingDialog(QWidget* window) : m_window(window) {}

    std::optional<SharingChoice> chooseDoors(const SharingChoice& current) override;
    void setFiller(Filler filler) { m_filler = std::move(filler); }

private:
    QWidget* m_window;
    Filler m_filler;
};

} // namespace quorvel
