// SPDX-License-Identifier: Apache-2.0
#include "platform/ipv6_netlink.h"

#include <QHostAddress>

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace platform {

namespace {

constexpr int kMaxDump = 1 << 20;
constexpr int kDumpWaitMs = 500;

// Host-order fields of a message at offset, read by copy (the bytes may be
// unaligned).
template <typename T>
bool ReadStruct(const QByteArray& data, int offset, int end, T& out)
{
    if (offset < 0 || end - offset < static_cast<int>(sizeof(T)))
        return false;
    std::memcpy(&out, data.constData() + offset, sizeof(T));
    return true;
}

uint32_t Read32(const QByteArray& data, int offset)
{
    uint32_t v = 0;
    std::memcpy(&v, data.constData() + offset, sizeof(v));
    return v;
}

QString Ipv6Text(const QByteArray& data, int offset)
{
    Q_IPV6ADDR raw;
    std::memcpy(raw.c, data.constData() + offset, 16);
    return QHostAddress(raw).toString();
}

int Align(int n)
{
    return (n + 3) & ~3;  // NLMSG_ALIGN and RTA_ALIGN: four bytes
}

// Calls attribute(type, valueOffset, valueLength) for each rtattr in
// [offset, end); stops at one that runs past end.
template <typename F>
void ForEachAttribute(const QByteArray& data, int offset, int end, F attribute)
{
    while (end - offset >= static_cast<int>(sizeof(rtattr))) {
        rtattr a{};
        ReadStruct(data, offset, end, a);
        if (a.rta_len < sizeof(rtattr) || a.rta_len > end - offset)
            return;
        attribute(a.rta_type, offset + static_cast<int>(sizeof(rtattr)), static_cast<int>(a.rta_len - sizeof(rtattr)));
        offset += Align(a.rta_len);
    }
}

// Calls message(type, bodyOffset, end) for each netlink message; stops at the
// first that runs past the dump or at NLMSG_DONE / NLMSG_ERROR.
template <typename F>
void ForEachMessage(const QByteArray& dump, F message)
{
    const int size = static_cast<int>(std::min<qsizetype>(dump.size(), kMaxDump));
    int offset = 0;
    while (size - offset >= static_cast<int>(sizeof(nlmsghdr))) {
        nlmsghdr h{};
        ReadStruct(dump, offset, size, h);
        if (h.nlmsg_len < sizeof(nlmsghdr) || h.nlmsg_len > static_cast<uint32_t>(size - offset))
            return;
        if (h.nlmsg_type == NLMSG_DONE || h.nlmsg_type == NLMSG_ERROR)
            return;
        message(h.nlmsg_type, offset + static_cast<int>(sizeof(nlmsghdr)), offset + static_cast<int>(h.nlmsg_len));
        offset += Align(static_cast<int>(h.nlmsg_len));
    }
}

}  // namespace

QList<Ipv6InterfaceAddress> ReadIpv6AddressMessages(const QByteArray& dump)
{
    QList<Ipv6InterfaceAddress> out;
    ForEachMessage(dump, [&](int type, int body, int end) {
        ifaddrmsg m{};
        if (type != RTM_NEWADDR || !ReadStruct(dump, body, end, m) || m.ifa_family != AF_INET6)
            return;
        Ipv6InterfaceAddress a;
        a.interfaceIndex = static_cast<int>(m.ifa_index);
        a.prefixLength = m.ifa_prefixlen;
        a.flags = m.ifa_flags;
        a.scope = m.ifa_scope;
        QString local, address;
        ForEachAttribute(dump, body + Align(sizeof(ifaddrmsg)), end, [&](int attr, int value, int length) {
            if (attr == IFA_ADDRESS && length == 16)
                address = Ipv6Text(dump, value);
            else if (attr == IFA_LOCAL && length == 16)
                local = Ipv6Text(dump, value);
            else if (attr == IFA_FLAGS && length == 4)
                a.flags = Read32(dump, value);  // the full 32 bits (ifa_flags holds only 8)
        });
        // For IPv6 IFA_ADDRESS is the local address; IFA_LOCAL only on
        // point-to-point links, where it is the local end.
        a.address = local.isEmpty() ? address : local;
        if (!a.address.isEmpty())
            out << a;
    });
    return out;
}

QList<Ipv6Route> ReadIpv6RouteMessages(const QByteArray& dump)
{
    QList<Ipv6Route> out;
    ForEachMessage(dump, [&](int type, int body, int end) {
        rtmsg m{};
        if (type != RTM_NEWROUTE || !ReadStruct(dump, body, end, m) || m.rtm_family != AF_INET6
            || m.rtm_dst_len > 128)
            return;
        Ipv6Route r;
        r.prefixLength = m.rtm_dst_len;
        r.table = m.rtm_table;
        r.type = m.rtm_type;
        ForEachAttribute(dump, body + Align(sizeof(rtmsg)), end, [&](int attr, int value, int length) {
            if (attr == RTA_DST && length == 16)
                r.destination = Ipv6Text(dump, value);
            else if (attr == RTA_GATEWAY && length == 16)
                r.gateway = Ipv6Text(dump, value);
            else if (attr == RTA_OIF && length == 4)
                r.interfaceIndex = static_cast<int>(Read32(dump, value));
            else if (attr == RTA_TABLE && length == 4)
                r.table = static_cast<int>(Read32(dump, value));
        });
        if (r.prefixLength == 0)
            r.destination.clear();
        out << r;
    });
    return out;
}

namespace {

// One dump request and every message of its answer, up to NLMSG_DONE.
QByteArray Dump(int type)
{
    const int fd = ::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE);
    if (fd < 0)
        return {};
    struct {
        nlmsghdr header;
        rtgenmsg body;
    } request{};
    request.header.nlmsg_len = sizeof(request);
    request.header.nlmsg_type = static_cast<uint16_t>(type);
    request.header.nlmsg_flags = NLM_F_REQUEST | NLM_F_DUMP;
    request.header.nlmsg_seq = 1;
    request.body.rtgen_family = AF_INET6;
    sockaddr_nl kernel{};
    kernel.nl_family = AF_NETLINK;
    QByteArray all;
    if (::sendto(fd, &request, sizeof(request), 0, reinterpret_cast<sockaddr*>(&kernel), sizeof(kernel)) < 0) {
        ::close(fd);
        return {};
    }
    bool done = false;
    char buffer[32768];
    while (!done && all.size() < kMaxDump) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, kDumpWaitMs) <= 0)
            break;
        const ssize_t n = ::recv(fd, buffer, sizeof(buffer), 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        // The answer ends with NLMSG_DONE (or an error): look at each header.
        for (int offset = 0; offset + static_cast<int>(sizeof(nlmsghdr)) <= n;) {
            nlmsghdr h{};
            std::memcpy(&h, buffer + offset, sizeof(h));
            if (h.nlmsg_len < sizeof(nlmsghdr))
                break;
            if (h.nlmsg_type == NLMSG_DONE || h.nlmsg_type == NLMSG_ERROR)
                done = true;
            offset += Align(static_cast<int>(h.nlmsg_len));
        }
        all.append(buffer, static_cast<int>(n));
    }
    ::close(fd);
    return done ? all : QByteArray();
}

}  // namespace

Ipv6SystemFacts ReadIpv6SystemFacts()
{
    Ipv6SystemFacts facts;
    const QByteArray addresses = Dump(RTM_GETADDR);
    const QByteArray routes = Dump(RTM_GETROUTE);
    facts.readable = !addresses.isEmpty() && !routes.isEmpty();
    facts.addresses = ReadIpv6AddressMessages(addresses);
    for (const Ipv6Route& r : ReadIpv6RouteMessages(routes)) {
        if (r.prefixLength != 0 || r.type != RTN_UNICAST || r.table != RT_TABLE_MAIN || r.interfaceIndex == 0)
            continue;
        facts.hasDefaultRoute = true;
        facts.defaultInterface = r.interfaceIndex;
        facts.defaultGateway = r.gateway;
        char name[IF_NAMESIZE] = {};
        if (::if_indextoname(static_cast<unsigned>(r.interfaceIndex), name))
            facts.defaultInterfaceName = QString::fromLocal8Bit(name);
        break;
    }
    return facts;
}

}  // namespace platform
