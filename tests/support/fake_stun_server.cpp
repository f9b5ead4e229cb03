// SPDX-License-Identifier: Apache-2.0
#include "support/fake_stun_server.h"

#include <QNetworkDatagram>

namespace testsupport {

namespace {

void Put16(QByteArray& out, quint16 value)
{
    out.append(static_cast<char>(value >> 8));
    out.append(static_cast<char>(value & 0xFF));
}

void PutAddressAttribute(QByteArray& out, quint16 type, const QHostAddress& address, quint16 port)
{
    Put16(out, type);
    Put16(out, 8);
    out.append('\0');
    out.append('\x01');  // IPv4
    Put16(out, port);
    const quint32 v4 = address.toIPv4Address();
    out.append(static_cast<char>(v4 >> 24));
    out.append(static_cast<char>((v4 >> 16) & 0xFF));
    out.append(static_cast<char>((v4 >> 8) & 0xFF));
    out.append(static_cast<char>(v4 & 0xFF));
}

// CHANGE-REQUEST flags of a request, 0 without the attribute.
quint32 ChangeFlags(const QByteArray& request)
{
    int offset = 20;
    while (offset + 4 <= request.size()) {
        const quint16 type = (quint8(request[offset]) << 8) | quint8(request[offset + 1]);
        const quint16 length = (quint8(request[offset + 2]) << 8) | quint8(request[offset + 3]);
        if (offset + 4 + length > request.size())
            break;
        if (type == 0x0003 && length == 4) {
            return (quint32(quint8(request[offset + 4])) << 24) | (quint32(quint8(request[offset + 5])) << 16)
                | (quint32(quint8(request[offset + 6])) << 8) | quint32(quint8(request[offset + 7]));
        }
        offset += 4 + length;
    }
    return 0;
}

}  // namespace

FakeStunServer::FakeStunServer(QObject* parent) : QObject(parent) {}

FakeStunServer::~FakeStunServer() = default;

bool FakeStunServer::start(quint16 port, quint16 alternativePort)
{
    stop();
    const auto bindPair = [this](int first, quint16 wanted) -> quint16 {
        // Same port on both addresses; with 0, retry a few system choices.
        for (int attempt = 0; attempt < 20; ++attempt) {
            auto a = std::make_unique<QUdpSocket>();
            auto b = std::make_unique<QUdpSocket>();
            if (!a->bind(primaryAddress(), wanted))
                return 0;
            const quint16 chosen = a->localPort();
            if (b->bind(alternativeAddress(), chosen)) {
                m_sockets[first] = std::move(a);
                m_sockets[first + 1] = std::move(b);
                return chosen;
            }
            if (wanted != 0)
                return 0;
        }
        return 0;
    };
    // Indices: 0 primary/port, 1 alternative/port, 2 primary/alt port, 3 alternative/alt port.
    m_port = bindPair(0, port);
    if (m_port == 0) {
        stop();
        return false;
    }
    quint16 alt = 0;
    for (int attempt = 0; attempt < 20 && alt == 0; ++attempt) {
        alt = bindPair(2, alternativePort);
        if (alt == m_port) {
            alt = 0;
            m_sockets[2].reset();
            m_sockets[3].reset();
        }
        if (alternativePort != 0)
            break;
    }
    m_altPort = alt;
    if (m_altPort == 0) {
        stop();
        return false;
    }
    for (int i = 0; i < 4; ++i)
        connect(m_sockets[i].get(), &QUdpSocket::readyRead, this, [this, i] { readPending(i); });
    return true;
}

void FakeStunServer::stop()
{
    for (auto& socket : m_sockets)
        socket.reset();
    m_port = 0;
    m_altPort = 0;
}

void FakeStunServer::setAnsweredTestBytes(const QSet<uint8_t>& testBytes)
{
    m_answered = testBytes;
}

void FakeStunServer::answerAll()
{
    m_answered.reset();
}

void FakeStunServer::setMappedAddress(const QString& address, quint16 port)
{
    m_mapped = std::make_pair(address, port);
}

void FakeStunServer::setMappedAddressFor(uint8_t testByte, const QString& address, quint16 port)
{
    m_mappedFor.insert(testByte, std::make_pair(address, port));
}

void FakeStunServer::clearMappedAddress()
{
    m_mapped.reset();
    m_mappedFor.clear();
}

void FakeStunServer::setChangedAddress(const QString& address, quint16 port)
{
    m_changed = std::make_pair(address, port);
}

int FakeStunServer::requestCount(uint8_t testByte) const
{
    int count = 0;
    for (const Request& r : m_requests) {
        if (r.data.size() >= 20 && quint8(r.data[19]) == testByte)
            ++count;
    }
    return count;
}

QUdpSocket* FakeStunServer::socketFor(bool alternativeAddressUsed, bool alternativePortUsed)
{
    return m_sockets[(alternativeAddressUsed ? 1 : 0) + (alternativePortUsed ? 2 : 0)].get();
}

QByteArray FakeStunServer::buildAnswer(const QByteArray& request, const QHostAddress& sourceAddress,
                                       quint16 sourcePort, const QHostAddress& answeringAddress,
                                       quint16 answeringPort) const
{
    const uint8_t testByte = request.size() >= 20 ? quint8(request[19]) : 0;
    QHostAddress mappedAddress = sourceAddress;
    quint16 mappedPort = sourcePort;
    if (m_mappedFor.contains(testByte)) {
        mappedAddress = QHostAddress(m_mappedFor.value(testByte).first);
        mappedPort = m_mappedFor.value(testByte).second;
    } else if (m_mapped) {
        mappedAddress = QHostAddress(m_mapped->first);
        mappedPort = m_mapped->second;
    }
    const QHostAddress changedAddress = m_changed ? QHostAddress(m_changed->first) : alternativeAddress();
    const quint16 changedPort = m_changed ? m_changed->second : m_altPort;

    QByteArray attributes;
    PutAddressAttribute(attributes, 0x0001, mappedAddress, mappedPort);
    switch (m_order) {
    case AttributeOrder::ChangedSecond:
        PutAddressAttribute(attributes, 0x0005, changedAddress, changedPort);
        PutAddressAttribute(attributes, 0x0004, answeringAddress, answeringPort);
        break;
    case AttributeOrder::Coturn: {
        PutAddressAttribute(attributes, 0x0004, answeringAddress, answeringPort);
        PutAddressAttribute(attributes, 0x0005, changedAddress, changedPort);
        const QByteArray software("Tarvolin test STUN");  // 18 bytes, padded to 20
        Put16(attributes, 0x8022);
        Put16(attributes, static_cast<quint16>(software.size()));
        attributes.append(software);
        attributes.append(2, '\0');
        break;
    }
    case AttributeOrder::NoChanged:
        PutAddressAttribute(attributes, 0x0004, answeringAddress, answeringPort);
        Put16(attributes, 0x8028);  // an attribute of 8 bytes the client does not know
        Put16(attributes, 8);
        attributes.append(8, '\0');
        break;
    }

    QByteArray answer;
    Put16(answer, 0x0101);  // Binding Response
    Put16(answer, static_cast<quint16>(attributes.size()));
    QByteArray transaction = request.mid(4, 16);
    transaction.append(16 - transaction.size(), '\0');
    answer.append(transaction);
    answer.append(attributes);
    return answer;
}

void FakeStunServer::readPending(int socketIndex)
{
    QUdpSocket* socket = m_sockets[socketIndex].get();
    while (socket && socket->hasPendingDatagrams()) {
        const QNetworkDatagram datagram = socket->receiveDatagram();
        Request request;
        request.data = datagram.data();
        request.from = datagram.senderAddress();
        request.fromPort = static_cast<quint16>(datagram.senderPort());
        request.to = socket->localAddress();
        request.toPort = socket->localPort();

        const uint8_t testByte = request.data.size() >= 20 ? quint8(request.data[19]) : 0;
        request.answered = request.data.size() >= 20 && (!m_answered || m_answered->contains(testByte));
        if (request.answered) {
            const quint32 flags = ChangeFlags(request.data);
            const bool onAlternativeAddress = (socketIndex & 1) != 0;
            const bool onAlternativePort = (socketIndex & 2) != 0;
            QUdpSocket* answering = socketFor(onAlternativeAddress != ((flags & 4) != 0),
                                              onAlternativePort != ((flags & 2) != 0));
            const QByteArray answer = buildAnswer(request.data, request.from, request.fromPort,
                                                  answering->localAddress(), answering->localPort());
            for (int i = 0; i < m_copies; ++i)
                answering->writeDatagram(answer, request.from, request.fromPort);
        }
        m_requests.append(request);
        emit requestReceived(request);
        socket = m_sockets[socketIndex].get();  // a slot may have stopped the server
    }
}

}  // namespace testsupport
