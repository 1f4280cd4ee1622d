#pragma once

#include "qt/NetworkKit.h"

#include <QObject>

namespace quorvel {

// The network kit itself, and the plugin the program loads it as.
class TcpNetworkKit : public QObject, public NetworkKit {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID "org.quorvel.Quorvel.NetworkKit/1")
    Q_INTERFACES(quorvel::NetworkKit)
public:
    std::unique_ptr<ByteLink> makeTcpLink(const QString& host, std::uint16_t port, bool closedAtOnceRefuses) override;
    std::unique_ptr<NetworkDoor> makeTcpDoor(const ShareAddress& address, DoorHost& host) override;
};

} // namespace quorvel
