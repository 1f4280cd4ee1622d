#pragma once

#include "link/RadioRoute.h"
#include "qt/ByteLink.h"
#include "qt/NetworkKit.h"
#include "qt/SerialDeviceLink.h"

#include <functional>
#include <memory>

namespace quorvel {

// Makes the link that carries a route's bytes; not opened yet. A device route gets the line
// settings; network routes have none.
using LinkFactory = std::function<std::unique_ptr<ByteLink>(const RadioRoute& route, const SerialLine& line)>;

// The link for each kind of route; a network route's from `network`. Throws RunTimeError 8002 for
// a route this build cannot reach (a network route without a network kit), and what the kit throws.
std::unique_ptr<ByteLink> makeRouteLink(const RadioRoute& route, const SerialLine& line, NetworkKit* network);

} // namespace quorvel
