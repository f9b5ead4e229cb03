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

bool UdpSocket::bind(int port)
{
    close();
    if (port < 0 || port > 65535)
        return false;
    fd_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_UDP);
    if (fd_ < 0)
        return false;
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    local.sin_port = htons(static_cast<uint16_t>(port));
    socklen_t length = sizeof(local);
    if (::bind(fd_, reinterpret_cast<const sockaddr*>(&local), sizeof(local)) != 0
        || ::getsockname(fd_, reinterpret_cast<sockaddr*>(&local), &length) != 0) {
        close();
        return false;
    }
    localPort_ = ntohs(local.sin_port);
    notifier_ = new QSocketNotifier(fd_, QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] { emit readyRead(); });
    return true;
}

bool UdpSocket::sendTo(const QString& address, int port, const QByteArray& data)
{
    if (fd_ < 0 || port < 0 || port > 65535)
        return false;
    const QByteArray latin = address.toLatin1();
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<uint16_t>(port));
    if (address.isEmpty() || latin.contains('\0') || ::inet_pton(AF_INET, latin.constData(), &to.sin_addr) != 1)
        return false;
    const ssize_t sent = ::sendto(fd_, data.constData(), static_cast<size_t>(data.size()), 0,
                                  reinterpret_cast<const sockaddr*>(&to), sizeof(to));
    return sent == data.size();
}

std::optional<ReceivedDatagram> UdpSocket::receive()
{
    if (fd_ < 0)
        return std::nullopt;
    char buffer[kReceiveBufferSize];
    for (;;) {
        sockaddr_in from{};
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
        char text[INET_ADDRSTRLEN] = {};
        ReceivedDatagram datagram;
        datagram.data = QByteArray(buffer, static_cast<int>(n));
        if (length >= sizeof(sockaddr_in) && ::inet_ntop(AF_INET, &from.sin_addr, text, sizeof(text)))
            datagram.fromAddress = QString::fromLatin1(text);
        else
            datagram.fromAddress = QStringLiteral("0.0.0.0");
        datagram.fromPort = ntohs(from.sin_port);
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
