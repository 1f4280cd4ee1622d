#include "qt/FlrigLink.h"

#include "qt/CatTrace.h"

#include <QList>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include <memory>

namespace quorvel {

namespace {

constexpr QByteArrayView kHeadEnd = "\r\n\r\n";

// The value of a header, by its name in any case; none when the head has no such header.
std::optional<QByteArray> headerValue(QByteArrayView head, QByteArrayView name) {
    for (const QByteArrayView line : head.toByteArray().split('\n')) {
        const qsizetype colon = line.indexOf(':');
        if (colon > 0 && line.first(colon).trimmed().compare(name, Qt::CaseInsensitive) == 0) {
            return line.sliced(colon + 1).trimmed().toByteArray();
        }
    }
    return std::nullopt;
}

} // namespace

FlrigLink::FlrigLink(std::unique_ptr<ByteLink> carrier, QObject* parent)
    : HubLink(std::move(carrier), QStringLiteral("flrig"), parent),
      // HOST:PORT, with an IPv6 host in brackets, as the route is written after its kind.
      m_hostHeader(describe().section(u':', 1)) {}

FlrigLink::~FlrigLink() = default;

QByteArray FlrigLink::callBody(const QByteArray& frame) {
    QByteArray body;
    QXmlStreamWriter xml(&body);
    xml.writeStartDocument();
    xml.writeStartElement(QStringLiteral("methodCall"));
    xml.writeTextElement(QStringLiteral("methodName"), QStringLiteral("rig.cat_string"));
    xml.writeStartElement(QStringLiteral("params"));
    xml.writeStartElement(QStringLiteral("param"));
    xml.writeStartElement(QStringLiteral("value"));
    xml.writeTextElement(QStringLiteral("string"), QString::fromLatin1(frame));
    xml.writeEndDocument();
    return body;
}

FlrigLink::Returned FlrigLink::parseAnswer(const QByteArray& body) {
    QXmlStreamReader xml(body);
    bool inFault = false;
    QString memberName;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement) {
            continue;
        }
        const QStringView element = xml.name();
        if (element == u"fault") {
            inFault = true;
        } else if (element == u"name") {
            memberName = xml.readElementText();
        } else if (element == u"value" && !inFault) {
            // A value without a type is a string; flrig writes its replies that way.
            return {xml.readElementText(QXmlStreamReader::IncludeChildElements), {}};
        } else if (element == u"value" && memberName == u"faultString") {
            return {std::nullopt, QStringLiteral("flrig reported a fault: %1")
                                      .arg(xml.readElementText(QXmlStreamReader::IncludeChildElements))};
        }
    }
    if (xml.hasError()) {
        return {std::nullopt, QStringLiteral("flrig's answer is not XML (%1)").arg(xml.errorString())};
    }
    return {std::nullopt,
            inFault ? QStringLiteral("flrig reported a fault") : QStringLiteral("flrig returned no value")};
}

void FlrigLink::send(const QByteArray& frame) {
    const QByteArray body = callBody(frame);
    QByteArray request =
        "POST /RPC2 HTTP/1.1\r\nHost: " + m_hostHeader.toLatin1() +
        "\r\nUser-Agent: Quorvel\r\nContent-Type: text/xml\r\nContent-Length: " + QByteArray::number(body.size()) +
        "\r\n\r\n";
    request += body;
    qCDebug(lcCat).noquote() << name() << "call rig.cat_string" << visibleBytes(frame);
    carrier().write(request);
}

void FlrigLink::take(const QByteArray& bytes) {
    m_buffer += bytes;
    while (takeOneAnswer()) {
    }
}

bool FlrigLink::takeOneAnswer() {
    const qsizetype headEnd = m_buffer.indexOf(kHeadEnd);
    if (headEnd < 0) {
        if (m_buffer.size() > kMaxAnswer) {
            restart(QStringLiteral("an HTTP answer without an end to its head"));
        }
        return false;
    }
    const QByteArrayView head = QByteArrayView(m_buffer).first(headEnd);
    const std::optional<QByteArray> lengthText = headerValue(head, "Content-Length");
    bool numeric = false;
    const qsizetype length = lengthText ? lengthText->toLongLong(&numeric) : -1;
    if (!numeric || length < 0 || length > kMaxAnswer) {
        restart(QStringLiteral("an HTTP answer without a usable Content-Length"));
        return false;
    }
    const qsizetype bodyStart = headEnd + kHeadEnd.size();
    if (m_buffer.size() < bodyStart + length) {
        return false;
    }
    const QByteArray statusLine = m_buffer.first(m_buffer.indexOf("\r\n"));
    const QByteArray body = m_buffer.sliced(bodyStart, length);
    m_buffer.remove(0, bodyStart + length);

    const QList<QByteArray> status = statusLine.split(' ');
    if (status.size() < 2 || !status[0].startsWith("HTTP/") || status[1] != "200") {
        answeredNothing(QStringLiteral("flrig answered %1").arg(visibleBytes(statusLine)));
        return true;
    }
    const Returned returned = parseAnswer(body);
    if (!returned.value) {
        answeredNothing(returned.failure);
    } else if (returned.value->endsWith(u';')) {
        answered(returned.value->toLatin1());
    } else {
        answeredNothing(QStringLiteral("flrig returned %1").arg(visibleBytes(returned.value->toLatin1())));
    }
    return true;
}

void FlrigLink::forget() {
    m_buffer.clear();
}

} // namespace quorvel
