#pragma once

#include "link/PortRules.h"
#include "link/RunTimeError.h"
#include "link/SerialComm.h"

#include <QObject>
#include <QSerialPort>
#include <QString>
#include <QTimer>

#include <chrono>
#include <optional>

namespace quorvel {

// The serial component on QSerialPort.
//
// Com N is the first entry of portDeviceCandidates() that exists (on Windows it is COMN); a link
// is followed to the device itself before opening, so the device's own lock file is the one taken.
// A link that exists but leads nowhere refuses the port instead of falling through to the next
// candidate: an unplugged adapter must not quietly become /dev/ttyS0.
//
// Errors are RunTimeErrors whose description names the device: 8002 the number maps to no serial
// device, 8005 the device is busy (or CommPort is written while open), 8010 no permission, 8018
// a write while closed, 8020 a failed write, 380 a Settings text that is not "baud,P,data,stop".
//
// Settings takes effect at the next open; RThreshold, RTSEnable and DTREnable at once and at every
// open. Text is handed over byte for byte: one char of std::string per byte (Latin-1).
// When the device vanishes while open (a USB adapter pulled), the port closes itself at once and
// reports nothing; portOpen() reads false while it is away. The component then watches for the
// same Com N to lead to a device again and reopens it by itself with the same line settings and
// control lines: operators pull and replug USB adapters all the time. A reopen refused for want
// of rights or because another program holds the device is raised once per return of the device:
// onComm() fires and the next input() throws it. Choosing a port (CommPort, PortOpen) ends the
// watch. Only a return through the same mapping counts: with its link gone, Com N falling through
// to /dev/ttyS<N-1> is another device. A write that finds the device gone is that same loss: nothing is sent and
// nothing raised.
class QtSerialComm : public QObject, public SerialComm {
    Q_OBJECT
public:
    explicit QtSerialComm(PortSearchDirs dirs, QObject* parent = nullptr);
    ~QtSerialComm() override;

    // The folders of the user's own environment (HOME, XDG_CONFIG_HOME).
    static PortSearchDirs defaultSearchDirs();

    void setCommPort(std::int16_t port) override;
    void setSettings(const std::string& settings) override;
    bool portOpen() const override;
    void setPortOpen(bool open) override;
    void setRThreshold(std::int16_t threshold) override;
    void setRTSEnable(bool enable) override;
    void setDTREnable(bool enable) override;
    void output(const std::string& text) override;
    // Empty while the port is closed.
    std::string input() override;

    // How often a vanished device is looked for; it is reopened well within 2 s of its return.
    static constexpr std::chrono::milliseconds kReturnWatchInterval{250};

    // True while a vanished device is being watched for.
    bool watchingForReturn() const { return m_returnWatch.isActive(); }

    // The device Com N stands for with its links followed, or the entry that exists but leads
    // nowhere, or an empty text when no candidate exists.
    QString devicePathFor(int port) const { return mappingFor(port).device; }

signals:
    // Characters have arrived: at least RThreshold of them wait (never while RThreshold is 0).
    void onComm();

private:
    // Where Com N was found (the candidate that exists) and the device it leads to.
    struct Mapping {
        QString entry;
        QString device;
    };
    Mapping mappingFor(int port) const;
    void openDevice();
    void applyControlLines();
    void onReadyRead();
    void onErrorOccurred(QSerialPort::SerialPortError error);
    void stopWatching();
    void lookForReturn();

    PortSearchDirs m_dirs;
    QSerialPort m_port;
    QString m_device; // the path last opened, for messages: QSerialPort keeps only a short name
    QString m_entry;  // where that device was found; a vanished device must come back there
    std::int16_t m_commPort = 1;
    qint32 m_baudRate = 9600;
    QSerialPort::Parity m_parity = QSerialPort::NoParity;
    QSerialPort::DataBits m_dataBits = QSerialPort::Data8;
    QSerialPort::StopBits m_stopBits = QSerialPort::OneStop;
    // 1, so that characters raise onComm() even where start-up stopped before setting it.
    std::int16_t m_rThreshold = 1;
    bool m_rtsEnable = false;
    bool m_dtrEnable = false;
    QTimer m_returnWatch;
    bool m_reportedThisReturn = false;     // a refused reopen was raised since the device came back
    std::optional<RunTimeError> m_pending; // a refused reopen not yet handed to input()
};

} // namespace quorvel
