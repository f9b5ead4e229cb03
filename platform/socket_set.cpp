// SPDX-License-Identifier: Apache-2.0
#include "platform/socket_set.h"

#include "platform/blocking_wait.h"
#include "platform/user_message.h"

#include <QSocketNotifier>

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/types.h>
#include <unistd.h>
#include <QCoreApplication>

namespace platform {

namespace {

// Largest datagram handed to callers; anything longer is dropped whole.
constexpr int kReceiveBufferSize = 1024;

QString SocketFailed() { return QCoreApplication::translate("SocketSet", "Ошибка инициализации базового сокета !!!"); }
QString NotifyFailed() { return QCoreApplication::translate("SocketSet", "Ошибка создания обработки события для порта !!!"); }

enum class TcpState { Idle, Pending, Connected };

struct SocketEntry {
    int fd = -1;
    QSocketNotifier* notifier = nullptr;
    QPointer<NotificationSink> sink;
};

struct SocketSetState {
    SocketEntry entries[3];
    TcpState tcpState = TcpState::Idle;
    int probeLocalPort = 0;
    int fixedLocalPort = 0;
    FixedBind fixedBind = FixedBind::Closed;
    bool open = false;
    // Deliveries in progress (a handler may run a nested event loop in which
    // another socket fires). While any is under way, notifiers dropped by a
    // handler that closes the set are deleted later, never under their own signal.
    int delivering = 0;
};

SocketSetState& state()
{
    static SocketSetState s;
    return s;
}

SocketEntry& entryFor(SocketId id)
{
    return state().entries[static_cast<int>(id)];
}

int localPortOf(int fd, bool* ok = nullptr)
{
    sockaddr_in local{};
    socklen_t length = sizeof(local);
    const bool read = fd >= 0 && ::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length) == 0
                      && local.sin_family == AF_INET;
    if (ok)
        *ok = read;
    return read ? static_cast<int>(ntohs(local.sin_port)) : 0;
}

bool parseDotted(const QString& text, in_addr& address)
{
    const QByteArray latin = text.toLatin1();
    if (text.isEmpty() || latin.contains('\0'))
        return false;
    return ::inet_aton(latin.constData(), &address) != 0;
}

void dropNotifier(SocketEntry& entry)
{
    QSocketNotifier* notifier = entry.notifier;
    entry.notifier = nullptr;
    if (!notifier)
        return;
    notifier->setEnabled(false);
    QObject::disconnect(notifier, nullptr, nullptr, nullptr);
    if (state().delivering > 0)
        notifier->deleteLater();
    else
        delete notifier;
}

void closeEntry(SocketEntry& entry)
{
    dropNotifier(entry);
    if (entry.fd >= 0)
        ::close(entry.fd);
    entry.fd = -1;
    entry.sink.clear();
}

int createSocket(int type, int protocol)
{
    return ::socket(AF_INET, type | SOCK_NONBLOCK | SOCK_CLOEXEC, protocol);
}

void attachNotifier(SocketId id, QSocketNotifier::Type type, bool enabled, bool reportFailure = true);

// A TCP socket whose connection attempt failed cannot be used for another one:
// put a fresh unbound socket in its place, with the same sink.
void renewTcpSocket()
{
    SocketEntry& tcp = entryFor(SocketId::Tcp);
    const QPointer<NotificationSink> sink = tcp.sink;
    closeEntry(tcp);
    tcp.sink = sink;
    tcp.fd = createSocket(SOCK_STREAM, IPPROTO_TCP);
    attachNotifier(SocketId::Tcp, QSocketNotifier::Write, false, false);
    state().tcpState = TcpState::Idle;
}

void deliver(SocketId id, QSocketNotifier* notifier)
{
    SocketSetState& s = state();
    SocketEntry& entry = entryFor(id);
    if (entry.notifier != notifier)
        return;  // a stale notifier of a set that has been closed meanwhile
    // Edge-style delivery: nothing more from this socket until its owner reads it
    // (UDP) or ever again for this connection (TCP).
    notifier->setEnabled(false);

    if (id == SocketId::Tcp) {
        int error = 0;
        socklen_t length = sizeof(error);
        if (::getsockopt(entry.fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0)
            error = errno;
        sockaddr_in peer{};
        socklen_t peerLength = sizeof(peer);
        if (error == 0 && ::getpeername(entry.fd, reinterpret_cast<sockaddr*>(&peer), &peerLength) != 0)
            error = errno;
        if (error != 0) {
            ++s.delivering;
            renewTcpSocket();
            --s.delivering;
            return;
        }
        s.tcpState = TcpState::Connected;
    }

    const QPointer<NotificationSink> sink = entry.sink;
    if (!sink)
        return;
    ++s.delivering;
    emit sink->ready();
    --s.delivering;
}

void attachNotifier(SocketId id, QSocketNotifier::Type type, bool enabled, bool reportFailure)
{
    SocketEntry& entry = entryFor(id);
    if (entry.fd < 0) {
        if (reportFailure)
            ShowMessage(NotifyFailed());
        return;
    }
    auto* notifier = new QSocketNotifier(entry.fd, type);
    notifier->setEnabled(enabled);
    QObject::connect(notifier, &QSocketNotifier::activated, notifier,
                     [id, notifier](QSocketDescriptor, QSocketNotifier::Type) { deliver(id, notifier); });
    entry.notifier = notifier;
}

void rearmReader(SocketId id)
{
    if (id == SocketId::Tcp)
        return;
    SocketEntry& entry = entryFor(id);
    if (entry.notifier && entry.fd >= 0)
        entry.notifier->setEnabled(true);
}

}  // namespace

void OpenSockets(int port, NotificationSink* probeSink, NotificationSink* fixedSink,
                 NotificationSink* tcpSink)
{
    SocketSetState& s = state();
    // Opening over an open set would leave the old sockets holding their ports.
    CloseSockets();

    SocketEntry& probe = entryFor(SocketId::Probe);
    SocketEntry& fixed = entryFor(SocketId::Fixed);
    SocketEntry& tcp = entryFor(SocketId::Tcp);
    probe.sink = probeSink;
    fixed.sink = fixedSink;
    tcp.sink = tcpSink;
    s.tcpState = TcpState::Idle;
    s.open = true;

    // Probe socket: any address, port chosen by the system.
    probe.fd = createSocket(SOCK_DGRAM, IPPROTO_UDP);
    if (probe.fd < 0)
        ShowMessage(SocketFailed());
    if (probe.fd >= 0) {
        sockaddr_in any{};
        any.sin_family = AF_INET;
        any.sin_addr.s_addr = htonl(INADDR_ANY);
        any.sin_port = 0;
        ::bind(probe.fd, reinterpret_cast<sockaddr*>(&any), sizeof(any));
    }
    s.probeLocalPort = localPortOf(probe.fd);
    attachNotifier(SocketId::Probe, QSocketNotifier::Read, true);

    // Fixed-port socket. No address reuse: a port held by another program
    // must make this bind fail so that the user hears about it.
    fixed.fd = createSocket(SOCK_DGRAM, IPPROTO_UDP);
    if (fixed.fd < 0)
        ShowMessage(SocketFailed());
    s.fixedLocalPort = 0;
    s.fixedBind = FixedBind::Closed;
    if (fixed.fd >= 0) {
        sockaddr_in any{};
        any.sin_family = AF_INET;
        any.sin_addr.s_addr = htonl(INADDR_ANY);
        any.sin_port = htons(static_cast<uint16_t>(port));
        const QString taken = QCoreApplication::translate("SocketSet", "Порт ") + QString::number(port)
                              + QCoreApplication::translate("SocketSet", " занят другой программой !!!");
        if (::bind(fixed.fd, reinterpret_cast<sockaddr*>(&any), sizeof(any)) != 0) {
            // A port below 1024 refused for lack of privilege is not "taken":
            // the window that asked for it tells the user (FixedBindResult).
            const int error = errno;
            if (error == EADDRINUSE) {
                s.fixedBind = FixedBind::Taken;
                ShowMessage(taken);
            } else {
                s.fixedBind = error == EACCES || error == EPERM ? FixedBind::NoPermission : FixedBind::Failed;
            }
        } else {
            bool ok = false;
            const int bound = localPortOf(fixed.fd, &ok);
            s.fixedBind = FixedBind::Failed;
            if (ok) {
                s.fixedLocalPort = bound;
                s.fixedBind = bound == port ? FixedBind::Bound : FixedBind::Taken;
                if (bound != port)
                    ShowMessage(taken);
            }
        }
    }
    attachNotifier(SocketId::Fixed, QSocketNotifier::Read, true);

    // TCP socket: unbound; its write notifier is armed only by a connection request.
    tcp.fd = createSocket(SOCK_STREAM, IPPROTO_TCP);
    if (tcp.fd < 0)
        ShowMessage(SocketFailed());
    attachNotifier(SocketId::Tcp, QSocketNotifier::Write, false);
}

void CloseSockets()
{
    SocketSetState& s = state();
    closeEntry(entryFor(SocketId::Probe));
    closeEntry(entryFor(SocketId::Fixed));
    closeEntry(entryFor(SocketId::Tcp));
    s.tcpState = TcpState::Idle;
    s.fixedLocalPort = 0;
    s.fixedBind = FixedBind::Closed;
    s.open = false;
}

void SocketSend(SocketId socket, const QString& address, int port, const SocketData& data,
                bool connectOnly)
{
    SocketEntry& entry = entryFor(socket);
    if (entry.fd < 0)
        return;
    sockaddr_in target{};
    target.sin_family = AF_INET;
    if (!parseDotted(address, target.sin_addr))
        return;
    target.sin_port = htons(static_cast<uint16_t>(port));

    if (connectOnly) {
        if (socket == SocketId::Tcp) {
            SocketSetState& s = state();
            // One connection per socket: requests while one is pending or made are ignored.
            if (s.tcpState != TcpState::Idle)
                return;
            const int result = ::connect(entry.fd, reinterpret_cast<sockaddr*>(&target), sizeof(target));
            if (result == 0 || errno == EINPROGRESS || errno == EINTR) {
                s.tcpState = TcpState::Pending;
                if (entry.notifier)
                    entry.notifier->setEnabled(true);
            } else {
                renewTcpSocket();
            }
            return;
        }
        ::connect(entry.fd, reinterpret_cast<sockaddr*>(&target), sizeof(target));
        return;
    }

    if (socket == SocketId::Tcp) {
        // A stream socket puts the bytes on its connection; the address does not matter.
        ::send(entry.fd, data.constData(), static_cast<size_t>(data.size()), MSG_NOSIGNAL);
        return;
    }
    ::sendto(entry.fd, data.constData(), static_cast<size_t>(data.size()), MSG_NOSIGNAL,
             reinterpret_cast<sockaddr*>(&target), sizeof(target));
}

void SocketReceive(SocketId socket, QString& fromAddress, int& fromPort, SocketData& data)
{
    SocketEntry& entry = entryFor(socket);
    fromAddress = QStringLiteral("0.0.0.0");
    fromPort = 0;

    // One byte more than the limit: a longer datagram shows up as truncated.
    char buffer[kReceiveBufferSize + 1];
    sockaddr_in sender{};
    socklen_t senderLength = sizeof(sender);
    ssize_t received = -1;
    if (entry.fd >= 0) {
        received = ::recvfrom(entry.fd, buffer, sizeof(buffer), MSG_TRUNC,
                              reinterpret_cast<sockaddr*>(&sender), &senderLength);
    }
    if (received >= 0 && senderLength >= sizeof(sockaddr_in) && sender.sin_family == AF_INET) {
        fromAddress = LongToAddress(sender.sin_addr.s_addr);
        fromPort = ntohs(sender.sin_port);
    }
    if (received >= 0 && received <= kReceiveBufferSize)
        data = QByteArray(buffer, static_cast<qsizetype>(received));

    rearmReader(socket);
}

int ProbeLocalPort()
{
    return state().probeLocalPort;
}

void SetProbeLocalPort(int port)
{
    state().probeLocalPort = port;
}

int FixedLocalPort()
{
    return state().fixedLocalPort;
}

FixedBind FixedBindResult()
{
    return state().fixedBind;
}

bool SocketsOpen()
{
    return state().open;
}

bool SocketCreated(SocketId socket)
{
    return state().open && entryFor(socket).fd >= 0;
}

QString LongToAddress(uint32_t networkOrderAddress)
{
    in_addr address{};
    address.s_addr = networkOrderAddress;
    char text[INET_ADDRSTRLEN] = {};
    if (!::inet_ntop(AF_INET, &address, text, sizeof(text)))
        return QString();
    return QString::fromLatin1(text);
}

uint32_t ResolveHost(const QString& name)
{
    constexpr uint32_t kUnresolved = 0xFFFFFFFFu;
    in_addr dotted{};
    if (parseDotted(name, dotted))
        return dotted.s_addr;
    const QByteArray host = name.toUtf8();
    if (host.isEmpty() || host.contains('\0'))
        return kUnresolved;

    // The system's own lookup (hosts file, DNS and whatever else the name
    // service configuration names), run asynchronously by the C library so that
    // the windows are served between slices of the wait.
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_DGRAM;
    gaicb request{};
    request.ar_name = host.constData();
    request.ar_request = &hints;
    gaicb* requests[] = {&request};
    if (::getaddrinfo_a(GAI_NOWAIT, requests, 1, nullptr) != 0)
        return kUnresolved;
    int status = EAI_INPROGRESS;
    for (;;) {
        const timespec slice{0, long(kWaitSliceMs) * 1000000};
        ::gai_suspend(requests, 1, &slice);
        status = ::gai_error(&request);
        if (status != EAI_INPROGRESS)
            break;
        RunWaitHook();
    }
    addrinfo* found = status == 0 ? request.ar_result : nullptr;
    if (!found)
        return kUnresolved;
    uint32_t result = kUnresolved;
    for (const addrinfo* item = found; item; item = item->ai_next) {
        if (item->ai_family == AF_INET && item->ai_addr && item->ai_addrlen >= sizeof(sockaddr_in)) {
            result = reinterpret_cast<const sockaddr_in*>(item->ai_addr)->sin_addr.s_addr;
            break;
        }
    }
    ::freeaddrinfo(found);
    return result;
}

QString ResolveHostText(const QString& name)
{
    return LongToAddress(ResolveHost(name));
}

}  // namespace platform
