#pragma once

#include "link/PortRules.h"
#include "qt/ByteLink.h"

#include <QSerialPort>
#include <QString>
#include <QTimer>

#include <chrono>
#include <cstdint>
#include <optional>

namespace quorvel {

// The line settings of a serial port.
struct SerialLine {
    qint32 baudRate = 9600;
    QSerialPort::Parity parity = QSerialPort::NoParity;
    QSerialPort::DataBits dataBits = QSerialPort::Data8;
    QSerialPort::StopBits stopBits = QSerialPort::OneStop;
};

// A settings text "baud,P,data,stop" ("38400,N,8,1"), or none when it is not one.
std::optional<SerialLine> parseSerialLine(const QString& text);

// A serial device on QSerialPort, named by Com N or by its path.
//
// Com N is the first entry of portDeviceCandidates() that exists (on Windows it is COMN); a link
// is followed to the device itself before opening, so the device's own lock file is the one taken.
// A link that exists but leads nowhere refuses the port instead of falling through to the next
// candidate: an unplugged adapter must not quietly become /dev/ttyS0.
//
// open() throws RunTimeErrors whose description names the device: 8002 no such serial device,
// 8005 the device is busy, 8010 no permission. A failed write is 8020.
//
// When the device vanishes while open (a USB adapter pulled), the link closes itself at once and
// emits lost(); it then watches for the same entry to lead to a device again and reopens it with
// the same line settings and control lines: operators pull and replug USB adapters all the time.
// A reopen refused for want of rights or because another program holds the device is emitted once
// per return of the device through refused(). Only a return through the same mapping counts: with
// its link gone, Com N falling through to /dev/ttyS<N-1> is another device. A write that finds the
// device gone is that same loss: nothing is sent and nothing raised.
class SerialDeviceLink : public ByteLink {
    Q_OBJECT
public:
    // Where Com N was found (the candidate that exists) and the device it leads to; both empty when
    // no candidate exists.
    struct Mapping {
        QString entry;
        QString device;
    };
    static Mapping mappingFor(int port, const PortSearchDirs& dirs);

    SerialDeviceLink(int commPort, PortSearchDirs dirs, SerialLine line, QObject* parent = nullptr);
    SerialDeviceLink(QString devicePath, SerialLine line, QObject* parent = nullptr);
    ~SerialDeviceLink() override;

    void open() override;
    void close() override;
    bool isOpen() const override;
    void write(QByteArrayView bytes) override;
    QByteArray readAll() override;
    qint64 bytesAvailable() const override;
    void setControlLines(bool rts, bool dtr) override;
    QString describe() const override;

    // How often a vanished device is looked for; it is reopened well within 2 s of its return.
    static constexpr std::chrono::milliseconds kReturnWatchInterval{250};

    // True while a vanished device is being watched for.
    bool watchingForReturn() const { return m_returnWatch.isActive(); }

private:
    Mapping mapping() const;
    void openDevice();
    void applyControlLines();
    void onErrorOccurred(QSerialPort::SerialPortError error);
    // The open device still answers and is still the one its path names.
    bool stillThere() const;
    // What tells a link or device node from one made anew at the same path.
    struct EntryStamp {
        std::uint64_t inode = 0;
        std::int64_t changedSeconds = 0;
        std::int64_t changedNanoseconds = 0;
        bool operator==(const EntryStamp&) const = default;
    };
    static EntryStamp entryStamp(const QString& entry);
    bool isAnotherPseudoTerminal(const Mapping& found) const;
    void lookForReturn();

    int m_commPort = 0;
    bool m_byPath = false; // named by m_path rather than by Com N
    PortSearchDirs m_dirs;
    QString m_path;
    SerialLine m_line;
    QSerialPort m_port;
    QString m_device; // the path last opened, for messages: QSerialPort keeps only a short name
    QString m_entry;  // where that device was found; a vanished device must come back there
    EntryStamp m_entryStamp;
    bool m_rts = false;
    bool m_dtr = false;
    QTimer m_returnWatch;
    bool m_reportedThisReturn = false; // a refused reopen was emitted since the device came back
};

} // namespace quorvel
