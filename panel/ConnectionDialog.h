#pragma once

#include "link/RadioRoute.h"
#include "link/SerialDevices.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorvel {

// Where a network route's fields start when it is not the route in use: the servers usually run on
// the station computer itself, rigctld and flrig on their own usual ports. A raw TCP server has no
// usual port, so that one is left for the operator to fill in.
constexpr std::string_view kDefaultRouteHost = "127.0.0.1";
constexpr std::string_view kDefaultRigctldPort = "4532";
constexpr std::string_view kDefaultFlrigPort = "12345";

// The operator's choice: a device to put behind a Com number, or a network route.
struct ConnectionChoice {
    using Kind = RadioRoute::Kind;
    Kind kind = Kind::Device;
    std::string device; // Device: the path to link to
    int comNumber = 0;  // Device: the number asked for, 0 for the first free one
    std::string host;   // a route's host and port, as typed
    std::string port;
    bool operator==(const ConnectionChoice&) const = default;
};

// What the connection dialog offers and starts from.
struct ConnectionOffer {
    std::vector<SerialDevice> devices;
    // What Com1 .. Com16 lead to now, empty where nothing (PortFolder::leadsTo).
    std::array<std::string, 16> comTargets;
    // The connection in use: a route, or the device the Com number in use leads to (empty when none).
    ConnectionChoice current;
};

// The modal dialog that chooses the radio's connection. Returns when the operator has closed it;
// nothing on Cancel.
class ConnectionDialog {
public:
    virtual ~ConnectionDialog() = default;
    virtual std::optional<ConnectionChoice> choose(const ConnectionOffer& offer) = 0;
};

} // namespace quorvel
