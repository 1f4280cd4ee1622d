#include "qt/RouteLinks.h"

#include "link/RunTimeError.h"
#include "qt/FlrigLink.h"
#include "qt/RigctldLink.h"
#include "qt/TcpLink.h"

#include <QString>

namespace quorvel {

std::unique_ptr<ByteLink> makeRouteLink(const RadioRoute& route, const SerialLine& line) {
    switch (route.kind) {
    case RadioRoute::Kind::Device:
        return std::make_unique<SerialDeviceLink>(QString::fromStdString(route.device), line);
    case RadioRoute::Kind::Tcp: {
        auto link = std::make_unique<TcpLink>(QString::fromStdString(route.host), route.port);
        link->setClosedAtOnceRefuses(true);
        return link;
    }
    case RadioRoute::Kind::Rigctld:
        return std::make_unique<RigctldLink>(QString::fromStdString(route.host), route.port);
    case RadioRoute::Kind::Flrig:
        return std::make_unique<FlrigLink>(QString::fromStdString(route.host), route.port);
    }
    throw RunTimeError(err::kInvalidPortNumber,
                       "Invalid port number: " + radioRouteText(route) + " is a route this build cannot reach");
}

} // namespace quorvel
