#pragma once

#include "qt/ByteLink.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QString>
#include <QTimer>

#include <chrono>
#include <deque>
#include <memory>
#include <string_view>

namespace quorvel {

// A route through a program that owns the radio's port and passes our commands on one at a time
// (rigctld, flrig): a request and its answer instead of a byte stream. Underneath is the link that
// reaches the program; its connect, time-out, loss and return are this link's own.
//
// The window's bytes are cut into ";" frames, and each frame goes to the program as one request,
// the next only once the answer to the last is in: neither program keeps frames apart for us, and
// flrig joins a piece of a frame to its own next poll. What an answer holds for the radio's line is
// handed to the window as the text a serial line would carry. An error answer hands on nothing, as a
// radio that does not answer gives nothing, and the trace says why.
//
// A frame already waiting is not queued again: a poll repeated while the program is slow asks
// nothing new. At most kMaxWaiting frames wait; the window polls, so the oldest are the stalest. A
// program that leaves a request unanswered for kAnswerTimeout is taken as lost and the connection is
// made anew, so that a hung program cannot stop the polls for good.
class HubLink : public ByteLink {
    Q_OBJECT
public:
    static constexpr auto kAnswerTimeout = std::chrono::milliseconds{10000};
    static constexpr std::size_t kMaxWaiting = 16;
    // A CAT frame is a few characters; bytes that never reach a ";" are not kept beyond this.
    static constexpr qsizetype kMaxFrame = 64;

    ~HubLink() override;

    void open() override;
    void close() override;
    bool isOpen() const override;
    void write(QByteArrayView bytes) override;
    QByteArray readAll() override;
    qint64 bytesAvailable() const override;
    QString describe() const override;

    // For tests that cannot wait the whole time-out.
    void setAnswerTimeout(std::chrono::milliseconds timeout) { m_answerTimer.setInterval(timeout); }

protected:
    // `name` is the route's kind as written ("rigctld"), also how the trace calls the program;
    // describe() gives the route text, with the carrier's host and port.
    HubLink(std::unique_ptr<ByteLink> carrier, QString name, QObject* parent);

    // Sends one frame as a request over the carrier.
    virtual void send(const QByteArray& frame) = 0;
    // Bytes from the carrier; calls answered() for each answer they complete.
    virtual void take(const QByteArray& bytes) = 0;
    // Drops an answer half read: the connection is new.
    virtual void forget() = 0;

    // The answer to the frame that is out is in: `text` for the window, or nothing with the reason
    // for the trace.
    void answered(const QByteArray& text);
    void answeredNothing(const QString& reason);
    // The program broke its protocol or went silent: what comes on this connection can no longer be
    // matched to our requests, so it is dropped and made anew, as after a loss.
    void restart(const QString& reason);
    ByteLink& carrier() { return *m_carrier; }
    // The frame whose answer is awaited; empty when none is.
    std::string_view outstanding() const { return {m_out.constData(), static_cast<std::size_t>(m_out.size())}; }
    const QString& name() const { return m_name; }

private:
    void queue(QByteArray frame);
    void sendNext();
    void reset();
    void onCarrierOpened();
    void onCarrierLost(const QString& reason);
    void onSilence();
    void finish();

    std::unique_ptr<ByteLink> m_carrier;
    QString m_name;
    QByteArray m_partial; // the window's bytes after its last ";"
    std::deque<QByteArray> m_waiting;
    QByteArray m_out; // the frame whose answer is awaited; empty when none is
    QByteArray m_received;
    QTimer m_answerTimer;
    QElapsedTimer m_sentAt;
};

} // namespace quorvel
