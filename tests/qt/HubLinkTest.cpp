// The links through rigctld and flrig against a small server on loopback that speaks each
// program's protocol as the test tells it: what goes out for a query and for a set, what the
// window gets back, error answers, broken answers, a server gone silent, lost and back.

#include "qt/CatTrace.h"
#include "qt/FlrigLink.h"
#include "qt/RigctldLink.h"
#include "qt/net/TcpLink.h"
#include "tests/qt/QtTestMain.h"

#include <QDeadlineTimer>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <chrono>
#include <memory>
#include <utility>

using namespace quorvel;
using namespace std::chrono_literals;

namespace {

constexpr int kDeadlineMs = 5000;

// One connection at a time, as rigctld and flrig serve us; what arrives is kept for the test.
class FakeHub : public QObject {
public:
    FakeHub() { listen(0); }

    bool listen(quint16 port) {
        m_server = std::make_unique<QTcpServer>();
        connect(m_server.get(), &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = m_server->nextPendingConnection()) {
                m_client.reset(socket);
                m_received.clear();
                ++m_connections;
                connect(socket, &QTcpSocket::readyRead, this, [this, socket] { m_received += socket->readAll(); });
            }
        });
        return m_server->listen(QHostAddress::LocalHost, port);
    }
    // The program stopped: it neither serves nor listens.
    void stop() {
        m_client.reset();
        m_server.reset();
    }
    quint16 port() const { return m_port == 0 ? (m_port = m_server->serverPort()) : m_port; }
    int connections() const { return m_connections; }
    bool connected() const { return m_client != nullptr && m_client->state() == QAbstractSocket::ConnectedState; }

    // What arrived since the last take(), once `count` requests ending in `end` are in or the
    // deadline has passed.
    QByteArray take(qsizetype count, QByteArrayView end) {
        const QDeadlineTimer deadline(kDeadlineMs);
        while (m_received.count(end) < count && !deadline.hasExpired()) {
            QTest::qWait(5);
        }
        return std::exchange(m_received, {});
    }
    // What arrived since the last take(), after giving it a moment to arrive.
    QByteArray takeSettled() {
        QTest::qWait(100);
        return std::exchange(m_received, {});
    }
    void answer(QByteArrayView bytes) {
        QVERIFY(m_client != nullptr);
        m_client->write(bytes.data(), bytes.size());
        m_client->flush();
    }

private:
    std::unique_ptr<QTcpServer> m_server;
    std::unique_ptr<QTcpSocket> m_client;
    QByteArray m_received;
    mutable quint16 m_port = 0;
    int m_connections = 0;
};

// rigctld's extended answer to a raw command.
QByteArray rigctldAnswer(QByteArrayView arguments, QByteArrayView reply) {
    return "send_cmd_rx: " + arguments.toByteArray() + "\nReply: " + reply.toByteArray() + "\nRPRT 0\n";
}

// flrig's HTTP answer around a method response, as flrig writes it.
QByteArray flrigHttp(QByteArrayView response, QByteArrayView status = "200 OK") {
    const QByteArray body =
        "<?xml version=\"1.0\"?>\r\n<methodResponse>" + response.toByteArray() + "</methodResponse>\r\n";
    return "HTTP/1.1 " + status.toByteArray() +
           "\r\nServer: XMLRPC++ 0.8\r\nContent-Type: text/xml\r\nContent-length: " + QByteArray::number(body.size()) +
           "\r\n\r\n" + body;
}

QByteArray flrigAnswer(QByteArrayView value, QByteArrayView status = "200 OK") {
    return flrigHttp("<params><param>\r\n\t<value>" + value.toByteArray() + "</value>\r\n</param></params>", status);
}

// What the link hands the window once something has come, or nothing after the deadline.
QByteArray received(ByteLink& link) {
    const QDeadlineTimer deadline(kDeadlineMs);
    while (link.bytesAvailable() == 0 && !deadline.hasExpired()) {
        QTest::qWait(5);
    }
    return link.readAll();
}

std::unique_ptr<ByteLink> carrier(quint16 port) {
    return std::make_unique<TcpLink>(QStringLiteral("127.0.0.1"), port);
}

std::unique_ptr<HubLink> makeLink(bool flrig, quint16 port) {
    if (flrig) {
        return std::make_unique<FlrigLink>(carrier(port));
    }
    return std::make_unique<RigctldLink>(carrier(port));
}

bool waitOpen(ByteLink& link) {
    QSignalSpy opened(&link, &ByteLink::opened);
    return link.isOpen() || opened.wait(kDeadlineMs);
}

} // namespace

