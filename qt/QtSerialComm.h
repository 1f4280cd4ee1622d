#pragma once

#include "link/PortRules.h"
#include "link/SerialComm.h"

#include <QObject>
#include <QSerialPort>

namespace quorvel {

// The serial component on QSerialPort. Com N is found through the mapping folders of
// PortSearchDirs (on Windows it is COMN). onComm() is emitted only when characters have arrived.
class QtSerialComm : public QObject, public SerialComm {
    Q_OBJECT
public:
    explicit QtSerialComm(PortSearchDirs dirs, QObject* parent = nullptr);
    ~QtSerialComm() override;

    void setCommPort(std::int16_t port) override;
    void setSettings(const std::string& settings) override;
    bool portOpen() const override;
    void setPortOpen(bool open) override;
    void setRThreshold(std::int16_t threshold) override;
    void setRTSEnable(bool enable) override;
    void setDTREnable(bool enable) override;
    void output(const std::string& text) override;
    std::string input() override;

    // The device the given port number maps to, or an empty text; for messages and tests.
    QString devicePathFor(int port) const;

signals:
    void onComm();

private:
    PortSearchDirs m_dirs;
    QSerialPort m_port;
    std::int16_t m_commPort = 1;
    qint32 m_baudRate = 9600;
    QSerialPort::Parity m_parity = QSerialPort::NoParity;
    QSerialPort::DataBits m_dataBits = QSerialPort::Data8;
    QSerialPort::StopBits m_stopBits = QSerialPort::OneStop;
    std::int16_t m_rThreshold = 0;
    bool m_rtsEnable = false;
    bool m_dtrEnable = false;
};

} // namespace quorvel
