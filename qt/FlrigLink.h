#pragma once

#include "qt/HubLink.h"

#include <QByteArray>
#include <QString>

#include <memory>
#include <optional>

namespace quorvel {

// The radio through a running flrig (usually on port 12345), by its XML-RPC call rig.cat_string,
// which writes one CAT frame to the radio and returns the radio's reply to it. flrig answers a set
// with "No response: <radio>", meaning it was written; anything that is not frame text hands the
// window nothing.
//
// The call is HTTP/1.1 written by hand over TcpLink rather than through QNetworkAccessManager: one
// POST at a time on one kept-alive connection is all flrig needs, and the connection is then the
// same TcpLink as the raw route's, so a flrig stopped and started again is noticed, reported and
// taken up again as a stopped ser2net is, where QNetworkAccessManager hides its connections and
// would learn of a stopped flrig only from a failed call. Qt's XML stream classes write the call
// and read the answer; an XML-RPC library would bring its own HTTP transport for one method.
class FlrigLink : public HubLink {
    Q_OBJECT
public:
    // An HTTP answer larger than this is not flrig's answer to one frame.
    static constexpr qsizetype kMaxAnswer = qsizetype{64} * 1024;

    // carrier: the connection to flrig, not opened yet.
    explicit FlrigLink(std::unique_ptr<ByteLink> carrier, QObject* parent = nullptr);
    ~FlrigLink() override;

    // The XML-RPC call that writes this frame.
    static QByteArray callBody(const QByteArray& frame);

    // What an XML-RPC answer returns: the string, or none with the reason (a fault's text, or what
    // was wrong with the answer).
    struct Returned {
        std::optional<QString> value;
        QString failure;
    };
    static Returned parseAnswer(const QByteArray& body);

protected:
    void send(const QByteArray& frame) override;
    void take(const QByteArray& bytes) override;
    void forget() override;

private:
    // One HTTP answer complete at the start of m_buffer: hands it on and removes it. False while
    // it is still coming.
    bool takeOneAnswer();

    QString m_hostHeader;
    QByteArray m_buffer;
};

} // namespace quorvel
