// SPDX-License-Identifier: Apache-2.0
#pragma once
// A UDP peer on the loopback address for tests that talk to the program's sockets.
#include <QByteArray>
#include <QHostAddress>
#include <QUdpSocket>
#include <optional>

namespace testsupport {

struct PeerDatagram {
    QByteArray data;
    QString senderAddress;
    int senderPort = 0;
};

class LoopbackPeer {
public:
    // Binds to address:port (port 0 lets the system choose). Never shares the port.
    explicit LoopbackPeer(const QHostAddress& address = QHostAddress(QStringLiteral("127.0.0.1")),
                          quint16 port = 0);

    bool isBound() const;
    int port() const;
    QString address() const;

    // Sends one datagram (empty allowed) to 127.0.0.1:port; true when the whole datagram left.
    bool sendTo(int port, const QByteArray& data,
                const QHostAddress& to = QHostAddress(QStringLiteral("127.0.0.1")));

    // Waits up to timeoutMs for one datagram, running the event loop meanwhile.
    std::optional<PeerDatagram> receive(int timeoutMs = 1000);

    QUdpSocket& socket() { return m_socket; }

private:
    QUdpSocket m_socket;
};

// A UDP port on 127.0.0.1 and 0.0.0.0 that nothing is bound to right now and that is
// above minimum (0 when none could be found).
int FreeUdpPort(int minimum = 1024);

// A TCP port on 127.0.0.1 with no listener right now.
int FreeTcpPort();

// Waits (keeping the event loop running) until UDP port on 0.0.0.0 can be
// bound: other test programs on this machine may hold it for a while.
bool WaitForFreeUdpPort(int port, int timeoutMs = 90000);

}  // namespace testsupport
