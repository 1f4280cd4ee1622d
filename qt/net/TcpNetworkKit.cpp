#include "qt/net/TcpNetworkKit.h"

#include "qt/net/TcpDoor.h"
#include "qt/net/TcpLink.h"

namespace quorvel {

std::unique_ptr<ByteLink> TcpNetworkKit::makeTcpLink(const QString& host, std::uint16_t port,
                                                     bool closedAtOnceRefuses) {
    auto link = std::make_unique<TcpLink>(host, port);
    link->setClosedAtOnceRefuses(closedAtOnceRefuses);
    return link;
}

std::unique_ptr<NetworkDoor> TcpNetworkKit::makeTcpDoor(const ShareAddress& address, DoorHost& host) {
    return std::make_unique<TcpDoor>(address, host);
}

} // namespace quorvel
