// SPDX-License-Identifier: Apache-2.0
#include "platform/source_address.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace platform {

QString SourceAddressTowards(const QString& address)
{
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(9);
    if (inet_pton(AF_INET, address.toLatin1().constData(), &to.sin_addr) != 1)
        return {};
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return {};
    // Connecting a UDP socket chooses its source address and sends nothing.
    QString result;
    sockaddr_in local{};
    socklen_t length = sizeof local;
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&to), sizeof to) == 0
        && ::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length) == 0) {
        char text[INET_ADDRSTRLEN];
        if (inet_ntop(AF_INET, &local.sin_addr, text, sizeof text))
            result = QString::fromLatin1(text);
    }
    ::close(fd);
    return result;
}

QString SourceAddressTowards6(const QString& address)
{
    sockaddr_in6 to{};
    to.sin6_family = AF_INET6;
    to.sin6_port = htons(9);
    if (address.contains(QLatin1Char('%')) || inet_pton(AF_INET6, address.toLatin1().constData(), &to.sin6_addr) != 1)
        return {};
    const int fd = ::socket(AF_INET6, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return {};
    QString result;
    sockaddr_in6 local{};
    socklen_t length = sizeof local;
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&to), sizeof to) == 0
        && ::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length) == 0) {
        char text[INET6_ADDRSTRLEN];
        if (inet_ntop(AF_INET6, &local.sin6_addr, text, sizeof text))
            result = QString::fromLatin1(text);
    }
    ::close(fd);
    return result;
}

}  // namespace platform
