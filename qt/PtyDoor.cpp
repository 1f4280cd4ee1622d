#include "qt/PtyDoor.h"

#include "link/RunTimeError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace quorvel {

namespace {

RunTimeError doorError(const QString& path, const QString& why) {
    return {err::kFileAccess,
            QStringLiteral("The serial port door cannot open at %1: %2").arg(path, why).toStdString()};
}

QString systemError() {
    return QString::fromLocal8Bit(std::strerror(errno));
}

// A link at the path is ours to replace only when it leads to a pseudo-terminal that is gone.
void clearStaleLink(const QString& path) {
    const QFileInfo info(path);
    if (!info.isSymLink() && !info.exists()) {
        return;
    }
    const QString target = info.isSymLink() ? info.symLinkTarget() : QString();
    if (target.isEmpty()) {
        throw doorError(path, QStringLiteral("something else is there; remove it or choose another path"));
    }
    if (!target.startsWith(QStringLiteral("/dev/pts/")) || QFileInfo::exists(target)) {
        throw doorError(
            path,
            QStringLiteral("it leads to %1, which is in use; remove the link or choose another path").arg(target));
    }
    if (!QFile::remove(path)) {
        throw doorError(path, QStringLiteral("the stale link there cannot be removed"));
    }
}

} // namespace

PtyDoor::PtyDoor(const QString& linkPath, QObject* parent) : QObject(parent), m_link(linkPath) {
    if (!QFileInfo(QFileInfo(linkPath).absolutePath()).isDir()) {
        throw doorError(linkPath, QStringLiteral("its folder does not exist"));
    }
    clearStaleLink(linkPath);
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0) {
        const QString why = systemError();
        if (m_master >= 0) {
            ::close(m_master);
        }
        throw doorError(linkPath, why);
    }
    m_slave = QString::fromLocal8Bit(::ptsname(m_master));
    makeRaw();
    if (::chmod(m_slave.toLocal8Bit().constData(), S_IRUSR | S_IWUSR) != 0 ||
        ::symlink(m_slave.toLocal8Bit().constData(), linkPath.toLocal8Bit().constData()) != 0) {
        const QString why = systemError();
        ::close(m_master);
        throw doorError(linkPath, why);
    }
    // Opened and closed once, so that the master reports the hang-up until a program opens it.
    const int slave = ::open(m_slave.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave >= 0) {
        ::close(slave);
    }
    m_notifier = std::make_unique<QSocketNotifier>(m_master, QSocketNotifier::Read);
    m_notifier->setEnabled(false);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &PtyDoor::onReadable);
    m_openWatch.setInterval(kOpenWatch);
    connect(&m_openWatch, &QTimer::timeout, this, &PtyDoor::lookForOpen);
    m_openWatch.start();
}

PtyDoor::~PtyDoor() {
    m_notifier.reset();
    if (QFileInfo(m_link).symLinkTarget() == m_slave) {
        QFile::remove(m_link);
    }
    ::close(m_master);
}

void PtyDoor::write(QByteArrayView bytes) {
    if (!m_connected) {
        return;
    }
    const char* data = bytes.data();
    auto left = static_cast<std::size_t>(bytes.size());
    while (left > 0) {
        const ssize_t written = ::write(m_master, data, left);
        if (written <= 0) {
            // A program that reads nothing while its queue is full loses what does not fit.
            return;
        }
        data += written;
        left -= static_cast<std::size_t>(written);
    }
}

bool PtyDoor::hangUpNow() const {
    pollfd fd{m_master, POLLIN, 0};
    return ::poll(&fd, 1, 0) > 0 && (fd.revents & POLLHUP) != 0;
}

void PtyDoor::lookForOpen() {
    if (hangUpNow()) {
        return;
    }
    m_openWatch.stop();
    m_connected = true;
    m_notifier->setEnabled(true);
    emit connected();
    onReadable();
}

void PtyDoor::onReadable() {
    QByteArray bytes;
    char buffer[512];
    for (;;) {
        const ssize_t got = ::read(m_master, buffer, sizeof buffer);
        if (got <= 0) {
            break;
        }
        bytes.append(buffer, static_cast<qsizetype>(got));
    }
    if (!bytes.isEmpty()) {
        emit received(bytes);
    }
    if (hangUpNow()) {
        hangUp();
    }
}

void PtyDoor::hangUp() {
    m_notifier->setEnabled(false);
    m_connected = false;
    // What a program left unread sits in the slave's own queue, which only the slave's side can
    // flush; the master's flush takes what is still on its way.
    ::tcflush(m_master, TCIOFLUSH);
    const int slave = ::open(m_slave.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (slave >= 0) {
        ::tcflush(slave, TCIOFLUSH);
        ::close(slave);
    }
    // The next program finds the line as the first one did, whatever this one made of it.
    makeRaw();
    emit hungUp();
    m_openWatch.start();
}

// The slave's line settings, which the master reaches on Linux: no echo, no line editing, no
// translation of line ends; programs set their own as they open it.
void PtyDoor::makeRaw() {
    termios settings{};
    if (::tcgetattr(m_master, &settings) == 0) {
        ::cfmakeraw(&settings);
        ::tcsetattr(m_master, TCSANOW, &settings);
    }
}

} // namespace quorvel
