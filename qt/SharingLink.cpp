#include "qt/SharingLink.h"

namespace quorvel {

SharingLink::SharingLink(std::unique_ptr<ByteLink> radio, ShareHub& hub, QObject* parent)
    : ByteLink(parent), m_radio(std::move(radio)), m_hub(hub) {
    connect(m_radio.get(), &ByteLink::readyRead, this, &SharingLink::onRadioBytes);
    connect(m_radio.get(), &ByteLink::opened, this, [this] {
        attach();
        emit opened();
    });
    connect(m_radio.get(), &ByteLink::lost, this, [this](const QString& reason) {
        m_hub.detachRadio(this);
        emit lost(reason);
    });
    connect(m_radio.get(), &ByteLink::refused, this, &ByteLink::refused);
    connect(&m_hub, &ShareHub::panelBytes, this, [this](const QByteArray& bytes) {
        m_forPanel += bytes;
        emit readyRead();
    });
}

SharingLink::~SharingLink() {
    m_hub.detachRadio(this);
}

void SharingLink::open() {
    m_radio->open();
    if (m_radio->isOpen()) {
        attach();
    }
}

void SharingLink::close() {
    m_hub.detachRadio(this);
    m_radio->close();
    m_forPanel.clear();
}

// The hub learns the radio afresh each time the line comes up: it may be another radio, or the
// same one after a power cycle, with its modes back at their defaults.
void SharingLink::attach() {
    m_hub.attachRadio(this, [this](QByteArrayView bytes) {
        if (m_radio->isOpen()) {
            m_radio->write(bytes);
        }
    });
}

void SharingLink::write(QByteArrayView bytes) {
    if (m_hub.active()) {
        m_hub.fromPanel(bytes);
    } else {
        m_radio->write(bytes);
    }
}

QByteArray SharingLink::readAll() {
    if (!m_hub.active() && m_forPanel.isEmpty()) {
        return m_radio->readAll();
    }
    return std::exchange(m_forPanel, {});
}

qint64 SharingLink::bytesAvailable() const {
    return m_hub.active() || !m_forPanel.isEmpty() ? m_forPanel.size() : m_radio->bytesAvailable();
}

void SharingLink::onRadioBytes() {
    if (m_hub.active()) {
        m_hub.fromRadio(m_radio->readAll());
    } else {
        emit readyRead();
    }
}

} // namespace quorvel
