#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QObject>
#include <QString>
#include <QTimer>

#include <chrono>
#include <memory>

class QSocketNotifier;

namespace quorvel {

// The pseudo-terminal door: a serial port for one program at a time, its slave linked at the path
// the operator gives (a Wine dosdevices entry makes it a COM port for Windows programs).
//
// The slave is the user's alone (mode 0600). The link is removed when the door closes. A link
// already at the path is replaced only when it leads to a pseudo-terminal that no longer exists,
// one left by a run that was killed; anything else there is refused.
//
// A program opening the slave is seen by the master's hang-up ending; its closing, by the hang-up
// coming back. At each hang-up both queues are flushed: replies a program left unread would
// otherwise be the first bytes the next program reads, and a program takes them for the answer
// to its own first question. While nobody has the slave open, the hang-up is looked at every
// kOpenWatch rather than waited on, since the master reports it without pause.
class PtyDoor : public QObject {
    Q_OBJECT
public:
    static constexpr std::chrono::milliseconds kOpenWatch{20};

    // Throws a RunTimeError naming the path when the door cannot open there.
    explicit PtyDoor(const QString& linkPath, QObject* parent = nullptr);
    ~PtyDoor() override;

    PtyDoor(const PtyDoor&) = delete;
    PtyDoor& operator=(const PtyDoor&) = delete;

    void write(QByteArrayView bytes);
    QString linkPath() const { return m_link; }
    QString slavePath() const { return m_slave; }
    bool programConnected() const { return m_connected; }

signals:
    void connected();
    void received(const QByteArray& bytes);
    void hungUp();

private:
    void onReadable();
    void lookForOpen();
    bool hangUpNow() const;
    void hangUp();
    void makeRaw();

    int m_master = -1;
    QString m_link;
    QString m_slave;
    std::unique_ptr<QSocketNotifier> m_notifier;
    QTimer m_openWatch;
    bool m_connected = false;
};

} // namespace quorvel
