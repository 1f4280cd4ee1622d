#pragma once

#include "panel/SharingDoors.h"
#include "qt/NetworkKit.h"
#include "share/Arbiter.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QObject>
#include <QTimer>

#include <functional>
#include <map>
#include <memory>

namespace quorvel {

class PtyDoor;

// The doors other programs share the radio through, and the Arbiter that lets their frames onto
// the line: the network door (a TCP server; each connection is one program) and the
// pseudo-terminal door. The hub is in place only while a door is open; with both closed the
// panel's bytes go to the radio as they always did.
//
// The radio side is whatever carries the panel's bytes: it hands the hub what the radio sent
// (fromRadio) and the panel's own writes (fromPanel), and takes the hub's writes through the
// writer it attached. The panel's replies come back through panelBytes().
class ShareHub : public QObject, public SharingDoors, private DoorHost {
    Q_OBJECT
public:
    explicit ShareHub(NetworkKit& network, QObject* parent = nullptr);
    ~ShareHub() override;

    ShareHub(const ShareHub&) = delete;
    ShareHub& operator=(const ShareHub&) = delete;

    void setDoors(const SharingChoice& doors) override;

    bool active() const { return m_arbiter != nullptr; }
    std::size_t programs() const { return m_arbiter ? m_arbiter->clientCount() : 0; }
    // Where the network door listens; port 0 while it is closed.
    quint16 port() const;
    // The pseudo-terminal behind the link; empty while that door is closed.
    QString ptyPath() const;

    using RadioWriter = std::function<void(QByteArrayView)>;
    // The radio is reached afresh through this owner's writer; the hub then reads its modes again.
    void attachRadio(const QObject* owner, RadioWriter writer);
    // The owner's writer is no longer usable; a later owner's is kept.
    void detachRadio(const QObject* owner);
    void fromRadio(QByteArrayView bytes);
    void fromPanel(QByteArrayView bytes);

signals:
    void panelBytes(const QByteArray& bytes);
    void activeChanged(bool active);
    void programsChanged(int programs);

private:
    using ClientSink = DoorHost::Sink;

    void openNetworkDoor(const QString& address);
    void openPtyDoor(const QString& path);
    void updateActive();
    std::optional<Arbiter::ClientId> admit(ClientSink sink, const QString& who) override;
    void leave(Arbiter::ClientId client) override;
    void fromClient(Arbiter::ClientId client, QByteArrayView bytes) override;
    // Hands on whatever the Arbiter wants sent and times its next tick.
    void flush();

    std::unique_ptr<Arbiter> m_arbiter;
    QTimer m_tick;
    NetworkKit& m_network;
    std::unique_ptr<NetworkDoor> m_door;
    QString m_doorAddress; // as the operator wrote it
    std::unique_ptr<PtyDoor> m_pty;
    std::optional<Arbiter::ClientId> m_ptyClient;
    std::map<Arbiter::ClientId, ClientSink> m_sinks;
    RadioWriter m_radio;
    const QObject* m_radioOwner = nullptr;
};

} // namespace quorvel
