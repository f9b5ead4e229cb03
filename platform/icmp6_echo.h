// SPDX-License-Identifier: Apache-2.0
#pragma once
// ICMPv6 echoes (RFC 4443 section 4: request type 128, reply type 129)
// through an unprivileged ICMPv6 datagram socket (allowed by the caller's
// group in net.ipv4.ping_group_range, which covers both families). The socket
// does not block: replies come as replied() on the UI thread.
#include <QByteArray>
#include <QObject>
#include <QString>
#include <cstdint>

class QSocketNotifier;

namespace platform {

constexpr int kIcmp6EchoRequest = 128;
constexpr int kIcmp6EchoReply = 129;

// A datagram read from the ICMPv6 datagram socket (ICMPv6 header first, no IP
// header; the system has matched the identifier): the sequence number of an
// echo reply sent by destination itself, -1 for anything else. Addresses are
// compared as IPv6 addresses, whatever their text.
int Icmp6ReplySequence(const QByteArray& datagram, const QString& from, const QString& destination);

class Icmp6Echo : public QObject {
    Q_OBJECT
public:
    explicit Icmp6Echo(QObject* parent = nullptr);
    ~Icmp6Echo() override;

    // Opens the socket; false when the system refuses one.
    bool open();
    // One echo request with this sequence number and payload to an IPv6
    // address; false when it did not leave.
    bool send(const QString& destination, uint16_t sequence, const QByteArray& payload);
    void close();

signals:
    void replied(int sequence);

private:
    void readAll();
    int fd_ = -1;
    QString destination_;
    QSocketNotifier* notifier_ = nullptr;
};

}  // namespace platform
