// Choosing the radio's connection in the Connection dialog.
#include "link/PortRules.h"
#include "link/RadioRoute.h"
#include "link/RunTimeError.h"
#include "panel/Form1.h"

namespace quorvel {

namespace {

// The route text for a network route as the operator typed it; whether it is one is for
// chooseRadio to say, with the accepted forms.
std::string routeText(const ConnectionChoice& choice) {
    const char* kind = choice.kind == ConnectionChoice::Kind::Tcp       ? "tcp:"
                       : choice.kind == ConnectionChoice::Kind::Rigctld ? "rigctld:"
                                                                        : "flrig:";
    const bool bareIpv6 = choice.host.find(':') != std::string::npos && choice.host.front() != '[';
    return kind + (bareIpv6 ? "[" + choice.host + "]" : choice.host) + ":" + choice.port;
}

} // namespace

void Form1::mnuConnection_Click() {
    trapped("VB6 runtime error (mnuConnection): ", [this] {
        if (m_c.connectionDialog == nullptr || m_c.serialDevices == nullptr || m_c.portFolder == nullptr) {
            throw RunTimeError(err::kObjectNotSet, "Object variable or With block variable not set");
        }
        ConnectionDialog& dialog = *m_c.connectionDialog;
        const PortFolder& folder = *m_c.portFolder;
        ConnectionOffer offer;
        offer.devices = m_c.serialDevices->devices();
        std::vector<std::string> realPorts;
        for (const SerialDevice& device : offer.devices) {
            realPorts.push_back(device.path);
        }
        for (int n = 1; n <= kPortCount; ++n) {
            offer.comTargets.at(static_cast<std::size_t>(n - 1)) = folder.leadsTo(n, realPorts);
        }
        if (const auto route = parseRadioRoute(radio)) {
            offer.current = {route->kind, route->device, 0, route->host,
                             route->kind == RadioRoute::Kind::Device ? std::string() : std::to_string(route->port)};
        } else {
            try {
                if (const auto n = portItemFor(port)) {
                    offer.current.device = offer.comTargets.at(static_cast<std::size_t>(*n - 1));
                }
            } catch (const RunTimeError&) {
                // A hand-edited port that is no number: the dialog starts on no device.
            }
        }

        const auto choice = dialog.choose(offer);
        if (!choice) {
            return;
        }
        if (choice->kind != ConnectionChoice::Kind::Device) {
            chooseRadio(routeText(*choice));
            return;
        }
        const std::string& device = choice->device;
        int n = choice->comNumber;
        if (n == 0) {
            // A device some Com number reaches already keeps that number rather than taking another.
            if (const auto known = folder.numberOf(device, realPorts)) {
                mnuCom_Click(*known);
                return;
            }
            n = folder.firstFree(realPorts);
        } else if (folder.replaces(n, device)) {
            const std::string prompt = "Com" + std::to_string(n) + " leads to " +
                                       offer.comTargets.at(static_cast<std::size_t>(n - 1)) + ". Make it lead to " +
                                       device + " instead?";
            const std::string detail = "Only the link " + folder.dirs().mappingDir + "/com" + std::to_string(n) +
                                       " changes; the device it led to stays as it is.";
            if (!m_c.dialogs.askYesNo(prompt, detail)) {
                return;
            }
        }
        folder.link(n, device);
        mnuCom_Click(n);
    });
}

} // namespace quorvel
