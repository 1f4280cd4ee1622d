#include "qt/net/TcpLink.h"

#include "link/RunTimeError.h"
#include "qt/NetworkKit.h"

#include <utility>

namespace quorvel {

namespace {
constexpr qsizetype kFirstWordsKept = 200;
} // namespace

TcpLink::TcpLink(QString host, std::uint16_t port, QObject* parent)
    : ByteLink(parent), m_host(std::move(host)), m_port(port), m_socket(this), m_connectTimer(this),
      m_retryTimer(this) {
    m_connectTimer.setSingleShot(true);
    m_connectTimer.setInterval(kConnectTimeout);
    m_retryTimer.setSingleShot(true);
    m_retryTimer.setInterval(kRetryInterval);
    connect(&m_socket, &QTcpSocket::connected, this, &TcpLink::onConnected);
    connect(&m_socket, &QTcpSocket::disconnected, this, &TcpLink::onDisconnected);
    connect(&m_socket, &QTcpSocket::errorOccurred, this, &TcpLink::onErrorOccurred);
    connect(&m_socket, &QTcpSocket::readyRead, this, &ByteLink::readyRead);
    connect(&m_connectTimer, &QTimer::timeout, this,
            [this] { connectFailed(QStringLiteral("no answer within %1 s").arg(m_connectTimer.interval() / 1000.0)); });
    connect(&m_retryTimer, &QTimer::timeout, this, &TcpLink::connectNow);
}

TcpLink::~TcpLink() {
    close();
}

void TcpLink::open() {
    close();
    m_reportFailure = true;
    m_reportClosedAtOnce = m_closedAtOnceRefuses;
    connectNow();
}

void TcpLink::close() {
    m_state = State::Closed;
    m_connectTimer.stop();
    m_retryTimer.stop();
    m_socket.abort();
}

bool TcpLink::isOpen() const {
    return m_state == State::Open;
}

void TcpLink::write(QByteArrayView bytes) {
    if (m_state != State::Open || bytes.isEmpty()) {
        return;
    }
    if (m_socket.write(bytes.data(), bytes.size()) != bytes.size()) {
        throw RunTimeError(
            err::kPortIoFailed,
            QStringLiteral("Error writing to %1: %2").arg(describe(), m_socket.errorString()).toStdString());
    }
}

QByteArray TcpLink::readAll() {
    QByteArray bytes = m_socket.readAll();
    if (m_reportClosedAtOnce && m_firstWords.size() < kFirstWordsKept) {
        m_firstWords += bytes.left(kFirstWordsKept - m_firstWords.size());
    }
    return bytes;
}

qint64 TcpLink::bytesAvailable() const {
    return m_socket.bytesAvailable();
}

QString TcpLink::describe() const {
    return QStringLiteral("tcp:") + hostAndPort(m_host, m_port);
}

void TcpLink::connectNow() {
    m_state = State::Connecting;
    m_socket.abort();
    m_connectTimer.start();
    m_socket.connectToHost(m_host, m_port);
}

void TcpLink::onConnected() {
    m_connectTimer.stop();
    // A CAT exchange is a few bytes each way; waiting to fill a segment would only delay it.
    m_socket.setSocketOption(QAbstractSocket::LowDelayOption, 1);
    m_state = State::Open;
    m_reportFailure = false;
    m_openedAt.start();
    m_firstWords.clear();
    emit opened();
}

void TcpLink::onDisconnected() {
    if (m_state == State::Open) {
        dropped(QStringLiteral("the server closed the connection"));
    }
}

void TcpLink::onErrorOccurred(QAbstractSocket::SocketError error) {
    if (m_state == State::Connecting) {
        connectFailed(m_socket.errorString());
    } else if (m_state == State::Open && error != QAbstractSocket::RemoteHostClosedError) {
        dropped(m_socket.errorString());
    }
}

void TcpLink::dropped(const QString& reason) {
    const bool atOnce = m_openedAt.elapsed() < kClosedAtOnce.count();
    if (m_reportClosedAtOnce && atOnce) {
        m_firstWords += m_socket.peek(kFirstWordsKept);
    }
    const QString said = QString::fromLatin1(m_firstWords.left(kFirstWordsKept)).simplified();
    m_state = State::Waiting;
    m_socket.abort();
    m_retryTimer.start();
    emit lost(reason);
    if (m_reportClosedAtOnce && atOnce) {
        m_reportClosedAtOnce = false;
        emit refused(err::kInvalidPortNumber,
                     QStringLiteral("Invalid port number: %1 port %2 closed the connection at once (%3)")
                         .arg(m_host)
                         .arg(m_port)
                         .arg(said.isEmpty() ? reason : said));
    }
    if (!atOnce) {
        // It worked once: from now on the server away is the device away, not a refusal.
        m_reportClosedAtOnce = false;
    }
}

void TcpLink::connectFailed(const QString& reason) {
    if (m_state != State::Connecting) {
        return;
    }
    m_state = State::Waiting;
    m_connectTimer.stop();
    m_socket.abort();
    m_retryTimer.start();
    if (m_reportFailure) {
        m_reportFailure = false;
        emit refused(err::kInvalidPortNumber, QStringLiteral("Invalid port number: cannot connect to %1 port %2 (%3)")
                                                  .arg(m_host)
                                                  .arg(m_port)
                                                  .arg(reason));
    }
}

} // namespace quorvel
