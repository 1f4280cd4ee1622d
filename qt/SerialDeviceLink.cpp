#include "qt/SerialDeviceLink.h"

#include "link/PortHolder.h"
#include "link/RunTimeError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <initializer_list>
#include <optional>
#include <utility>

#ifndef Q_OS_WIN
#include <cerrno>
#include <grp.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>
#endif
#ifdef Q_OS_LINUX
#include <sys/sysmacros.h>
#endif

namespace quorvel {

namespace {

#ifdef Q_OS_LINUX
constexpr const char* kProcRoot = "/proc";
#endif

// The value named by one field of a settings text, or none when the field names none.
template <typename Value>
std::optional<Value> lookUp(const QString& field, std::initializer_list<std::pair<QStringView, Value>> names) {
    for (const auto& [name, value] : names) {
        if (field == name) {
            return value;
        }
    }
    return std::nullopt;
}

// None when nothing is at the entry. A link to a vanished device counts as present (exists()
// follows the link), so that it refuses the port rather than letting the next candidate stand in.
std::optional<SerialDeviceLink::Mapping> mappingAt(const QString& candidate) {
    const QFileInfo entry(candidate);
    if (!entry.exists() && !entry.isSymLink()) {
        return std::nullopt;
    }
    const QString device = entry.canonicalFilePath();
    return SerialDeviceLink::Mapping{entry.absoluteFilePath(), device.isEmpty() ? entry.absoluteFilePath() : device};
}

[[noreturn]] void fail(int number, const QString& description) {
    throw RunTimeError(number, description.toStdString());
}

#ifndef Q_OS_WIN
// The group that owns the device is the one to join (dialout on Debian and Fedora, uucp on Arch),
// but only when that group may read and write it: root's own group, or a group with fewer rights
// (a pseudo-terminal's tty group may only write), would not let the user open it.
std::optional<QString> groupToJoin(const QString& device) {
    struct stat info {};
    constexpr mode_t kGroupReadWrite = S_IRGRP | S_IWGRP;
    if (::stat(QFile::encodeName(device).constData(), &info) != 0 || info.st_gid == 0 ||
        (info.st_mode & kGroupReadWrite) != kGroupReadWrite) {
        return std::nullopt;
    }
    const struct group* owner = ::getgrgid(info.st_gid);
    if (owner == nullptr) {
        return std::nullopt;
    }
    return QString::fromLocal8Bit(owner->gr_name);
}

[[noreturn]] void failPermission(const QString& device) {
    if (const std::optional<QString> group = groupToJoin(device)) {
        fail(err::kPortPermissionDenied, QStringLiteral("Permission denied on %1: add your user to the %2 group "
                                                        "(sudo usermod -aG %2 $USER) and log in again")
                                             .arg(device, *group));
    }
    fail(err::kPortPermissionDenied,
         QStringLiteral("Permission denied on %1: no group of users may open it, so joining one will not help; "
                        "a udev rule can give it to a serial-port group")
             .arg(device));
}

bool isCharacterDevice(const QString& device) {
    struct stat info {};
    return ::stat(QFile::encodeName(device).constData(), &info) == 0 && S_ISCHR(info.st_mode);
}

#ifdef Q_OS_LINUX
// Many programs hold /dev/null and its kind open; only a terminal's holders share a radio line.
// sysfs files every terminal of a driver under a "tty" class; pseudo-terminals have no entry there.
bool mayBeTerminal(const QString& device) {
    struct stat info {};
    if (::stat(QFile::encodeName(device).constData(), &info) != 0) {
        return false;
    }
    const QFileInfo entry(QStringLiteral("/sys/dev/char/%1:%2").arg(major(info.st_rdev)).arg(minor(info.st_rdev)));
    return !entry.exists() || entry.canonicalFilePath().contains(QStringLiteral("/tty/"));
}
#endif

bool mayReadAndWrite(const QString& device) {
    return ::access(QFile::encodeName(device).constData(), R_OK | W_OK) == 0 || errno != EACCES;
}
#endif

} // namespace

std::optional<SerialLine> parseSerialLine(const QString& text) {
    const QStringList fields = text.split(u',');
    if (fields.size() != 4) {
        return std::nullopt;
    }
    SerialLine line{};
    bool ok = false;
    line.baudRate = fields[0].toInt(&ok);
    // toInt() accepts blanks and a sign; the classic control takes digits only.
    if (!ok || line.baudRate <= 0 || fields[0].front() == u'+' || fields[0].trimmed() != fields[0]) {
        return std::nullopt;
    }
    const auto parity = lookUp<QSerialPort::Parity>(fields[1].toUpper(), {{u"N", QSerialPort::NoParity},
                                                                          {u"E", QSerialPort::EvenParity},
                                                                          {u"O", QSerialPort::OddParity},
                                                                          {u"M", QSerialPort::MarkParity},
                                                                          {u"S", QSerialPort::SpaceParity}});
    const auto dataBits = lookUp<QSerialPort::DataBits>(fields[2], {{u"5", QSerialPort::Data5},
                                                                    {u"6", QSerialPort::Data6},
                                                                    {u"7", QSerialPort::Data7},
                                                                    {u"8", QSerialPort::Data8}});
    const auto stopBits = lookUp<QSerialPort::StopBits>(
        fields[3], {{u"1", QSerialPort::OneStop}, {u"1.5", QSerialPort::OneAndHalfStop}, {u"2", QSerialPort::TwoStop}});
    if (!parity || !dataBits || !stopBits) {
        return std::nullopt;
    }
    line.parity = *parity;
    line.dataBits = *dataBits;
    line.stopBits = *stopBits;
    return line;
}

SerialDeviceLink::Mapping SerialDeviceLink::mappingFor(int port, const PortSearchDirs& dirs) {
#ifdef Q_OS_WIN
    Q_UNUSED(dirs);
    const QString name = port >= 1 ? QStringLiteral("COM%1").arg(port) : QString();
    return {name, name};
#else
    for (const std::string& candidate : portDeviceCandidates(port, dirs)) {
        if (std::optional<Mapping> found = mappingAt(QString::fromStdString(candidate))) {
            return *found;
        }
    }
    return {};
#endif
}

SerialDeviceLink::SerialDeviceLink(int commPort, PortSearchDirs dirs, SerialLine line, QObject* parent)
    : ByteLink(parent), m_commPort(commPort), m_dirs(std::move(dirs)), m_line(line), m_port(this), m_returnWatch(this) {
    connect(&m_port, &QSerialPort::readyRead, this, &ByteLink::readyRead);
    connect(&m_port, &QSerialPort::errorOccurred, this, &SerialDeviceLink::onErrorOccurred);
    m_returnWatch.setInterval(kReturnWatchInterval);
    connect(&m_returnWatch, &QTimer::timeout, this, &SerialDeviceLink::lookForReturn);
}

SerialDeviceLink::SerialDeviceLink(QString devicePath, SerialLine line, QObject* parent)
    : SerialDeviceLink(0, {}, line, parent) {
    m_path = std::move(devicePath);
    m_byPath = true;
}

SerialDeviceLink::~SerialDeviceLink() = default;

SerialDeviceLink::Mapping SerialDeviceLink::mapping() const {
    return m_byPath ? mappingAt(m_path).value_or(Mapping{}) : mappingFor(m_commPort, m_dirs);
}

void SerialDeviceLink::open() {
    m_returnWatch.stop();
    openDevice();
}

void SerialDeviceLink::close() {
    m_returnWatch.stop();
    if (m_port.isOpen()) {
        m_port.close();
    }
}

bool SerialDeviceLink::isOpen() const {
    return m_port.isOpen();
}

void SerialDeviceLink::write(QByteArrayView bytes) {
    if (!m_port.isOpen() || bytes.isEmpty()) {
        return;
    }
    // clearError() signals even when there is nothing to clear.
    if (m_port.error() != QSerialPort::NoError) {
        m_port.clearError();
    }
    const qint64 written = m_port.write(bytes.data(), bytes.size());
    if (written == bytes.size()) {
        m_port.flush();
    }
    if (!m_port.isOpen() && m_returnWatch.isActive()) {
        // The write found the device gone: that is the unplugging itself, handled as when a read
        // finds it. The bytes are as lost as those written just before the plug was pulled.
        return;
    }
    const QSerialPort::SerialPortError error = m_port.error();
    if (written != bytes.size() || !m_port.isOpen() || error == QSerialPort::WriteError ||
        error == QSerialPort::ResourceError) {
        const QString reason = m_port.errorString();
        m_port.clearError();
        fail(err::kPortIoFailed, QStringLiteral("Error writing to %1: %2").arg(m_device, reason));
    }
}

QByteArray SerialDeviceLink::readAll() {
    return m_port.isOpen() ? m_port.readAll() : QByteArray();
}

qint64 SerialDeviceLink::bytesAvailable() const {
    return m_port.bytesAvailable();
}

void SerialDeviceLink::setControlLines(bool rts, bool dtr) {
    m_rts = rts;
    m_dtr = dtr;
    if (m_port.isOpen()) {
        applyControlLines();
    }
}

QString SerialDeviceLink::describe() const {
    if (!m_device.isEmpty()) {
        return m_device;
    }
    return !m_byPath ? QStringLiteral("Com%1").arg(m_commPort) : m_path;
}

void SerialDeviceLink::openDevice() {
    const Mapping found = mapping();
    const QString& device = found.device;
#ifdef Q_OS_WIN
    if (device.isEmpty()) {
        fail(err::kInvalidPortNumber, QStringLiteral("Invalid port number: %1").arg(m_commPort));
    }
#else
    if (device.isEmpty() && m_byPath) {
        fail(err::kInvalidPortNumber, QStringLiteral("Invalid port number: %1 does not exist").arg(m_path));
    }
    if (device.isEmpty()) {
        QStringList looked;
        for (const std::string& candidate : portDeviceCandidates(m_commPort, m_dirs)) {
            looked << QString::fromStdString(candidate);
        }
        fail(err::kInvalidPortNumber,
             looked.isEmpty() ? QStringLiteral("Invalid port number: Com%1 does not exist").arg(m_commPort)
                              : QStringLiteral("Invalid port number: Com%1 maps to no device (looked for %2)")
                                    .arg(m_commPort)
                                    .arg(looked.join(QStringLiteral(", "))));
    }
    if (!QFileInfo::exists(device)) {
        fail(err::kInvalidPortNumber,
             QStringLiteral("Invalid port number: %1 leads to a device that does not exist").arg(device));
    }
    if (!isCharacterDevice(device)) {
        fail(err::kInvalidPortNumber, QStringLiteral("Invalid port number: %1 is not a serial port").arg(device));
    }
    if (!mayReadAndWrite(device)) {
        failPermission(device);
    }
#endif
#ifdef Q_OS_LINUX
    // Nothing stops a second program from opening the line as well (rigctld takes neither a lock
    // file nor exclusive access), and the two would then split the radio's replies between them.
    if (const std::optional<PortHolder> holder =
            mayBeTerminal(device) ? findPortHolder(kProcRoot, QFile::encodeName(device).toStdString(), ::getpid())
                                  : std::nullopt) {
        fail(err::kPortAlreadyOpen, QString::fromStdString(portHeldDescription(device.toStdString(), *holder)));
    }
#endif
    m_port.setPortName(device);
    m_port.setBaudRate(m_line.baudRate);
    m_port.setParity(m_line.parity);
    m_port.setDataBits(m_line.dataBits);
    m_port.setStopBits(m_line.stopBits);
    m_port.setFlowControl(QSerialPort::NoFlowControl);
    if (!m_port.open(QIODevice::ReadWrite)) {
        const QSerialPort::SerialPortError error = m_port.error();
        const QString reason = m_port.errorString();
        m_port.clearError();
        // A lock file held by another program is reported as a permission error too; the
        // access check above already ruled out a real lack of rights.
        if (error == QSerialPort::PermissionError) {
            fail(err::kPortAlreadyOpen,
                 QStringLiteral("Port already open: %1 is in use by another program (%2)").arg(device, reason));
        }
        fail(err::kInvalidPortNumber,
             QStringLiteral("Invalid port number: %1 cannot be opened as a serial port (%2)").arg(device, reason));
    }
    m_device = device;
    m_entry = found.entry;
    m_entryStamp = entryStamp(m_entry);
    applyControlLines();
}

void SerialDeviceLink::applyControlLines() {
    // Linux raises RTS and DTR on every open, and many stations key the transmitter with RTS.
    const bool rtsSet = m_port.setRequestToSend(m_rts);
    const bool dtrSet = m_port.setDataTerminalReady(m_dtr);
    const QSerialPort::SerialPortError error = m_port.error();
    const QString reason = m_port.errorString();
    // A pseudo-terminal has no modem lines; that must neither fail the open nor stay behind as a
    // sticky error that later calls would trip over.
    m_port.clearError();
    if ((!rtsSet || !dtrSet) && error != QSerialPort::UnsupportedOperationError && error != QSerialPort::NoError) {
        m_port.close();
        fail(err::kPortIoFailed, QStringLiteral("Cannot set RTS and DTR on %1: %2").arg(m_device, reason));
    }
}

void SerialDeviceLink::onErrorOccurred(QSerialPort::SerialPortError error) {
    if ((error != QSerialPort::ResourceError && error != QSerialPort::ReadError) || !m_port.isOpen()) {
        return;
    }
    // Another program reading the same device (a second reader on the line) takes bytes away
    // between the notice that some arrived and the read: the read then finds none, and QSerialPort
    // reports whatever errno last held ("No such file or directory", "Inappropriate ioctl for
    // device") or "Resource temporarily unavailable". The device is as usable as before.
    if (stillThere()) {
        m_port.clearError();
        return;
    }
    // A vanished device makes QSerialPort report a read error on every pass of the event loop;
    // only closing stops it.
    const QString reason = m_port.errorString();
    m_port.close();
    m_reportedThisReturn = false;
    m_returnWatch.start();
    emit lost(reason);
}

SerialDeviceLink::EntryStamp SerialDeviceLink::entryStamp(const QString& entry) {
    EntryStamp stamp;
#ifndef Q_OS_WIN
    struct stat info {};
    if (::lstat(QFile::encodeName(entry).constData(), &info) == 0) {
        stamp = {static_cast<std::uint64_t>(info.st_ino), info.st_ctim.tv_sec, info.st_ctim.tv_nsec};
    }
#else
    Q_UNUSED(entry);
#endif
    return stamp;
}

bool SerialDeviceLink::isAnotherPseudoTerminal(const Mapping& found) const {
    // A pseudo-terminal never comes back: its number goes to the next one any program opens. Only
    // a link made anew to a pseudo-terminal (a simulator started again) is a return.
    return found.device.startsWith(QStringLiteral("/dev/pts/")) && entryStamp(found.entry) == m_entryStamp;
}

bool SerialDeviceLink::stillThere() const {
#ifdef Q_OS_WIN
    return false;
#else
    // A device hung up (a USB adapter pulled) or left by its other side (a pseudo-terminal's
    // master closed) says so to poll() at once; a node gone or replaced is another sign.
    pollfd probe{m_port.handle(), POLLIN, 0};
    if (::poll(&probe, 1, 0) < 0 || (probe.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
        return false;
    }
    struct stat opened {};
    struct stat named {};
    return ::fstat(m_port.handle(), &opened) == 0 && ::stat(QFile::encodeName(m_device).constData(), &named) == 0 &&
           opened.st_rdev == named.st_rdev;
#endif
}

void SerialDeviceLink::lookForReturn() {
    const Mapping found = mapping();
    if (found.entry != m_entry || !QFileInfo::exists(found.device) || isAnotherPseudoTerminal(found)) {
        m_reportedThisReturn = false; // still away; the next return may be reported again
        return;
    }
    try {
        openDevice();
    } catch (const RunTimeError& failure) {
        // Anything else (the node not yet or no longer a working device) means it is not back yet.
        const bool refusal =
            failure.number() == err::kPortPermissionDenied || failure.number() == err::kPortAlreadyOpen;
        if (refusal && !m_reportedThisReturn) {
            m_reportedThisReturn = true;
            emit refused(failure.number(), QString::fromStdString(failure.description()));
        }
        return;
    }
    m_returnWatch.stop();
    emit opened();
}

} // namespace quorvel
