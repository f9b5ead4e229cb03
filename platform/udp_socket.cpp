// SPDX-License-Identifier: Apache-2.0
#include "platform/udp_socket.h"

#include <QSocketNotifier>

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace platform {

namespace {

// Larger than any STUN message this program sends or expects.
constexpr int kReceiveBufferSize = 4096;

}  // namespace

UdpSocket::UdpSocket(QObject* parent) : QObject(parent) {}

UdpSocket::~UdpSocket()
{
    close();
}

bool UdpSocket::bind(int port, Family family)
{
    close();
    if (port < 0 || port > 65535)
        return false;
    family_ = family;
    const bool v6 = family == Family::Ipv6;
    fd_ = ::socket(v6 ? AF_INET6 : AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_UDP);
    if (fd_ < 0)
        return false;
    sockaddr_storage local{};
    socklen_t length = 0;
    if (v6) {
        const int only = 1;
        ::setsockopt(fd_, IPPROTO_IPV6, IPV6_V6ONLY, &only, sizeof(only));
        auto* in6 = reinterpret_cast<sockaddr_in6*>(&local);
        in6->sin6_family = AF_INET6;
        in6->sin6_addr = in6addr_any;
        in6->sin6_port = htons(static_cast<uint16_t>(port));
        length = sizeof(sockaddr_in6);
    } else {
        auto* in = reinterpret_cast<sockaddr_in*>(&local);
        in->sin_family = AF_INET;
        in->sin_addr.s_addr = htonl(INADDR_ANY);
        in->sin_port = htons(static_cast<uint16_t>(port));
        length = sizeof(sockaddr_in);
    }
    const socklen_t bound = length;
    if (::bind(fd_, reinterpret_cast<const sockaddr*>(&local), bound) != 0
        || ::getsockname(fd_, reinterpret_cast<sockaddr*>(&local), &length) != 0) {
        close();
        return false;
    }
    localPort_ = ntohs(v6 ? reinterpret_cast<sockaddr_in6*>(&local)->sin6_port
                          : reinterpret_cast<sockaddr_in*>(&local)->sin_port);
    notifier_ = new QSocketNotifier(fd_, QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] { emit readyRead(); });
    return true;
}

bool UdpSocket::sendTo(const QString& address, int port, const QByteArray& data)
{
    if (fd_ < 0 || port < 0 || port > 65535)
        return false;
    const QByteArray latin = address.toLatin1();
    if (address.isEmpty() || latin.contains('\0'))
        return false;
    sockaddr_storage to{};
    socklen_t length = 0;
    if (family_ == Family::Ipv6) {
        auto* in6 = reinterpret_cast<sockaddr_in6*>(&to);
        in6->sin6_family = AF_INET6;
        in6->sin6_port = htons(static_cast<uint16_t>(port));
        if (::inet_pton(AF_INET6, latin.constData(), &in6->sin6_addr) != 1)
            return false;
        length = sizeof(sockaddr_in6);
    } else {
        auto* in = reinterpret_cast<sockaddr_in*>(&to);
        in->sin_family = AF_INET;
        in->sin_port = htons(static_cast<uint16_t>(port));
        if (::inet_pton(AF_INET, latin.constData(), &in->sin_addr) != 1)
            return false;
        length = sizeof(sockaddr_in);
    }
    const ssize_t sent = ::sendto(fd_, data.constData(), static_cast<size_t>(data.size()), 0,
                                  reinterpret_cast<const sockaddr*>(&to), length);
    return sent == data.size();
}

std::optional<ReceivedDatagram> UdpSocket::receive()
{
    if (fd_ < 0)
        return std::nullopt;
    char buffer[kReceiveBufferSize];
    for (;;) {
        sockaddr_storage from{};
        socklen_t length = sizeof(from);
        const ssize_t n = ::recvfrom(fd_, buffer, sizeof(buffer), MSG_TRUNC,
                                     reinterpret_cast<sockaddr*>(&from), &length);
        if (n < 0) {
            if (errno == EINTR || errno == ECONNREFUSED || errno == EHOSTUNREACH || errno == ENETUNREACH)
                continue;  // an error reported for an earlier send; the queue may hold more
            return std::nullopt;
        }
        if (n > static_cast<ssize_t>(sizeof(buffer)))
            continue;  // truncated: dropped whole
        char text[INET6_ADDRSTRLEN] = {};
        ReceivedDatagram datagram;
        datagram.data = QByteArray(buffer, static_cast<int>(n));
        if (from.ss_family == AF_INET6 && length >= sizeof(sockaddr_in6)) {
            const auto* in6 = reinterpret_cast<const sockaddr_in6*>(&from);
            datagram.fromAddress = ::inet_ntop(AF_INET6, &in6->sin6_addr, text, sizeof(text))
                                       ? QString::fromLatin1(text) : QStringLiteral("::");
            datagram.fromPort = ntohs(in6->sin6_port);
        } else {
            const auto* in = reinterpret_cast<const sockaddr_in*>(&from);
            if (length >= sizeof(sockaddr_in) && ::inet_ntop(AF_INET, &in->sin_addr, text, sizeof(text)))
                datagram.fromAddress = QString::fromLatin1(text);
            else
                datagram.fromAddress = QStringLiteral("0.0.0.0");
            datagram.fromPort = ntohs(in->sin_port);
        }
        return datagram;
    }
}

void UdpSocket::close()
{
    if (notifier_) {
        notifier_->setEnabled(false);
        notifier_->deleteLater();
        notifier_ = nullptr;
    }
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    localPort_ = 0;
}

}  // namespace platform
