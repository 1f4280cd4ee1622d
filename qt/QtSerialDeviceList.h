#pragma once

#include "panel/SerialDeviceList.h"

#include <QString>

#include <utility>

namespace quorvel {

// The serial devices present on this machine: the names in the system's by-id folder, then the
// ports QSerialPortInfo reports. QSerialPortInfo already leaves out the built-in ports the kernel
// registers without a UART behind them (most of ttyS0..ttyS31) and reads each USB adapter's product
// text from udev or sysfs; but it reports no by-id names, and those are what keep a port link right
// when adapters are plugged in another order, so that folder is read here.
class QtSerialDeviceList : public SerialDeviceList {
public:
    explicit QtSerialDeviceList(QString byIdFolder = QStringLiteral("/dev/serial/by-id"))
        : m_byIdFolder(std::move(byIdFolder)) {}

    std::vector<SerialDevice> devices() const override;

    void setByIdFolder(QString folder) { m_byIdFolder = std::move(folder); }

private:
    QString m_byIdFolder;
};

} // namespace quorvel
