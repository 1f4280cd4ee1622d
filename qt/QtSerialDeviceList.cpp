#include "qt/QtSerialDeviceList.h"

#include <QDir>
#include <QFileInfo>
#include <QSerialPortInfo>

#include <algorithm>

namespace quorvel {

std::vector<SerialDevice> QtSerialDeviceList::devices() const {
    const QList<QSerialPortInfo> ports = QSerialPortInfo::availablePorts();
    std::vector<SystemSerialPort> others;
    for (const QSerialPortInfo& port : ports) {
        others.push_back({port.systemLocation().toStdString(), port.description().toStdString()});
    }

    std::vector<ByIdName> byId;
    const QDir folder(m_byIdFolder);
    for (const QFileInfo& entry : folder.entryInfoList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)) {
        const QString node = entry.canonicalFilePath();
        // A name whose device has gone is about to go too.
        if (!entry.isSymLink() || node.isEmpty()) {
            continue;
        }
        const auto same = std::find_if(ports.begin(), ports.end(),
                                       [&node](const QSerialPortInfo& port) { return port.systemLocation() == node; });
        const QString product = same != ports.end() ? same->description() : QString();
        byId.push_back({entry.absoluteFilePath().toStdString(), node.toStdString(), product.toStdString()});
    }
    return offeredSerialDevices(byId, others);
}

} // namespace quorvel
