#include "qt/ShareHub.h"

#include "link/RunTimeError.h"
#include "qt/CatTrace.h"
#include "qt/PtyDoor.h"
#include "share/ShareAddress.h"

#include <QDir>

#include <chrono>

namespace quorvel {

namespace {

Arbiter::Time now() {
    return std::chrono::steady_clock::now();
}

// "~/" is the user's home, as the operator would type it in a shell.
QString expandHome(const QString& path) {
    if (path == QStringLiteral("~") || path.startsWith(QStringLiteral("~/"))) {
        return QDir::homePath() + path.mid(1);
    }
    return path;
}

} // namespace

ShareHub::ShareHub(NetworkKit& network, QObject* parent) : QObject(parent), m_network(network) {
    m_tick.setSingleShot(true);
    m_tick.setTimerType(Qt::PreciseTimer);
    connect(&m_tick, &QTimer::timeout, this, [this] {
        if (m_arbiter) {
            m_arbiter->tick(now());
            flush();
        }
    });
}

ShareHub::~ShareHub() {
    setDoors({});
}

quint16 ShareHub::port() const {
    return m_door ? m_door->port() : 0;
}

QString ShareHub::ptyPath() const {
    return m_pty ? m_pty->slavePath() : QString();
}

void ShareHub::setDoors(const SharingChoice& doors) {
    // Both doors are set as asked before either's failure is raised.
    std::optional<RunTimeError> failure;
    const auto attempt = [&failure](auto&& open) {
        try {
            open();
        } catch (const RunTimeError& error) {
            failure = failure.value_or(error);
        }
    };
    const QString address = QString::fromStdString(doors.address);
    const QString link = expandHome(QString::fromStdString(doors.link));
    if (!m_door || address != m_doorAddress) {
        attempt([&] { openNetworkDoor(address); });
    }
    if (!m_pty || link != m_pty->linkPath()) {
        attempt([&] { openPtyDoor(link); });
    }
    updateActive();
    if (failure) {
        throw *failure;
    }
}

void ShareHub::openNetworkDoor(const QString& address) {
    if (m_door) {
        m_door.reset();
        m_doorAddress.clear();
        qCDebug(lcCat).noquote() << "share door closed";
    }
    if (address.isEmpty()) {
        return;
    }
    const std::optional<ShareAddress> parsed = parseShareAddress(address.toStdString());
    if (!parsed) {
        throw RunTimeError(
            err::kInvalidPropertyValue,
            QStringLiteral("\"%1\" is not an address and port to share the radio on").arg(address).toStdString());
    }
    m_door = m_network.makeTcpDoor(*parsed, *this);
    m_doorAddress = address;
    qCDebug(lcCat).noquote() << "share door open on" << address;
}

void ShareHub::openPtyDoor(const QString& path) {
    if (m_pty) {
        if (m_ptyClient) {
            leave(*m_ptyClient);
        }
        m_pty.reset();
        qCDebug(lcCat).noquote() << "share link closed";
    }
    if (path.isEmpty()) {
        return;
    }
    auto pty = std::make_unique<PtyDoor>(path);
    connect(pty.get(), &PtyDoor::connected, this, [this, door = pty.get()] {
        m_ptyClient = admit([door](const QByteArray& bytes) { door->write(bytes); }, door->slavePath());
    });
    connect(pty.get(), &PtyDoor::received, this, [this](const QByteArray& bytes) {
        if (m_ptyClient) {
            fromClient(*m_ptyClient, bytes);
        }
    });
    connect(pty.get(), &PtyDoor::hungUp, this, [this] {
        if (m_ptyClient) {
            leave(*m_ptyClient);
        }
    });
    qCDebug(lcCat).noquote() << "share link open at" << path << "to" << pty->slavePath();
    m_pty = std::move(pty);
}

void ShareHub::updateActive() {
    const bool open = m_door != nullptr || m_pty != nullptr;
    if (open == active()) {
        return;
    }
    if (open) {
        m_arbiter = std::make_unique<Arbiter>(now());
        flush();
    } else {
        // The radio is left in the modes it was found in; the panel talks to it directly again.
        const std::string farewell = m_arbiter->farewell();
        if (m_radio && !farewell.empty()) {
            m_radio(farewell);
        }
        m_arbiter.reset();
        m_sinks.clear();
        m_ptyClient.reset();
        m_tick.stop();
    }
    emit activeChanged(open);
    emit programsChanged(static_cast<int>(programs()));
}

std::optional<Arbiter::ClientId> ShareHub::admit(ClientSink sink, const QString& who) {
    if (!m_arbiter) {
        return std::nullopt;
    }
    const std::optional<Arbiter::ClientId> id = m_arbiter->connect(now());
    if (id) {
        m_sinks.emplace(*id, std::move(sink));
        qCDebug(lcCat).noquote() << "share program" << *id << "is" << who;
    } else {
        qCDebug(lcCat).noquote() << "share refused" << who;
    }
    flush();
    emit programsChanged(static_cast<int>(programs()));
    return id;
}

void ShareHub::leave(Arbiter::ClientId client) {
    if (m_ptyClient == client) {
        m_ptyClient.reset();
    }
    if (m_arbiter && m_sinks.erase(client) > 0) {
        m_arbiter->disconnect(client, now());
        flush();
        emit programsChanged(static_cast<int>(programs()));
    }
}

void ShareHub::fromClient(Arbiter::ClientId client, QByteArrayView bytes) {
    if (m_arbiter) {
        m_arbiter->fromClient(client, std::string_view(bytes.data(), static_cast<std::size_t>(bytes.size())), now());
        flush();
    }
}

void ShareHub::attachRadio(const QObject* owner, RadioWriter writer) {
    if (owner == m_radioOwner && m_radio) {
        return;
    }
    m_radioOwner = owner;
    m_radio = std::move(writer);
    if (m_arbiter) {
        m_arbiter->radioChanged(now());
        flush();
    }
}

void ShareHub::detachRadio(const QObject* owner) {
    if (owner == m_radioOwner) {
        m_radioOwner = nullptr;
        m_radio = nullptr;
    }
}

void ShareHub::fromRadio(QByteArrayView bytes) {
    if (m_arbiter) {
        m_arbiter->fromRadio(std::string_view(bytes.data(), static_cast<std::size_t>(bytes.size())), now());
        flush();
    }
}

void ShareHub::fromPanel(QByteArrayView bytes) {
    fromClient(Arbiter::kPanel, bytes);
}

void ShareHub::flush() {
    Arbiter::Output out = m_arbiter->take();
    if (!out.toRadio.empty() && m_radio) {
        m_radio(out.toRadio);
    }
    for (const std::string& line : out.log) {
        qCDebug(lcCat).noquote() << "share" << QString::fromStdString(line);
    }
    for (Arbiter::Delivery& delivery : out.toClients) {
        QByteArray bytes(delivery.bytes.data(), static_cast<qsizetype>(delivery.bytes.size()));
        if (delivery.client == Arbiter::kPanel) {
            emit panelBytes(bytes);
        } else if (const auto sink = m_sinks.find(delivery.client); sink != m_sinks.end()) {
            sink->second(bytes);
        }
    }
    if (const std::optional<Arbiter::Time> next = m_arbiter->nextTick()) {
        const auto wait = std::chrono::ceil<std::chrono::milliseconds>(*next - now());
        m_tick.start(std::max(wait, std::chrono::milliseconds{0}));
    } else {
        m_tick.stop();
    }
}

} // namespace quorvel
