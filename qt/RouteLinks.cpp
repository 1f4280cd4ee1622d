#include "qt/RouteLinks.h"

#include "link/RunTimeError.h"
#include "qt/FlrigLink.h"
#include "qt/RigctldLink.h"

#include <QString>

namespace quorvel {

std::unique_ptr<ByteLink> makeRouteLink(const RadioRoute& route, const SerialLine& line, NetworkKit* network) {
    const QString host = QString::fromStdString(route.host);
    switch (route.kind) {
    case RadioRoute::Kind::Device:
        return std::make_unique<SerialDeviceLink>(QString::fromStdString(route.device), line);
    case RadioRoute::Kind::Tcp:
        if (network != nullptr) {
            return network->makeTcpLink(host, route.port, true);
        }
        break;
    case RadioRoute::Kind::Rigctld:
        if (network != nullptr) {
            return std::make_unique<RigctldLink>(network->makeTcpLink(host, route.port, false));
        }
        break;
    case RadioRoute::Kind::Flrig:
        if (network != nullptr) {
            return std::make_unique<FlrigLink>(network->makeTcpLink(host, route.port, false));
        }
        break;
    }
    throw RunTimeError(err::kInvalidPortNumber,
                       "Invalid port number: " + radioRouteText(route) + " is a route this build cannot reach");
}

} // namespace quorvel
