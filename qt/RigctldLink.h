#pragma once

#include "qt/HubLink.h"

#include <QByteArray>
#include <QString>

#include <cstdint>

namespace quorvel {

// The radio through a running rigctld (Hamlib's rig daemon, usually on port 4532), over its text
// protocol on a TCP connection (TcpLink: QTcpSocket needs nothing more for a line protocol).
//
// Each frame goes out as one raw command: a query as "W PC; ;", which returns the radio's reply
// up to its ";", and a set as "W PC0251; 0", which expects no reply bytes. (The "w" command would
// do for a set as well, but rigctld then waits a whole read time-out for an answer the radio never
// gives, holding up every program it serves for a second.) In rigctld's default protocol each of
// these answers with exactly one line: the reply, an empty line, or "RPRT -n" for an error.
class RigctldLink : public HubLink {
    Q_OBJECT
public:
    RigctldLink(const QString& host, std::uint16_t port, QObject* parent = nullptr);
    ~RigctldLink() override;

    // The command line for a frame, with its line end.
    static QByteArray request(const QByteArray& frame);

protected:
    void send(const QByteArray& frame) override;
    void take(const QByteArray& bytes) override;
    void forget() override;

private:
    QByteArray m_line; // an answer line not yet complete
};

} // namespace quorvel
