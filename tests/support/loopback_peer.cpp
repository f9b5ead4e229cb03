// SPDX-License-Identifier: Apache-2.0
#include "support/loopback_peer.h"

#include <QDeadlineTimer>
#include <QTcpServer>
#include <QTest>

namespace testsupport {

LoopbackPeer::LoopbackPeer(const QHostAddress& address, quint16 port)
{
    m_socket.bind(address, port, QAbstractSocket::DontShareAddress);
}

bool LoopbackPeer::isBound() const
{
    return m_socket.state() == QAbstractSocket::BoundState;
}

int LoopbackPeer::port() const
{
    return m_socket.localPort();
}

QString LoopbackPeer::address() const
{
    return m_socket.localAddress().toString();
}

bool LoopbackPeer::sendTo(int port, const QByteArray& data, const QHostAddress& to)
{
    return m_socket.writeDatagram(data, to, static_cast<quint16>(port)) == data.size();
}

std::optional<PeerDatagram> LoopbackPeer::receive(int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!m_socket.hasPendingDatagrams() && !deadline.hasExpired())
        QTest::qWait(5);
    if (!m_socket.hasPendingDatagrams())
        return std::nullopt;
    PeerDatagram datagram;
    QHostAddress sender;
    quint16 senderPort = 0;
    datagram.data.resize(qMax<qint64>(m_socket.pendingDatagramSize(), 0));
    const qint64 read = m_socket.readDatagram(datagram.data.data(), datagram.data.size(), &sender, &senderPort);
    if (read < 0)
        return std::nullopt;
    datagram.data.truncate(read);
    datagram.senderAddress = sender.toString();
    datagram.senderPort = senderPort;
    return datagram;
}

int FreeUdpPort(int minimum)
{
    for (int attempt = 0; attempt < 200; ++attempt) {
        QUdpSocket probe;
        quint16 port = 0;
        if (attempt > 0)
            port = static_cast<quint16>(minimum + 1 + (attempt * 211) % (65535 - minimum - 1));
        if (!probe.bind(QHostAddress::AnyIPv4, port, QAbstractSocket::DontShareAddress))
            continue;
        if (probe.localPort() > minimum)
            return probe.localPort();
    }
    return 0;
}

int FreeTcpPort()
{
    QTcpServer server;
    if (!server.listen(QHostAddress(QStringLiteral("127.0.0.1")), 0))
        return 0;
    return server.serverPort();
}

bool WaitForFreeUdpPort(int port, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    do {
        QUdpSocket probe;
        if (probe.bind(QHostAddress::AnyIPv4, quint16(port), QAbstractSocket::DontShareAddress))
            return true;
        QTest::qWait(250);
    } while (!deadline.hasExpired());
    return false;
}

}  // namespace testsupport
