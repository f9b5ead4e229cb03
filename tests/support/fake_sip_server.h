// SPDX-License-Identifier: Apache-2.0
#pragma once
// A SIP registrar stand-in on loopback for tests: answers every UDP datagram
// that begins with "REGISTER" with a configurable "SIP/2.0 ..." text, sent to
// the datagram's sender, records what it received and accepts TCP
// connections on the same address and port.
#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QTcpServer>
#include <QUdpSocket>
#include <memory>

namespace testsupport {

class FakeSipServer : public QObject {
    Q_OBJECT
public:
    // What the Via header of the answer carries.
    enum class Received {
        Never,          // the request's Via copied unchanged: looks like a SIP ALG
        Always,         // ";received=" + receivedValue (the sender's address when empty)
        WhenDiffers,    // ";received=" + sender address when the Via host differs (RFC 3261)
    };

    struct Request {
        QByteArray data;
        QHostAddress from;
        quint16 fromPort = 0;
    };

    explicit FakeSipServer(QObject* parent = nullptr);
    ~FakeSipServer() override;

    // Binds UDP (and, with tcp, a TCP listener) on address:port; port 0 lets the
    // system choose. False when a socket could not be bound.
    bool start(const QHostAddress& address = QHostAddress(QStringLiteral("127.0.0.1")),
               quint16 port = 0, bool tcp = true);
    void stop();
    quint16 port() const;
    QHostAddress address() const;

    // Answer built from the request: status line, the request's Via line with
    // the chosen ";received=" treatment (and extra Via parameters such as
    // ";rport=5060" after it), From, To, Call-ID, CSeq, Content-Length: 0.
    void setAnswer(const QByteArray& statusLine, Received received,
                   const QString& receivedValue = {}, const QByteArray& extraViaParameters = {});
    // Exactly this text, whatever the request.
    void setFixedAnswer(const QByteArray& text);
    // No answer at all (requests are still recorded).
    void setSilent(bool silent) { m_silent = silent; }

    const QList<Request>& requests() const { return m_requests; }
    void clearRequests() { m_requests.clear(); }
    int tcpConnections() const { return m_tcpConnections; }

    // The answer this server sends for request from sender.
    QByteArray buildAnswer(const QByteArray& request, const QHostAddress& sender) const;

signals:
    void requestReceived();
    void tcpConnected();

private:
    void readPending();

    std::unique_ptr<QUdpSocket> m_udp;
    std::unique_ptr<QTcpServer> m_tcp;
    QByteArray m_statusLine = "SIP/2.0 200 OK";
    Received m_received = Received::WhenDiffers;
    QString m_receivedValue;
    QByteArray m_extraVia;
    QByteArray m_fixed;
    bool m_useFixed = false;
    bool m_silent = false;
    QList<Request> m_requests;
    int m_tcpConnections = 0;
};

}  // namespace testsupport