class HubLinkTest : public QObject {
    Q_OBJECT

private slots:
    void init() { QLoggingCategory::setFilterRules(QStringLiteral("quorvel.cat.debug=true")); }

    // A query waits for the radio's reply up to its ";"; anything else, actions without a
    // parameter included, asks rigctld for no reply bytes at all.
    void rigctldRequestForEachFrame_data() {
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<QByteArray>("request");
        QTest::newRow("power query") << QByteArray("PC;") << QByteArray("+W PC; ;\n");
        QTest::newRow("sub receiver query") << QByteArray("MD$;") << QByteArray("+W MD$; ;\n");
        QTest::newRow("firmware query") << QByteArray("RVM;") << QByteArray("+W RVM; ;\n");
        QTest::newRow("mode query") << QByteArray("K2;") << QByteArray("+W K2; ;\n");
        QTest::newRow("power set") << QByteArray("PC0251;") << QByteArray("+W PC0251; 0\n");
        QTest::newRow("mode set") << QByteArray("K22;") << QByteArray("+W K22; 0\n");
        QTest::newRow("action") << QByteArray("TX;") << QByteArray("+W TX; 0\n");
    }
    void rigctldRequestForEachFrame() {
        QFETCH(QByteArray, frame);
        QFETCH(QByteArray, request);
        QCOMPARE(RigctldLink::request(frame), request);
    }

    void rigctldCarriesQueriesAndSetsOneAtATime() {
        FakeHub hub;
        RigctldLink link(carrier(hub.port()));
        QCOMPARE(link.describe(), QStringLiteral("rigctld:127.0.0.1:%1").arg(hub.port()));
        link.open();
        QVERIFY(waitOpen(link));
        QSignalSpy ready(&link, &ByteLink::readyRead);

        // A query comes back as the line text the radio would have sent, in whatever pieces.
        link.write("PC;");
        QCOMPARE(hub.take(1, "\n"), QByteArray("+W PC; ;\n"));
        hub.answer("send_cmd_rx: PC; ;\nReply: PC05");
        hub.answer("01;\nRPRT 0\n");
        QTRY_COMPARE(ready.count(), 1);
        QCOMPARE(link.readAll(), QByteArray("PC0501;"));

        // A set and a query in one write, a query in two: each goes out only once the one before
        // is answered, and a set's empty reply gives the window nothing.
        link.write("\r\nPC0251;PC;P");
        QCOMPARE(hub.take(1, "\n"), QByteArray("+W PC0251; 0\n"));
        QCOMPARE(hub.takeSettled(), QByteArray());
        link.write("C;");
        hub.answer(rigctldAnswer("PC0251; 0", ""));
        QCOMPARE(hub.take(1, "\n"), QByteArray("+W PC; ;\n"));
        // A poll repeated while one waits asks nothing new.
        link.write("PC;");
        link.write("PC;");
        hub.answer(rigctldAnswer("PC; ;", "PC0251;"));
        QCOMPARE(hub.take(1, "\n"), QByteArray("+W PC; ;\n"));
        QCOMPARE(hub.takeSettled(), QByteArray());
        QCOMPARE(link.readAll(), QByteArray("PC0251;"));

        // A radio that did not answer, and rigctld's error, give the window nothing, and the next
        // request goes on; a radio's refusal is handed on as it came.
        hub.answer("send_cmd_rx: PC; ;\nReply: RPRT 0\n");
        link.write("PC;");
        QCOMPARE(hub.take(1, "\n"), QByteArray("+W PC; ;\n"));
        hub.answer("send_cmd_rx: PC; ;\nRPRT -5\n");
        link.write("PC;");
        QCOMPARE(hub.take(1, "\n"), QByteArray("+W PC; ;\n"));
        hub.answer(rigctldAnswer("PC; ;", "?;"));
        QTRY_COMPARE(link.bytesAvailable(), qint64{2});
        QCOMPARE(link.readAll(), QByteArray("?;"));
        // An answer nobody asked for is dropped.
        hub.answer(rigctldAnswer("PC; ;", "PC0991;"));
        QCOMPARE(hub.takeSettled(), QByteArray());
        QCOMPARE(link.readAll(), QByteArray());
    }

