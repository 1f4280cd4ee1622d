#include "qt/RigctldLink.h"

#include "qt/CatTrace.h"
#include "share/ClientFrames.h"

#include <memory>
#include <string_view>
#include <utility>

namespace quorvel {

namespace {

// rigctld answers a line; more than this without a line end is not rigctld.
constexpr qsizetype kMaxLine = 1024;

} // namespace

RigctldLink::RigctldLink(std::unique_ptr<ByteLink> carrier, QObject* parent)
    : HubLink(std::move(carrier), QStringLiteral("rigctld"), parent) {}

RigctldLink::~RigctldLink() = default;

QByteArray RigctldLink::request(const QByteArray& frame) {
    return "+W " + frame +
           (expectsReply(std::string_view(frame.constData(), static_cast<std::size_t>(frame.size()))) ? " ;\n"
                                                                                                      : " 0\n");
}

void RigctldLink::send(const QByteArray& frame) {
    const QByteArray line = request(frame);
    qCDebug(lcCat).noquote() << name() << "send" << visibleBytes(line);
    carrier().write(line);
}

void RigctldLink::take(const QByteArray& bytes) {
    m_line += bytes;
    qsizetype end = 0;
    while ((end = m_line.indexOf('\n')) >= 0) {
        QByteArray line = m_line.first(end);
        m_line.remove(0, end + 1);
        const bool reply = line.startsWith("Reply: ");
        if (reply) {
            line.remove(0, 7);
        }
        if (line.startsWith("RPRT ")) {
            endOfAnswer(line.sliced(5));
        } else if (reply) {
            m_reply = line;
        }
    }
    if (m_line.size() > kMaxLine) {
        qCDebug(lcCat).noquote() << name() << "dropped" << m_line.size() << "bytes without a line end";
        m_line.clear();
    }
}

void RigctldLink::endOfAnswer(const QByteArray& code) {
    const QByteArray reply = std::exchange(m_reply, {});
    if (code != "0") {
        answeredNothing(QStringLiteral("rigctld answered RPRT %1").arg(QString::fromLatin1(code)));
    } else if (reply.isEmpty() && expectsReply(outstanding())) {
        answeredNothing(QStringLiteral("the radio did not answer"));
    } else {
        answered(reply);
    }
}

void RigctldLink::forget() {
    m_line.clear();
    m_reply.clear();
}

} // namespace quorvel
