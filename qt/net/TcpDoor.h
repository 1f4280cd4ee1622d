#pragma once

#include "qt/NetworkKit.h"

#include <QObject>
#include <QTcpServer>

namespace quorvel {

// The network door: a TCP server on the operator's address, each connection one program. A
// program that asks and never reads is disconnected once kMaxUnread of its replies wait.
class TcpDoor : public QObject, public NetworkDoor {
    Q_OBJECT
public:
    static constexpr qint64 kMaxUnread = qint64{64} * 1024;

    // Throws RunTimeError 380 for a host that is no address, 8005 when it cannot listen there.
    TcpDoor(const ShareAddress& address, DoorHost& host);
    ~TcpDoor() override;

    std::uint16_t port() const override { return m_server.serverPort(); }

private:
    void takeConnections();

    DoorHost& m_host;
    QTcpServer m_server;
};

} // namespace quorvel
