// SPDX-License-Identifier: Apache-2.0
#pragma once
// A classic (RFC 3489) STUN server on loopback for tests: primary address
// 127.0.0.2, alternative address 127.0.0.3, each listening on the primary
// port and on an alternative port. Requests with CHANGE-REQUEST are answered
// from the other address (change IP), the alternative port (change port) or
// both. The test decides which requests get answers (by test byte, the last
// byte of the transaction ID), the mapped address and port reported, and
// where CHANGED-ADDRESS stands among the attributes.
#include <QByteArray>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QSet>
#include <QUdpSocket>
#include <array>
#include <memory>
#include <optional>

namespace testsupport {

class FakeStunServer : public QObject {
    Q_OBJECT
public:
    // Attribute order of the answers.
    enum class AttributeOrder {
        ChangedSecond,  // MAPPED-ADDRESS, CHANGED-ADDRESS, SOURCE-ADDRESS
        Coturn,         // MAPPED-ADDRESS, SOURCE-ADDRESS, CHANGED-ADDRESS, SOFTWARE
        NoChanged,      // MAPPED-ADDRESS, SOURCE-ADDRESS, then 12 bytes of padding
                        // attribute (a reply without CHANGED-ADDRESS)
    };

    struct Request {
        QByteArray data;
        QHostAddress from;
        quint16 fromPort = 0;
        QHostAddress to;     // the server address the request arrived at
        quint16 toPort = 0;
        bool answered = false;
    };

    static QHostAddress primaryAddress() { return QHostAddress(QStringLiteral("127.0.0.2")); }
    static QHostAddress alternativeAddress() { return QHostAddress(QStringLiteral("127.0.0.3")); }

    explicit FakeStunServer(QObject* parent = nullptr);
    ~FakeStunServer() override;

    // Binds the four sockets. Port 0 lets the system choose (the same number is
    // then taken on both addresses). False when any socket could not be bound.
    bool start(quint16 port = 0, quint16 alternativePort = 0);
    void stop();

    quint16 port() const { return m_port; }
    quint16 alternativePort() const { return m_altPort; }

    // Only requests whose test byte is in the set are answered. Without a set
    // (the default, or after answerAll) every request is answered.
    void setAnsweredTestBytes(const QSet<uint8_t>& testBytes);
    void answerAll();

    // Mapped address/port reported in every answer instead of the request's
    // real source; per test byte overrides take precedence.
    void setMappedAddress(const QString& address, quint16 port);
    void setMappedAddressFor(uint8_t testByte, const QString& address, quint16 port);
    void clearMappedAddress();

    // CHANGED-ADDRESS reported (default: 127.0.0.3 and the alternative port).
    void setChangedAddress(const QString& address, quint16 port);

    void setAttributeOrder(AttributeOrder order) { m_order = order; }

    // Copies of each answer (1 by default).
    void setCopies(int copies) { m_copies = copies; }

    const QList<Request>& requests() const { return m_requests; }
    int requestCount(uint8_t testByte) const;
    void clearRequests() { m_requests.clear(); }

    // The answer this server would send to request from sourceAddress:sourcePort,
    // sent from answeringAddress:answeringPort.
    QByteArray buildAnswer(const QByteArray& request, const QHostAddress& sourceAddress,
                           quint16 sourcePort, const QHostAddress& answeringAddress,
                           quint16 answeringPort) const;

signals:
    void requestReceived(const testsupport::FakeStunServer::Request& request);

private:
    // Socket index: bit 0 = alternative address, bit 1 = alternative port.
    QUdpSocket* socketFor(bool alternativeAddressUsed, bool alternativePortUsed);
    void readPending(int socketIndex);

    std::array<std::unique_ptr<QUdpSocket>, 4> m_sockets;
    quint16 m_port = 0;
    quint16 m_altPort = 0;
    std::optional<QSet<uint8_t>> m_answered;
    std::optional<std::pair<QString, quint16>> m_mapped;
    QHash<uint8_t, std::pair<QString, quint16>> m_mappedFor;
    std::optional<std::pair<QString, quint16>> m_changed;
    AttributeOrder m_order = AttributeOrder::Coturn;
    int m_copies = 1;
    QList<Request> m_requests;
};

}  // namespace testsupport
