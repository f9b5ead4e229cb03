// SPDX-License-Identifier: Apache-2.0
#include "platform/source_address.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace platform {

namespace {

// Connecting a UDP socket chooses its source address and sends nothing.
QString ConnectedSource(const sockaddr* to, socklen_t toLength)
{
    const int fd = ::socket(to->sa_family, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return {};
    QString result;
    sockaddr_storage local{};
    socklen_t length = sizeof local;
    if (::connect(fd, to, toLength) == 0 && ::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length) == 0) {
        char text[INET6_ADDRSTRLEN];
        const void* raw = local.ss_family == AF_INET6
                              ? static_cast<const void*>(&reinterpret_cast<const sockaddr_in6*>(&local)->sin6_addr)
                              : static_cast<const void*>(&reinterpret_cast<const sockaddr_in*>(&local)->sin_addr);
        if (inet_ntop(local.ss_family, raw, text, sizeof text))
            result = QString::fromLatin1(text);
    }
    ::close(fd);
    return result;
}

}  // namespace

QString SourceAddressTowards(const QString& address)
{
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(9);
    if (inet_pton(AF_INET, address.toLatin1().constData(), &to.sin_addr) != 1)
        return {};
    return ConnectedSource(reinterpret_cast<const sockaddr*>(&to), sizeof to);
}

QString SourceAddressTowards6(const QString& address)
{
    sockaddr_in6 to{};
    to.sin6_family = AF_INET6;
    to.sin6_port = htons(9);
    if (address.contains(QLatin1Char('%')) || inet_pton(AF_INET6, address.toLatin1().constData(), &to.sin6_addr) != 1)
        return {};
    return ConnectedSource(reinterpret_cast<const sockaddr*>(&to), sizeof to);
}

}  // namespace platform
