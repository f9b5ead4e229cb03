#include "platform/udp_endpoint.h"

#include <QHostAddress>
#include <QNetworkDatagram>

namespace platform {

UdpEndpoint::UdpEndpoint(QObject* parent) : QObject(parent)
{
    connect(&socket_, &QUdpSocket::readyRead, this, &UdpEndpoint::readAll);
}

bool UdpEndpoint::open(int port)
{
    return socket_.bind(QHostAddress(QHostAddress::AnyIPv4), quint16(port));
}

int UdpEndpoint::localPort() const
{
    return socket_.localPort();
}

QString UdpEndpoint::SourceAddressTowards(const QString& address)
{
    QHostAddress to;
    if (!to.setAddress(address) || to.protocol() != QHostAddress::IPv4Protocol)
        return {};
    // A connected UDP socket sends nothing but has its source address chosen.
    QUdpSocket probe;
    probe.connectToHost(to, 9);
    if (!probe.waitForConnected(0) && probe.state() != QAbstractSocket::ConnectedState)
        return {};
    return probe.localAddress().toString();
}

bool UdpEndpoint::sendTo(const QString& address, int port, const QByteArray& data)
{
    QHostAddress to;
    if (!to.setAddress(address) || to.protocol() != QHostAddress::IPv4Protocol || port <= 0 || port > 65535)
        return false;
    return socket_.writeDatagram(data, to, quint16(port)) == data.size();
}

void UdpEndpoint::readAll()
{
    while (socket_.hasPendingDatagrams()) {
        const QNetworkDatagram d = socket_.receiveDatagram();
        // ICMP errors end up here as failed reads; only real datagrams count.
        if (!d.isValid())
            break;
        emit datagram(d.data(), d.senderAddress().toString(), d.senderPort());
    }
}

}  // namespace platform