    void flrigCallsCatStringOncePerFrame() {
        FakeHub hub;
        FlrigLink link(carrier(hub.port()));
        QCOMPARE(link.describe(), QStringLiteral("flrig:127.0.0.1:%1").arg(hub.port()));
        link.open();
        QVERIFY(waitOpen(link));

        link.write("PC;P");
        const QByteArray request = hub.take(1, "</methodCall>");
        const qsizetype headEnd = request.indexOf("\r\n\r\n");
        QVERIFY(request.startsWith("POST /RPC2 HTTP/1.1\r\n"));
        QVERIFY(request.contains("\r\nContent-Length: " + QByteArray::number(request.size() - headEnd - 4) + "\r\n"));
        QVERIFY(request.contains("<methodName>rig.cat_string</methodName>"));
        QVERIFY(request.contains("<string>PC;</string>"));
        // The answer in pieces, its head's names in any case.
        const QByteArray answer = flrigAnswer("PC0501;");
        hub.answer(answer.first(40));
        QTest::qWait(50);
        QCOMPARE(link.bytesAvailable(), qint64{0});
        hub.answer(answer.sliced(40));
        QCOMPARE(received(link), QByteArray("PC0501;"));

        // The rest of a frame goes out once it is whole; a set's "No response" and an answer
        // that is not frame text give the window nothing.
        link.write("C0251;");
        QVERIFY(hub.take(1, "</methodCall>").contains("<string>PC0251;</string>"));
        hub.answer(flrigAnswer("No response: K3"));
        link.write("PC;");
        QVERIFY(hub.take(1, "</methodCall>").contains("<string>PC;</string>"));
        hub.answer(flrigAnswer("<string>PC0251;</string>"));
        QCOMPARE(received(link), QByteArray("PC0251;"));

        // A fault and an HTTP error give nothing, and the calls go on.
        link.write("XX;");
        hub.take(1, "</methodCall>");
        hub.answer(
            flrigHttp("<fault><value><struct><member><name>faultCode</name><value><i4>1</i4></value></member>"
                      "<member><name>faultString</name><value>unknown</value></member></struct></value></fault>"));
        link.write("PC;");
        hub.take(1, "</methodCall>");
        hub.answer(flrigAnswer("", "500 Internal Server Error"));
        link.write("PC;");
        hub.take(1, "</methodCall>");
        hub.answer(flrigAnswer("PC0261;"));
        QCOMPARE(received(link), QByteArray("PC0261;"));
        QCOMPARE(hub.connections(), 1);
    }

    void flrigAnswersAreReadLikeXmlRpc_data() {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("failure");
        QTest::newRow("untyped") << QByteArray("<methodResponse><params><param><value>PC0501;</value></param>"
                                               "</params></methodResponse>")
                                 << "PC0501;"
                                 << "";
        QTest::newRow("string") << QByteArray("<?xml version=\"1.0\"?><methodResponse><params><param><value>"
                                              "<string>A&amp;B;</string></value></param></params></methodResponse>")
                                << "A&B;"
                                << "";
        QTest::newRow("empty") << QByteArray("<methodResponse><params><param><value></value></param></params>"
                                             "</methodResponse>")
                               << ""
                               << "";
        QTest::newRow("fault") << QByteArray("<methodResponse><fault><value><struct><member><name>faultCode</name>"
                                             "<value><int>4</int></value></member><member><name>faultString</name>"
                                             "<value><string>Too many</string></value></member></struct></value>"
                                             "</fault></methodResponse>")
                               << QString() << "flrig reported a fault: Too many";
        QTest::newRow("no value") << QByteArray("<methodResponse><params></params></methodResponse>") << QString()
                                  << "flrig returned no value";
        QTest::newRow("not xml") << QByteArray("PC0501;") << QString() << "flrig's answer is not XML";
    }
    void flrigAnswersAreReadLikeXmlRpc() {
        QFETCH(QByteArray, body);
        QFETCH(QString, value);
        QFETCH(QString, failure);
        const FlrigLink::Returned returned = FlrigLink::parseAnswer(body);
        QCOMPARE(returned.value.has_value(), !value.isNull());
        if (returned.value) {
            QCOMPARE(*returned.value, value);
        }
        QVERIFY2(failure.isEmpty() ? returned.failure.isEmpty() : returned.failure.startsWith(failure),
                 qPrintable(returned.failure));
    }

    void flrigCallCarriesTheFrameEscaped() {
        const QByteArray body = FlrigLink::callBody("A<&>;");
        QCOMPARE(FlrigLink::parseAnswer(QByteArray(body).replace("methodCall", "methodResponse")).value,
                 QStringLiteral("A<&>;"));
        QVERIFY(body.contains("<methodName>rig.cat_string</methodName>"));
    }

