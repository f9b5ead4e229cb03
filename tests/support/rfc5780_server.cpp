// SPDX-License-Identifier: Apache-2.0
#include "support/rfc5780_server.h"

#include "support/loopback_peer.h"

#include <QNetworkDatagram>

namespace testsupport {

using probes::stun5780::Endpoint;

namespace {

void put16(QByteArray& out, int v)
{
    out.append(char((v >> 8) & 0xFF));
    out.append(char(v & 0xFF));
}

QByteArray addressAttribute(int type, const Endpoint& e, bool xored)
{
    QByteArray a;
    put16(a, type);
    put16(a, 8);
    put16(a, 1);
    quint32 address = 0;
    for (const QString& part : e.address.split(QLatin1Char('.')))
        address = (address << 8) | part.toUInt();
    int port = e.port;
    if (xored) {
        port ^= 0x2112;
        address ^= 0x2112A442;
    }
    put16(a, port);
    put16(a, int(address >> 16));
    put16(a, int(address & 0xFFFF));
    return a;
}

const char* const kAddresses[2] = {"127.0.0.2", "127.0.0.3"};

}  // namespace

StunRequestFields ReadStunRequest(const QByteArray& request)
{
    StunRequestFields fields;
    for (int offset = 20; offset + 4 <= request.size();) {
        const int type = (uchar(request[offset]) << 8) | uchar(request[offset + 1]);
        const int length = (uchar(request[offset + 2]) << 8) | uchar(request[offset + 3]);
        if (offset + 4 + length > request.size())
            break;
        if (type == 0x0003 && length == 4)
            fields.changeFlags = uchar(request[offset + 7]);
        if (type == 0x0027 && length == 4)
            fields.responsePort = (uchar(request[offset + 4]) << 8) | uchar(request[offset + 5]);
        offset += 4 + ((length + 3) & ~3);
    }
    return fields;
}

QByteArray BuildStunResponse(const QByteArray& request, const Endpoint& mapped, const std::optional<Endpoint>& origin,
                             const std::optional<Endpoint>& other)
{
    QByteArray attributes = addressAttribute(0x0020, mapped, true);
    if (origin)
        attributes += addressAttribute(0x802B, *origin, false);
    if (other)
        attributes += addressAttribute(0x802C, *other, false);
    QByteArray response;
    put16(response, 0x0101);
    put16(response, int(attributes.size()));
    return response + request.mid(4, 16) + attributes;
}

Rfc5780Server::Rfc5780Server() = default;
Rfc5780Server::~Rfc5780Server() = default;

bool Rfc5780Server::start()
{
    ports_[0] = FreeUdpPort(20000);
    ports_[1] = FreeUdpPort(ports_[0] + 1);
    for (int i = 0; i < 4; ++i) {
        sockets_[i] = std::make_unique<QUdpSocket>();
        if (!sockets_[i]->bind(QHostAddress(QString::fromLatin1(kAddresses[i / 2])), quint16(ports_[i % 2])))
            return false;
        QObject::connect(sockets_[i].get(), &QUdpSocket::readyRead, sockets_[i].get(), [this, i] { serve(i); });
    }
    return true;
}

void Rfc5780Server::serve(int index)
{
    while (sockets_[index]->hasPendingDatagrams()) {
        const QNetworkDatagram d = sockets_[index]->receiveDatagram();
        if (d.data().size() < 20)
            continue;
        ++requests_;
        const StunRequestFields fields = ReadStunRequest(d.data());
        int address = index / 2, port = index % 2;
        if (fields.changeFlags & 0x04)
            address ^= 1;
        if (fields.changeFlags & 0x02)
            port ^= 1;
        const Endpoint origin{QString::fromLatin1(kAddresses[address]), ports_[port]};
        const Endpoint other{QString::fromLatin1(kAddresses[address ^ 1]), ports_[port ^ 1]};
        const Endpoint sender{QHostAddress(d.senderAddress().toIPv4Address()).toString(), d.senderPort()};
        const QByteArray response = BuildStunResponse(d.data(), sender, origin, other);
        const int to = fields.responsePort.value_or(sender.port);
        sockets_[address * 2 + port]->writeDatagram(response, d.senderAddress(), quint16(to));
    }
}

}  // namespace testsupport
