// SPDX-License-Identifier: Apache-2.0
#include "platform/icmp6_echo.h"

#include <QHostAddress>
#include <QList>
#include <QPointer>
#include <QSocketNotifier>

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace platform {

int Icmp6ReplySequence(const QByteArray& datagram, const QString& from, const QString& destination)
{
    // Type, code, checksum, identifier, sequence (RFC 4443 section 4.2).
    if (datagram.size() < 8 || static_cast<uint8_t>(datagram[0]) != kIcmp6EchoReply || datagram[1] != 0)
        return -1;
    const QHostAddress sender(from), target(destination);
    if (sender.protocol() != QAbstractSocket::IPv6Protocol || sender.isNull() || !(sender == target))
        return -1;
    return static_cast<uint8_t>(datagram[6]) << 8 | static_cast<uint8_t>(datagram[7]);
}

Icmp6Echo::Icmp6Echo(QObject* parent) : QObject(parent) {}

Icmp6Echo::~Icmp6Echo()
{
    close();
}

bool Icmp6Echo::open()
{
    close();
    fd_ = ::socket(AF_INET6, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_ICMPV6);
    if (fd_ < 0)
        return false;
    notifier_ = new QSocketNotifier(fd_, QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &Icmp6Echo::readAll);
    return true;
}

bool Icmp6Echo::send(const QString& destination, uint16_t sequence, const QByteArray& payload)
{
    if (fd_ < 0)
        return false;
    sockaddr_in6 to{};
    to.sin6_family = AF_INET6;
    if (destination.contains(QLatin1Char('%'))
        || ::inet_pton(AF_INET6, destination.toLatin1().constData(), &to.sin6_addr) != 1)
        return false;
    destination_ = destination;
    // The system fills in the identifier and the checksum of a datagram socket.
    QByteArray packet(8, '\0');
    packet[0] = static_cast<char>(kIcmp6EchoRequest);
    packet[6] = static_cast<char>(sequence >> 8);
    packet[7] = static_cast<char>(sequence & 0xFF);
    packet += payload;
    return ::sendto(fd_, packet.constData(), static_cast<size_t>(packet.size()), 0,
                    reinterpret_cast<const sockaddr*>(&to), sizeof to)
           == packet.size();
}

void Icmp6Echo::readAll()
{
    // Read everything queued first: a receiver of replied() may close or
    // delete this object.
    QList<int> sequences;
    char buffer[2048];
    while (fd_ >= 0) {
        sockaddr_in6 from{};
        socklen_t length = sizeof from;
        const ssize_t n = ::recvfrom(fd_, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &length);
        if (n < 0) {
            if (errno == EINTR || errno == ECONNREFUSED || errno == EHOSTUNREACH || errno == ENETUNREACH)
                continue;  // an error for an earlier echo: that echo counts as lost
            break;
        }
        char text[INET6_ADDRSTRLEN] = {};
        if (length < sizeof from || !::inet_ntop(AF_INET6, &from.sin6_addr, text, sizeof text))
            continue;
        const int sequence = Icmp6ReplySequence(QByteArray(buffer, static_cast<int>(n)), QString::fromLatin1(text),
                                                destination_);
        if (sequence >= 0)
            sequences << sequence;
    }
    const QPointer<Icmp6Echo> alive(this);
    for (int sequence : sequences) {
        if (!alive)
            return;
        emit replied(sequence);
    }
}

void Icmp6Echo::close()
{
    if (notifier_) {
        notifier_->setEnabled(false);
        notifier_->deleteLater();
        notifier_ = nullptr;
    }
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

}  // namespace platform
