#pragma once

#include "qt/ByteLink.h"
#include "qt/ShareHub.h"

#include <memory>

namespace quorvel {

// The radio's link with the sharing hub put in front of it while a door is open: the panel's
// writes become the panel's own frames in the hub, and what the hub hands the panel is what the
// panel reads. With both doors closed every call goes straight through, as if the hub were not
// there.
class SharingLink : public ByteLink {
    Q_OBJECT
public:
    SharingLink(std::unique_ptr<ByteLink> radio, ShareHub& hub, QObject* parent = nullptr);
    ~SharingLink() override;

    SharingLink(const SharingLink&) = delete;
    SharingLink& operator=(const SharingLink&) = delete;

    void open() override;
    void close() override;
    bool isOpen() const override { return m_radio->isOpen(); }
    void write(QByteArrayView bytes) override;
    QByteArray readAll() override;
    qint64 bytesAvailable() const override;
    void setControlLines(bool rts, bool dtr) override { m_radio->setControlLines(rts, dtr); }
    QString describe() const override { return m_radio->describe(); }

private:
    void attach();
    void onRadioBytes();

    std::unique_ptr<ByteLink> m_radio;
    ShareHub& m_hub;
    QByteArray m_forPanel; // what the hub has handed the panel and the panel has not read
};

} // namespace quorvel
