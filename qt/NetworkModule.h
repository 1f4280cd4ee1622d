#pragma once

#include "qt/NetworkKit.h"

#include <QString>
#include <QStringList>

namespace quorvel {

// The network kit as a module loaded the first time a network route or the network door needs it.
// QtNetwork maps in Kerberos, libproxy and the resolver when it loads; linked into the program, all
// of that would stay resident in every start on a serial port, which is how most stations run.
//
// The module is the first of the candidate files that exists. When none exists, or the one found
// does not load, every use throws RunTimeError 75 naming the file, which the handler that asked
// reports as any other error; the next use tries again.
class NetworkModule : public NetworkKit {
public:
    explicit NetworkModule(QStringList candidates);

    // Beside the program (a build tree), then where the package installs it, found from the
    // program's own folder.
    static QStringList installedCandidates(const QString& programDir);

    std::unique_ptr<ByteLink> makeTcpLink(const QString& host, std::uint16_t port, bool closedAtOnceRefuses) override;
    std::unique_ptr<NetworkDoor> makeTcpDoor(const ShareAddress& address, DoorHost& host) override;

private:
    NetworkKit& kit();

    QStringList m_candidates;
    NetworkKit* m_kit = nullptr; // the module's own; it stays loaded until the program ends
};

} // namespace quorvel
