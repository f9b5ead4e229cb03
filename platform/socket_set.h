// SPDX-License-Identifier: Apache-2.0
#pragma once
// The program's one set of three sockets (a system-port UDP probe socket, a
// fixed-port UDP socket and a TCP socket used for connection attempts only).
// Readiness reaches the window that opened the set through its hidden
// notification sinks, on the UI thread, one event at a time.
#include <QByteArray>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <cstdint>

namespace platform {

// A hidden child widget of a window; the socket layer raises ready() on it
// once per readiness event of the socket it was registered for.
class NotificationSink : public QWidget {
    Q_OBJECT
public:
    explicit NotificationSink(QWidget* parent = nullptr) : QWidget(parent) { hide(); }
    NotificationSink(QWidget* parent, const QString& name) : NotificationSink(parent) { setObjectName(name); }
signals:
    void ready();
};

enum class SocketId { Probe, Fixed, Tcp };

// Payloads: one byte per character, binary-safe.
using SocketData = QByteArray;

// Opens the set: ProbeSocket (UDP, 0.0.0.0:0), FixedPortSocket (UDP, 0.0.0.0:port),
// TcpSocket (TCP, unbound). Failures are shown through ShowMessage; opening goes on.
// A fixed port held by another program (bind refused with "address in use", or a
// different port read back) shows "Порт <port> занят другой программой !!!"; a port
// refused for lack of privilege shows nothing here (FixedBindResult tells the window
// that asked for it). An open set is closed first.
//
// Delivery: the two UDP sinks get one ready() per queued datagram. After a ready()
// that socket stays quiet until SocketReceive has been called on it, so a socket
// nobody reads raises exactly one event. The TCP sink gets ready() once, when a
// requested connection has been established; a refused or failed attempt raises
// nothing (the socket is then replaced by a fresh one, so a later request can try
// again). A handler run from ready() may close or reopen the set; a destroyed sink
// is skipped.
void OpenSockets(int port, NotificationSink* probeSink, NotificationSink* fixedSink,
                 NotificationSink* tcpSink);

// Closes the three sockets; harmless when already closed or never opened.
void CloseSockets();

// Sends one datagram (connectOnly false) or asks for a TCP connection (connectOnly true).
// The address is dotted text; no name lookup (other text sends nothing). Results are
// not reported. Connection requests while one is pending or made are ignored; data
// sent through TcpSocket goes on its connection.
void SocketSend(SocketId socket, const QString& address, int port, const SocketData& data,
                bool connectOnly);

// Receives one datagram of at most 1024 bytes. On error (nothing queued, datagram
// longer than 1024 bytes, which is dropped whole) data is left untouched. The sender
// address ("0.0.0.0" when none) and port (0 when none) are always written. Lets the
// socket's next readiness event through.
void SocketReceive(SocketId socket, QString& fromAddress, int& fromPort, SocketData& data);

// Local port of ProbeSocket as read back after binding (0..65535); 0 before the first open.
int ProbeLocalPort();
void SetProbeLocalPort(int port);

// Local port FixedPortSocket is bound to (0 when closed); for the windows' own checks and tests.
int FixedLocalPort();

// How the last opening bound FixedPortSocket to its port.
enum class FixedBind {
    Closed,        // the set is closed, or the socket could not be created
    Bound,         // bound to the port asked for
    Taken,         // another program holds the port (or a different port was read back)
    NoPermission,  // the system refused the port for lack of privilege
    Failed,        // refused for any other reason
};
FixedBind FixedBindResult();
bool SocketsOpen();

// The socket exists in the open set (its creation did not fail).
bool SocketCreated(SocketId socket);

// 32-bit IPv4 address in network order -> dotted text ("" on failure).
QString LongToAddress(uint32_t networkOrderAddress);
// Host name or dotted text -> address in network order; 0xFFFFFFFF when unresolvable.
// Dotted text needs no lookup; a name's lookup runs the wait hook while it waits.
uint32_t ResolveHost(const QString& name);
// Dotted text of ResolveHost; "255.255.255.255" for an unresolvable name.
QString ResolveHostText(const QString& name);

}  // namespace platform
