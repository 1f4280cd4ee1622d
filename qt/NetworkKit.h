#pragma once

#include "qt/ByteLink.h"
#include "share/Arbiter.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QtPlugin>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

namespace quorvel {

struct ShareAddress;

// HOST:PORT as routes and share addresses are written: an IPv6 host in brackets, where its own
// colons would otherwise run into the port's.
inline QString hostAndPort(const QString& host, std::uint16_t port) {
    return (host.contains(u':') ? u'[' + host + u']' : host) + u':' + QString::number(port);
}

// What a network door hands the programs that come in through it to: the sharing hub.
class DoorHost {
public:
    // Takes the bytes meant for one program.
    using Sink = std::function<void(const QByteArray&)>;

    // Nothing when the program is turned away; the door then drops its connection.
    virtual std::optional<Arbiter::ClientId> admit(Sink sink, const QString& who) = 0;
    virtual void fromClient(Arbiter::ClientId client, QByteArrayView bytes) = 0;
    virtual void leave(Arbiter::ClientId client) = 0;

protected:
    DoorHost() = default;
    DoorHost(const DoorHost&) = default;
    DoorHost& operator=(const DoorHost&) = default;
    ~DoorHost() = default;
};

// A network door listens while it exists; the programs still connected leave the host when it goes.
class NetworkDoor {
public:
    NetworkDoor() = default;
    NetworkDoor(const NetworkDoor&) = delete;
    NetworkDoor& operator=(const NetworkDoor&) = delete;
    virtual ~NetworkDoor() = default;

    virtual std::uint16_t port() const = 0;
};

// What needs QtNetwork: TCP connections to the radio's routes and the network door. The program
// reaches it through NetworkModule, which loads it the first time it is needed.
class NetworkKit {
public:
    NetworkKit() = default;
    NetworkKit(const NetworkKit&) = delete;
    NetworkKit& operator=(const NetworkKit&) = delete;
    virtual ~NetworkKit() = default;

    // Raw bytes to HOST:PORT, not opened yet. closedAtOnceRefuses: a server that takes the
    // connection and closes it at once is refusing (ser2net without its device), not a loss.
    virtual std::unique_ptr<ByteLink> makeTcpLink(const QString& host, std::uint16_t port,
                                                  bool closedAtOnceRefuses) = 0;
    // Listening already. Throws RunTimeError 380 for a host that is no address, 8005 when the
    // address cannot be listened on.
    virtual std::unique_ptr<NetworkDoor> makeTcpDoor(const ShareAddress& address, DoorHost& host) = 0;
};

} // namespace quorvel

Q_DECLARE_INTERFACE(quorvel::NetworkKit, "org.quorvel.Quorvel.NetworkKit/1")
