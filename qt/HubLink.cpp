#include "qt/HubLink.h"

#include "link/RunTimeError.h"
#include "qt/CatTrace.h"

#include <algorithm>
#include <utility>

namespace quorvel {

HubLink::HubLink(std::unique_ptr<ByteLink> carrier, QString name, QObject* parent)
    : ByteLink(parent), m_carrier(std::move(carrier)), m_name(std::move(name)), m_answerTimer(this) {
    m_answerTimer.setSingleShot(true);
    m_answerTimer.setInterval(kAnswerTimeout);
    connect(&m_answerTimer, &QTimer::timeout, this, &HubLink::onSilence);
    connect(m_carrier.get(), &ByteLink::readyRead, this, [this] { take(m_carrier->readAll()); });
    connect(m_carrier.get(), &ByteLink::opened, this, &HubLink::onCarrierOpened);
    connect(m_carrier.get(), &ByteLink::lost, this, &HubLink::onCarrierLost);
    connect(m_carrier.get(), &ByteLink::refused, this, &ByteLink::refused);
}

HubLink::~HubLink() {
    // The carrier goes first, so that nothing it emits on its way out reaches a half-destroyed link.
    m_carrier->disconnect(this);
    m_carrier.reset();
}

void HubLink::open() {
    reset();
    m_carrier->open();
}

void HubLink::close() {
    reset();
    m_carrier->close();
}

bool HubLink::isOpen() const {
    return m_carrier->isOpen();
}

void HubLink::write(QByteArrayView bytes) {
    if (!isOpen()) {
        return;
    }
    for (const char c : bytes) {
        // The radio ignores line ends, and a line end inside a request would end it early.
        if (c == '\r' || c == '\n') {
            continue;
        }
        if (m_partial.size() < kMaxFrame) {
            m_partial += c;
        }
        if (c == ';') {
            queue(std::exchange(m_partial, {}));
        }
    }
    sendNext();
}

QByteArray HubLink::readAll() {
    return std::exchange(m_received, {});
}

qint64 HubLink::bytesAvailable() const {
    return m_received.size();
}

QString HubLink::describe() const {
    // The carrier's "tcp:HOST:PORT" with this route's kind in front.
    return m_name + u':' + m_carrier->describe().section(u':', 1);
}

void HubLink::queue(QByteArray frame) {
    if (std::find(m_waiting.begin(), m_waiting.end(), frame) != m_waiting.end()) {
        return;
    }
    if (m_waiting.size() >= kMaxWaiting) {
        qCDebug(lcCat).noquote() << m_name << "dropped" << visibleBytes(m_waiting.front()) << "waiting too long";
        m_waiting.pop_front();
    }
    m_waiting.push_back(std::move(frame));
}

void HubLink::sendNext() {
    if (!m_out.isEmpty() || m_waiting.empty() || !isOpen()) {
        return;
    }
    m_out = std::move(m_waiting.front());
    m_waiting.pop_front();
    m_sentAt.start();
    m_answerTimer.start();
    try {
        send(m_out);
    } catch (const RunTimeError& failure) {
        // The carrier found the connection broken; its loss is on its way and clears the queue.
        answeredNothing(QString::fromStdString(failure.description()));
    }
}

void HubLink::answered(const QByteArray& text) {
    if (m_out.isEmpty()) {
        qCDebug(lcCat).noquote() << m_name << "dropped" << visibleBytes(text) << "asked for by no request";
        return;
    }
    qCDebug(lcCat).noquote() << m_name << "answer" << visibleBytes(text) << "after" << m_sentAt.elapsed() << "ms";
    m_received += text;
    finish();
    if (!text.isEmpty()) {
        emit readyRead();
    }
}

void HubLink::answeredNothing(const QString& reason) {
    if (m_out.isEmpty()) {
        qCDebug(lcCat).noquote() << m_name << "dropped an answer asked for by no request:" << reason;
        return;
    }
    qCDebug(lcCat).noquote() << m_name << "nothing for the window after" << m_sentAt.elapsed() << "ms:" << reason;
    finish();
}

void HubLink::finish() {
    m_answerTimer.stop();
    m_out.clear();
    sendNext();
}

void HubLink::reset() {
    m_answerTimer.stop();
    m_partial.clear();
    m_waiting.clear();
    m_out.clear();
    m_received.clear();
    forget();
}

void HubLink::onCarrierOpened() {
    reset();
    emit opened();
}

void HubLink::onCarrierLost(const QString& reason) {
    reset();
    emit lost(reason);
}

void HubLink::onSilence() {
    const QString reason = QStringLiteral("%1 gave no answer to %2 within %3 s")
                               .arg(m_name, visibleBytes(m_out))
                               .arg(m_answerTimer.interval() / 1000.0);
    restart(reason);
}

void HubLink::restart(const QString& reason) {
    qCDebug(lcCat).noquote() << m_name << "connection made anew:" << reason;
    reset();
    m_carrier->close();
    m_carrier->open();
    emit lost(reason);
}

} // namespace quorvel
