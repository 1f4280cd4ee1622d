#pragma once

#include "qt/HubLink.h"

#include <QByteArray>
#include <QString>

#include <memory>

namespace quorvel {

// The radio through a running rigctld (Hamlib's rig daemon, usually on port 4532), over its text
// protocol on a TCP connection (TcpLink: QTcpSocket needs nothing more for a line protocol).
//
// Each frame goes out as one raw command: a query as "+W PC; ;", which returns the radio's reply
// up to its ";", and a set as "+W PC0251; 0", which expects no reply bytes. (The "w" command would
// do for a set as well, but rigctld then waits a whole read time-out for an answer the radio never
// gives, holding up every program it serves for a second.) The "+" asks for rigctld's extended
// answer, which always ends in "RPRT n": in the default protocol a radio that does not answer
// gets no answer line at all, and we could not tell when to send the next frame. An answer is
//   send_cmd_rx: PC; ;      (the command, echoed)
//   Reply: PC0501;          ("Reply: RPRT 0" when the radio did not answer; "Reply: " after a set)
//   RPRT 0                  (0, or rigctld's negative error number)
class RigctldLink : public HubLink {
    Q_OBJECT
public:
    // carrier: the connection to rigctld, not opened yet.
    explicit RigctldLink(std::unique_ptr<ByteLink> carrier, QObject* parent = nullptr);
    ~RigctldLink() override;

    // The command line for a frame, with its line end.
    static QByteArray request(const QByteArray& frame);

protected:
    void send(const QByteArray& frame) override;
    void take(const QByteArray& bytes) override;
    void forget() override;

private:
    void endOfAnswer(const QByteArray& code);

    QByteArray m_line;  // an answer line not yet complete
    QByteArray m_reply; // the radio's reply in the answer so far
};

} // namespace quorvel
