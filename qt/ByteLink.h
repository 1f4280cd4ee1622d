#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QObject>
#include <QString>

namespace quorvel {

// The bytes of the radio's CAT line, wherever they travel: one implementation per route (a serial
// device, raw TCP, a rigctld, a flrig). The serial component on the window talks to one of these
// and never learns which; a route's protocol quirks stay inside its link, and what readAll() hands
// out is the text a serial line from the radio would carry.
//
// open() throws a RunTimeError for what is known at once (no such device, no permission); a link
// that has to wait (a network connect) returns at once and goes on in the background, with a
// time-out, so the window never freezes. Once opened, a link keeps itself up until close(): a lost
// device or server is watched for and taken up again by itself, announced by lost() and opened().
// A failure met on its own (refused at the start or when the other end returned) comes through
// refused(), at most once per start or return, never as a box of its own.
//
// A decorator wraps another ByteLink, forwards the calls and re-emits its signals.
class ByteLink : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    virtual void open() = 0;
    // Ends the link and any watch for its return; a link closed is never reopened by itself.
    virtual void close() = 0;
    // True while bytes can go to the radio now: false while connecting and while away.
    virtual bool isOpen() const = 0;
    // Throws RunTimeError 8020 when the route refuses the bytes. Bytes written while the link is
    // away are lost, as bytes sent down an unplugged cable are.
    virtual void write(QByteArrayView bytes) = 0;
    virtual QByteArray readAll() = 0;
    virtual qint64 bytesAvailable() const = 0;
    // RTS and DTR, now and at every (re)open; routes without modem lines ignore them.
    virtual void setControlLines(bool rts, bool dtr) {
        Q_UNUSED(rts);
        Q_UNUSED(dtr);
    }
    // What the link leads to, for the trace and for messages: "/dev/ttyUSB0", "tcp 10.0.0.5:4001".
    virtual QString describe() const = 0;

signals:
    void readyRead();
    // Open for bytes: connected at last, or back after a loss.
    void opened();
    // Gone while open; the link is already watching for its return.
    void lost(const QString& reason);
    // A failure met on its own, as the RunTimeError open() would have thrown.
    void refused(int number, const QString& description);
};

} // namespace quorvel
