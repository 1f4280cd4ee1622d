#include "qt/QtSerialComm.h"

#include "link/PowerCommand.h"
#include "link/RadioRoute.h"
#include "link/RunTimeError.h"
#include "qt/CatTrace.h"

#include <utility>

namespace quorvel {

namespace {

[[noreturn]] void fail(int number, const QString& description) {
    throw RunTimeError(number, description.toStdString());
}

} // namespace

// A link may be the sender of the signal whose handling ends it (a box shown from a receive event
// lets the operator choose another port): it goes once control is back in the event loop.
void QtSerialComm::LaterDeleter::operator()(ByteLink* link) const {
    link->disconnect();
    link->deleteLater();
}

QtSerialComm::QtSerialComm(PortSearchDirs dirs, NetworkKit* network, QObject* parent)
    : QObject(parent), m_dirs(std::move(dirs)),
      m_linkFactory(
          [network](const RadioRoute& route, const SerialLine& line) { return makeRouteLink(route, line, network); }) {}

QtSerialComm::~QtSerialComm() {
    // The window goes without Exit (closed, or a stop signal): the port still closes in order, and
    // the trace says so.
    if (m_link != nullptr && m_link->isOpen()) {
        m_link->close();
        qCDebug(lcCat).noquote() << "close" << m_link->describe();
    }
    // No event loop is left to take a later deletion.
    delete m_link.release();
}

PortSearchDirs QtSerialComm::defaultSearchDirs() {
    return portSearchDirs(userFolders());
}

void QtSerialComm::setCommPort(std::int16_t port) {
    if (portOpen()) {
        fail(err::kPortAlreadyOpen,
             QStringLiteral("Port already open: close %1 before choosing another port").arg(m_link->describe()));
    }
    endLink();
    m_commPort = port;
}

void QtSerialComm::setSettings(const std::string& settings) {
    const QString text = QString::fromStdString(settings);
    const std::optional<SerialLine> line = parseSerialLine(text);
    if (!line) {
        fail(err::kInvalidPropertyValue,
             QStringLiteral("Invalid property value: Settings \"%1\" is not baud,parity,data,stop").arg(text));
    }
    m_line = *line;
}

void QtSerialComm::setRoute(const std::string& route) {
    if (!route.empty() && !parseRadioRoute(route)) {
        fail(err::kInvalidPropertyValue,
             QStringLiteral("Invalid property value: \"%1\" is not a route to the radio "
                            "(%2)")
                 .arg(QString::fromStdString(route), QString::fromLatin1(kRadioRouteForms)));
    }
    if (!portOpen()) {
        endLink();
    }
    m_route = route;
}

bool QtSerialComm::portOpen() const {
    return m_link != nullptr && m_link->isOpen();
}

void QtSerialComm::setPortOpen(bool open) {
    if (open && portOpen()) {
        fail(err::kPortAlreadyOpen, QStringLiteral("Port already open: %1").arg(m_link->describe()));
    }
    if (m_link != nullptr && m_link->isOpen()) {
        m_link->close();
        qCDebug(lcCat).noquote() << "close" << m_link->describe();
    }
    endLink();
    if (!open) {
        return;
    }
    std::unique_ptr<ByteLink, LaterDeleter> link = newLink();
    link->setControlLines(m_rtsEnable, m_dtrEnable);
    try {
        link->open();
    } catch (const RunTimeError& failure) {
        qCDebug(lcCat).noquote() << "refused" << link->describe() << QString::fromStdString(failure.description());
        throw;
    }
    qCDebug(lcCat).noquote() << "open" << link->describe();
    m_everOpened = link->isOpen();
    m_link = std::move(link);
    if (m_link->isOpen()) {
        askForExtendedReplies();
    }
}

void QtSerialComm::askForExtendedReplies() {
    const QByteArrayView bytes(kExtendedModeCommand);
    qCDebug(lcCat).noquote() << "tx" << visibleBytes(bytes);
    m_link->write(bytes);
}

void QtSerialComm::setRThreshold(std::int16_t threshold) {
    if (threshold < 0) {
        fail(err::kInvalidPropertyValue,
             QStringLiteral("Invalid property value: RThreshold %1 is below 0").arg(threshold));
    }
    m_rThreshold = threshold;
}

void QtSerialComm::setRTSEnable(bool enable) {
    m_rtsEnable = enable;
    if (m_link != nullptr) {
        m_link->setControlLines(m_rtsEnable, m_dtrEnable);
    }
}

void QtSerialComm::setDTREnable(bool enable) {
    m_dtrEnable = enable;
    if (m_link != nullptr) {
        m_link->setControlLines(m_rtsEnable, m_dtrEnable);
    }
}

void QtSerialComm::output(const std::string& text) {
    if (!portOpen()) {
        fail(err::kPortNotOpen, QStringLiteral("Operation valid only when the port is open"));
    }
    if (text.empty()) {
        return;
    }
    const QByteArrayView bytes(text);
    qCDebug(lcCat).noquote() << "tx" << visibleBytes(bytes);
    m_link->write(bytes);
}

std::string QtSerialComm::input() {
    if (m_pending) {
        const RunTimeError failure = *m_pending;
        m_pending.reset();
        throw failure;
    }
    const QByteArray received = portOpen() ? m_link->readAll() : QByteArray();
    if (!received.isEmpty()) {
        qCDebug(lcCat).noquote() << "rx" << visibleBytes(received);
    }
    return {received.constData(), static_cast<std::size_t>(received.size())};
}

std::unique_ptr<ByteLink, QtSerialComm::LaterDeleter> QtSerialComm::newLink() {
    std::unique_ptr<ByteLink> link;
    if (m_route.empty()) {
        link = std::make_unique<SerialDeviceLink>(m_commPort, m_dirs, m_line);
    } else {
        link = m_linkFactory(*parseRadioRoute(m_route), m_line);
    }
    if (m_linkDecorator) {
        link = m_linkDecorator(std::move(link));
    }
    std::unique_ptr<ByteLink, LaterDeleter> kept(link.release());
    kept->setParent(this);
    connect(kept.get(), &ByteLink::readyRead, this, &QtSerialComm::onReadyRead);
    connect(kept.get(), &ByteLink::opened, this, &QtSerialComm::onOpened);
    connect(kept.get(), &ByteLink::lost, this, &QtSerialComm::onLost);
    connect(kept.get(), &ByteLink::refused, this, &QtSerialComm::onRefused);
    return kept;
}

void QtSerialComm::endLink() {
    m_pending.reset();
    if (m_link != nullptr) {
        m_link->close();
        m_link.reset();
    }
}

void QtSerialComm::onReadyRead() {
    if (m_rThreshold > 0 && m_link != nullptr && m_link->bytesAvailable() >= m_rThreshold) {
        emit onComm();
    }
}

void QtSerialComm::onOpened() {
    m_pending.reset();
    qCDebug(lcCat).noquote() << (m_everOpened ? "reopen" : "connected") << m_link->describe();
    m_everOpened = true;
    // A radio switched off and on while away is back in its basic mode.
    try {
        askForExtendedReplies();
    } catch (const RunTimeError& failure) {
        m_pending = failure;
        emit onComm();
    }
}

void QtSerialComm::onLost(const QString& reason) {
    qCDebug(lcCat).noquote() << "lost" << m_link->describe() << reason;
}

void QtSerialComm::onRefused(int number, const QString& description) {
    qCDebug(lcCat).noquote() << "refused" << m_link->describe() << description;
    m_pending = RunTimeError(number, description.toStdString());
    emit onComm();
}

} // namespace quorvel
