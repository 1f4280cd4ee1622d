#pragma once

#include "panel/ConnectionDialog.h"

class QWidget;

namespace quorvel {

// The Connection dialog, modal to the window: the serial devices present with the Com number to put
// the chosen one behind, and the three network routes, each with its host and port. Made afresh at
// each opening, so that it costs nothing while it is closed. Every control is reached by Tab or its
// access key and carries a name for screen readers; object names: optDevice, lstDevices,
// cboComNumber, optTcp, txtTcpHost, txtTcpPort, optRigctld, ..., optFlrig, ....
class QtConnectionDialog : public ConnectionDialog {
public:
    explicit QtConnectionDialog(QWidget* window) : m_window(window) {}

    std::optional<ConnectionChoice> choose(const ConnectionOffer& offer) override;

private:
    QWidget* m_window;
};

} // namespace quorvel
