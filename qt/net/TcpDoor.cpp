#include "qt/net/TcpDoor.h"

#include "link/RunTimeError.h"
#include "share/ShareAddress.h"

#include <QHostAddress>
#include <QPointer>
#include <QTcpSocket>

namespace quorvel {

namespace {

constexpr const char* kClientProperty = "shareClient";

QString addressText(const ShareAddress& address) {
    return hostAndPort(QString::fromStdString(address.host), address.port);
}

} // namespace

TcpDoor::TcpDoor(const ShareAddress& address, DoorHost& host) : m_host(host), m_server(this) {
    const QHostAddress listenOn(QString::fromStdString(address.host));
    if (listenOn.isNull()) {
        throw RunTimeError(err::kInvalidPropertyValue,
                           QStringLiteral("\"%1\" is not an address and port to share the radio on")
                               .arg(addressText(address))
                               .toStdString());
    }
    if (!m_server.listen(listenOn, address.port)) {
        throw RunTimeError(err::kPortAlreadyOpen, QStringLiteral("The radio cannot be shared on %1: %2")
                                                      .arg(addressText(address), m_server.errorString())
                                                      .toStdString());
    }
    connect(&m_server, &QTcpServer::newConnection, this, &TcpDoor::takeConnections);
}

TcpDoor::~TcpDoor() {
    // The programs that came in through it go with it.
    for (QTcpSocket* socket : m_server.findChildren<QTcpSocket*>()) {
        disconnect(socket, nullptr, this, nullptr);
        m_host.leave(socket->property(kClientProperty).value<Arbiter::ClientId>());
    }
}

void TcpDoor::takeConnections() {
    while (QTcpSocket* socket = m_server.nextPendingConnection()) {
        const QString who = socket->peerAddress().toString() + u':' + QString::number(socket->peerPort());
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        const QPointer<QTcpSocket> guarded(socket);
        const std::optional<Arbiter::ClientId> id = m_host.admit(
            [guarded](const QByteArray& bytes) {
                if (!guarded) {
                    return;
                }
                // A program that asks and never reads would have its replies kept here without
                // end; it is disconnected instead, once this delivery is over.
                if (guarded->bytesToWrite() > kMaxUnread) {
                    QMetaObject::invokeMethod(guarded, &QTcpSocket::abort, Qt::QueuedConnection);
                    return;
                }
                guarded->write(bytes);
            },
            who);
        if (!id) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        socket->setProperty(kClientProperty, QVariant::fromValue(*id));
        connect(socket, &QTcpSocket::readyRead, this,
                [this, socket, client = *id] { m_host.fromClient(client, socket->readAll()); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket, client = *id] {
            m_host.leave(client);
            socket->deleteLater();
        });
    }
}

} // namespace quorvel
