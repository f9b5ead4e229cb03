// SPDX-License-Identifier: Apache-2.0
#pragma once
// One UDP socket of its own, for windows that must not touch the program's
// socket set. Readiness comes as readyRead() on the UI thread; the socket is
// closed when the object is destroyed.
#include <QByteArray>
#include <QObject>
#include <QString>
#include <optional>

class QSocketNotifier;

namespace platform {

struct ReceivedDatagram {
    QByteArray data;
    QString fromAddress;  // dotted text, or IPv6 text on an IPv6 socket
    int fromPort = 0;
};

class UdpSocket : public QObject {
    Q_OBJECT
public:
    explicit UdpSocket(QObject* parent = nullptr);
    ~UdpSocket() override;

    UdpSocket(const UdpSocket&) = delete;
    UdpSocket& operator=(const UdpSocket&) = delete;

    enum class Family { Ipv4, Ipv6 };

    // Creates the socket and binds it to 0.0.0.0:port, or [::]:port for
    // IPv6 (IPv6 only, no mapped IPv4) (0: the system chooses).
    // False when the socket cannot be created or the port cannot be bound; the
    // object is then closed. Binding an open socket closes it first.
    bool bind(int port = 0, Family family = Family::Ipv4);
    Family family() const { return family_; }
    bool isOpen() const { return fd_ >= 0; }
    // The bound port as read back (0 when closed).
    int localPort() const { return localPort_; }

    // One datagram to an address of the socket's family (dotted IPv4, or IPv6
    // text); false when it did not leave whole (no name lookup: other text
    // sends nothing).
    bool sendTo(const QString& address, int port, const QByteArray& data);

    // The next queued datagram, nullopt when none is queued. Errors queued on
    // the socket (an ICMP unreachable for an earlier send) are consumed and
    // skipped. A datagram longer than the receive buffer is dropped whole.
    std::optional<ReceivedDatagram> receive();

    void close();

signals:
    // Datagrams are queued; read them all with receive().
    void readyRead();

private:
    int fd_ = -1;
    int localPort_ = 0;
    Family family_ = Family::Ipv4;
    QSocketNotifier* notifier_ = nullptr;
};

}  // namespace platform
