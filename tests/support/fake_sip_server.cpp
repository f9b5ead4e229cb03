// SPDX-License-Identifier: Apache-2.0
#include "support/fake_sip_server.h"

#include <QList>
#include <QNetworkDatagram>
#include <QTcpSocket>

namespace testsupport {

namespace {

// Header line (without CR LF) of request whose name is name, "" when absent.
QByteArray HeaderLine(const QByteArray& request, const QByteArray& name)
{
    const QList<QByteArray> lines = request.split('\n');
    for (QByteArray line : lines) {
        if (line.endsWith('\r'))
            line.chop(1);
        if (line.startsWith(name + ':'))
            return line;
    }
    return {};
}

}  // namespace

FakeSipServer::FakeSipServer(QObject* parent) : QObject(parent) {}

FakeSipServer::~FakeSipServer() = default;

bool FakeSipServer::start(const QHostAddress& address, quint16 port, bool tcp)
{
    stop();
    m_udp = std::make_unique<QUdpSocket>();
    if (!m_udp->bind(address, port)) {
        stop();
        return false;
    }
    connect(m_udp.get(), &QUdpSocket::readyRead, this, &FakeSipServer::readPending);
    if (tcp) {
        m_tcp = std::make_unique<QTcpServer>();
        if (!m_tcp->listen(address, m_udp->localPort())) {
            stop();
            return false;
        }
        connect(m_tcp.get(), &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* connection = m_tcp->nextPendingConnection()) {
                ++m_tcpConnections;
                connection->close();
                connection->deleteLater();
                emit tcpConnected();
            }
        });
    }
    return true;
}

void FakeSipServer::stop()
{
    m_udp.reset();
    m_tcp.reset();
}

quint16 FakeSipServer::port() const
{
    return m_udp ? m_udp->localPort() : 0;
}

QHostAddress FakeSipServer::address() const
{
    return m_udp ? m_udp->localAddress() : QHostAddress();
}

void FakeSipServer::setAnswer(const QByteArray& statusLine, Received received,
                              const QString& receivedValue, const QByteArray& extraViaParameters)
{
    m_statusLine = statusLine;
    m_received = received;
    m_receivedValue = receivedValue;
    m_extraVia = extraViaParameters;
    m_useFixed = false;
}

void FakeSipServer::setFixedAnswer(const QByteArray& text)
{
    m_fixed = text;
    m_useFixed = true;
}

QByteArray FakeSipServer::buildAnswer(const QByteArray& request, const QHostAddress& sender) const
{
    if (m_useFixed)
        return m_fixed;

    QByteArray via = HeaderLine(request, "Via");
    const QByteArray senderText = QHostAddress(sender.toIPv4Address()).toString().toLatin1();
    bool addReceived = false;
    QByteArray value = senderText;
    if (m_received == Received::Always) {
        addReceived = true;
        if (!m_receivedValue.isEmpty())
            value = m_receivedValue.toLatin1();
    } else if (m_received == Received::WhenDiffers) {
        // "Via: SIP/2.0/UDP host:port;params"
        const qsizetype space = via.lastIndexOf(' ');
        QByteArray sentBy = via.mid(space + 1);
        sentBy = sentBy.left(sentBy.indexOf(';') < 0 ? sentBy.size() : sentBy.indexOf(';'));
        const QByteArray host = sentBy.left(sentBy.indexOf(':') < 0 ? sentBy.size() : sentBy.indexOf(':'));
        addReceived = host != senderText;
    }
    if (addReceived)
        via += ";received=" + value;
    via += m_extraVia;

    QByteArray answer = m_statusLine + "\r\n" + via + "\r\n";
    for (const char* name : {"From", "To", "Call-ID", "CSeq"}) {
        const QByteArray line = HeaderLine(request, name);
        if (!line.isEmpty())
            answer += line + "\r\n";
    }
    answer += "Content-Length: 0\r\n\r\n";
    return answer;
}

void FakeSipServer::readPending()
{
    while (m_udp && m_udp->hasPendingDatagrams()) {
        const QNetworkDatagram datagram = m_udp->receiveDatagram();
        Request request{datagram.data(), datagram.senderAddress(), static_cast<quint16>(datagram.senderPort())};
        m_requests.append(request);
        if (!m_silent && request.data.startsWith("REGISTER"))
            m_udp->writeDatagram(buildAnswer(request.data, request.from), request.from, request.fromPort);
        emit requestReceived();
    }
}

}  // namespace testsupport