    // What a stopped and restarted program looks like, and what a broken or silent one does to
    // the connection, for both programs.
    void lossAndReturn_data() {
        QTest::addColumn<bool>("flrig");
        QTest::newRow("rigctld") << false;
        QTest::newRow("flrig") << true;
    }
    void lossAndReturn() {
        QFETCH(bool, flrig);
        const QByteArrayView end = flrig ? QByteArrayView("</methodCall>") : QByteArrayView("\n");
        FakeHub hub;
        const std::unique_ptr<HubLink> link = makeLink(flrig, hub.port());
        QSignalSpy lost(link.get(), &ByteLink::lost);
        QSignalSpy opened(link.get(), &ByteLink::opened);
        QSignalSpy refused(link.get(), &ByteLink::refused);
        link->open();
        QVERIFY(waitOpen(*link));

        // Stopped with a request out: lost at once, and what waited is not sent to the new server.
        link->write("PC;");
        hub.take(1, end);
        link->write("PC0251;");
        hub.stop();
        QTRY_COMPARE_WITH_TIMEOUT(lost.count(), 1, kDeadlineMs);
        QVERIFY(!link->isOpen());
        link->write("PC;");           // lost, as bytes sent down an unplugged cable are
        QTest::qWait(700);            // past a retry
        QCOMPARE(refused.count(), 0); // the watch for its return says nothing
        QVERIFY(hub.listen(hub.port()));
        QTRY_COMPARE_WITH_TIMEOUT(opened.count(), 2, 2000);
        QVERIFY(link->isOpen());
        QCOMPARE(hub.takeSettled(), QByteArray());
        link->write("PC;");
        QVERIFY(hub.take(1, end).contains("PC;"));
        hub.answer(flrig ? flrigAnswer("PC0501;") : rigctldAnswer("PC; ;", "PC0501;"));
        QCOMPARE(received(*link), QByteArray("PC0501;"));

        // Silent past the time-out: the connection is made anew and the polls go on.
        link->setAnswerTimeout(300ms);
        link->write("PC;");
        hub.take(1, end);
        QTRY_COMPARE_WITH_TIMEOUT(lost.count(), 2, 2000);
        QVERIFY2(lost.last().at(0).toString().contains(QStringLiteral("within 0.3 s")),
                 qPrintable(lost.last().at(0).toString()));
        QTRY_COMPARE_WITH_TIMEOUT(opened.count(), 3, 2000);
        QTRY_COMPARE(hub.connections(), 3);
        link->write("PC;");
        hub.take(1, end);
        hub.answer(flrig ? flrigAnswer("PC0501;") : rigctldAnswer("PC; ;", "PC0501;"));
        QCOMPARE(received(*link), QByteArray("PC0501;"));

        // Closed: no more connects, and nothing reported.
        link->close();
        hub.stop();
        QVERIFY(hub.listen(hub.port()));
        QTest::qWait(700); // past a retry
        QCOMPARE(hub.connections(), 3);
        QCOMPARE(lost.count(), 2);
        QCOMPARE(refused.count(), 0);
    }

    void flrigAnswerWithoutLengthIsABrokenConnection() {
        FakeHub hub;
        FlrigLink link(carrier(hub.port()));
        QSignalSpy lost(&link, &ByteLink::lost);
        link.open();
        QVERIFY(waitOpen(link));
        link.write("PC;");
        hub.take(1, "</methodCall>");
        hub.answer("HTTP/1.1 200 OK\r\nContent-Type: text/xml\r\n\r\n<methodResponse>");
        QTRY_COMPARE(lost.count(), 1);
        QVERIFY(waitOpen(link));
        QTRY_COMPARE(hub.connections(), 2);
    }

    void refusedOnceNamingHostPortAndReason_data() {
        QTest::addColumn<bool>("flrig");
        QTest::newRow("rigctld") << false;
        QTest::newRow("flrig") << true;
    }
    void refusedOnceNamingHostPortAndReason() {
        QFETCH(bool, flrig);
        FakeHub hub;
        const quint16 port = hub.port();
        hub.stop();
        const std::unique_ptr<HubLink> link = makeLink(flrig, port);
        QSignalSpy refused(link.get(), &ByteLink::refused);
        QSignalSpy opened(link.get(), &ByteLink::opened);
        link->open();
        QVERIFY(!link->isOpen());
        QTRY_COMPARE(refused.count(), 1);
        const QString description = refused.at(0).at(1).toString();
        QVERIFY2(description.contains(QStringLiteral("127.0.0.1")) && description.contains(QString::number(port)) &&
                     description.contains(QStringLiteral("refused"), Qt::CaseInsensitive),
                 qPrintable(description));
        // Retried without a word until it answers.
        QTest::qWait(700); // past a retry
        QCOMPARE(refused.count(), 1);
        QVERIFY(hub.listen(port));
        QTRY_COMPARE_WITH_TIMEOUT(opened.count(), 1, 2000);
    }
};

QUORVEL_QT_GUILESS_TEST(HubLinkTest)
#include "HubLinkTest.moc"
