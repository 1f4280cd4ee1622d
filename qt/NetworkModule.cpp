#include "qt/NetworkModule.h"

#include "link/RunTimeError.h"
#include "qt/CatTrace.h"

#include <QDir>
#include <QFileInfo>
#include <QPluginLoader>

#include <utility>

namespace quorvel {

NetworkModule::NetworkModule(QStringList candidates) : m_candidates(std::move(candidates)) {}

QStringList NetworkModule::installedCandidates(const QString& programDir) {
    const QDir dir(programDir);
    return {dir.filePath(QStringLiteral(QUORVEL_NET_MODULE_FILE)),
            QDir::cleanPath(dir.filePath(QStringLiteral(QUORVEL_NET_MODULE_DIR "/" QUORVEL_NET_MODULE_FILE)))};
}

std::unique_ptr<ByteLink> NetworkModule::makeTcpLink(const QString& host, std::uint16_t port,
                                                     bool closedAtOnceRefuses) {
    return kit().makeTcpLink(host, port, closedAtOnceRefuses);
}

std::unique_ptr<NetworkDoor> NetworkModule::makeTcpDoor(const ShareAddress& address, DoorHost& host) {
    return kit().makeTcpDoor(address, host);
}

NetworkKit& NetworkModule::kit() {
    if (m_kit != nullptr) {
        return *m_kit;
    }
    for (const QString& path : std::as_const(m_candidates)) {
        if (!QFileInfo::exists(path)) {
            continue;
        }
        // The loader is let go without unloading: the links and doors made are the module's code.
        QPluginLoader loader(path);
        m_kit = qobject_cast<NetworkKit*>(loader.instance());
        if (m_kit == nullptr) {
            const QString reason =
                loader.isLoaded() ? QStringLiteral("it is not Quorvel's network module") : loader.errorString();
            throw RunTimeError(err::kFileAccess,
                               QStringLiteral("Path/File access error: networking cannot be loaded from %1 (%2)")
                                   .arg(path, reason)
                                   .toStdString());
        }
        qCDebug(lcCat).noquote() << "network module loaded from" << path;
        return *m_kit;
    }
    throw RunTimeError(err::kFileAccess, QStringLiteral("Path/File access error: networking is not installed: no %1; "
                                                        "reinstall Quorvel to reach the radio over the network")
                                             .arg(m_candidates.join(QStringLiteral(" nor ")))
                                             .toStdString());
}

} // namespace quorvel
