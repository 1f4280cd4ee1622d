#pragma once

#include "qt/ByteLink.h"

#include <QElapsedTimer>
#include <QTcpSocket>
#include <QTimer>

#include <chrono>
#include <cstdint>

namespace quorvel {

// Raw bytes over TCP: ser2net, a terminal server, or another Quorvel sharing its radio. QTcpSocket
// does the lookup and the connect without blocking the window, and reports loss by its signals.
//
// open() only starts connecting; a connect that neither succeeds nor fails within kConnectTimeout
// is given up. The first failure after open() (refused, no such host, time-out) is emitted through
// refused() as 8002 naming host, port and the system's reason; after that, and after a loss, the
// link tries again every kRetryInterval without a word until the server answers: a server stopped
// and started again is the same as an adapter pulled and plugged in again.
//
// On the raw route (setClosedAtOnceRefuses), a server that takes the connection and closes it within
// kClosedAtOnce refuses too: ser2net does so, with a line of text, when it cannot open the device
// behind it. The first such close after open() is emitted through refused() naming host, port and
// what the server said; later ones are the device still away and go unreported, as connect
// failures do. A program that answers requests (rigctld, flrig) is not judged by that.
class TcpLink : public ByteLink {
    Q_OBJECT
public:
    static constexpr auto kConnectTimeout = std::chrono::milliseconds{3000};
    static constexpr auto kRetryInterval = std::chrono::milliseconds{500};
    static constexpr auto kClosedAtOnce = std::chrono::milliseconds{1000};

    TcpLink(QString host, std::uint16_t port, QObject* parent = nullptr);
    ~TcpLink() override;

    void open() override;
    void close() override;
    bool isOpen() const override;
    void write(QByteArrayView bytes) override;
    QByteArray readAll() override;
    qint64 bytesAvailable() const override;
    QString describe() const override;

    void setClosedAtOnceRefuses(bool refuses) { m_closedAtOnceRefuses = refuses; }

    // For tests that cannot wait the full time-out.
    void setConnectTimeout(std::chrono::milliseconds timeout) { m_connectTimer.setInterval(timeout); }

private:
    enum class State { Closed, Connecting, Open, Waiting };

    void connectNow();
    void onConnected();
    void onDisconnected();
    void onErrorOccurred(QAbstractSocket::SocketError error);
    void connectFailed(const QString& reason);
    void dropped(const QString& reason);

    QString m_host;
    std::uint16_t m_port;
    QTcpSocket m_socket;
    QTimer m_connectTimer;
    QTimer m_retryTimer;
    State m_state = State::Closed;
    bool m_reportFailure = false; // no connect has failed since open()
    bool m_closedAtOnceRefuses = false;
    bool m_reportClosedAtOnce = false; // nor has a connection been closed at once, nor lasted
    QElapsedTimer m_openedAt;
    QByteArray m_firstWords; // what the server said first, for a refusal
};

} // namespace quorvel
