// SPDX-License-Identifier: Apache-2.0
#include "platform/icmp_socket.h"

#include "platform/blocking_wait.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <linux/errqueue.h>
#include <linux/icmp.h>
#include <netinet/in.h>
#include <netinet/ip.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace platform {

namespace {

bool g_icmpUnavailable = false;
uint16_t g_sequence = 0;

constexpr int kEchoReply = 0;
constexpr int kDestUnreachable = 3;
constexpr int kSourceQuench = 4;
constexpr int kEchoRequest = 8;
constexpr int kTimeExceeded = 11;
constexpr int kParameterProblem = 12;

class Fd {
public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0) ::close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

int64_t MonotonicNs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return int64_t(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

uint16_t Checksum(const unsigned char* data, size_t size) {
    uint32_t sum = 0;
    for (size_t i = 0; i + 1 < size; i += 2) sum += uint32_t(data[i]) << 8 | data[i + 1];
    if (size % 2) sum += uint32_t(data[size - 1]) << 8;
    while (sum >> 16) sum = (sum & 0xFFFF) + (sum >> 16);
    return uint16_t(~sum);
}

uint16_t ReadU16(const unsigned char* p) { return uint16_t(p[0] << 8 | p[1]); }

// Opens the socket the system allows: a datagram ICMP socket (needs the
// caller's group in net.ipv4.ping_group_range), else a raw one (needs
// CAP_NET_RAW). -1 when neither can be had.
int OpenIcmpSocket(bool& datagram) {
    if (g_icmpUnavailable) return -1;
    int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_ICMP);
    if (fd >= 0) {
        datagram = true;
        return fd;
    }
    fd = ::socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP);
    if (fd >= 0) {
        datagram = false;
        return fd;
    }
    return -1;
}

uint32_t SendErrorStatus(int error) {
    switch (error) {
    case ENETUNREACH: return kIpDestNetUnreachable;
    case EHOSTUNREACH: return kIpDestHostUnreachable;
    case EMSGSIZE: return kIpPacketTooBig;
    case ENOBUFS:
    case ENOMEM: return kIpNoResources;
    case EACCES: return kIpBadDestination;  // broadcast address without permission
    default: return kIpGeneralFailure;
    }
}

// Datagram socket, normal queue.
IcmpAnswer ReadDatagramReply(int fd, uint16_t seq, uint32_t destination) {
    unsigned char buffer[2048];
    sockaddr_in from{};
    socklen_t fromSize = sizeof from;
    const ssize_t n =
        ::recvfrom(fd, buffer, sizeof buffer, MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&from), &fromSize);
    if (n < 0 || from.sin_family != AF_INET) return IcmpAnswer{};
    return ParseDatagramReply(buffer, size_t(n), from.sin_addr.s_addr, seq, destination);
}

// Datagram socket, error queue: the ICMP error the kernel matched to this socket.
IcmpAnswer ReadDatagramError(int fd, uint16_t seq) {
    unsigned char payload[512];
    alignas(cmsghdr) unsigned char control[512];
    sockaddr_in name{};
    iovec iov{payload, sizeof payload};
    msghdr msg{};
    msg.msg_name = &name;
    msg.msg_namelen = sizeof name;
    msg.msg_iov = &iov;
    msg.msg_iovlen = 1;
    msg.msg_control = control;
    msg.msg_controllen = sizeof control;
    const ssize_t n = ::recvmsg(fd, &msg, MSG_ERRQUEUE | MSG_DONTWAIT);
    if (n < 0) {
        // Nothing queued: clear a pending socket error so poll stops reporting it.
        int error = 0;
        socklen_t size = sizeof error;
        ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size);
        return IcmpAnswer{};
    }
    return ParseErrorQueueRecord(payload, std::min(size_t(n), sizeof payload), control,
                                 std::min(size_t(msg.msg_controllen), sizeof control), seq);
}

}  // namespace

uint32_t IcmpErrorStatus(int type, int code) {
    switch (type) {
    case kDestUnreachable:
        switch (code) {
        case 0:   // network unreachable
        case 6:   // network unknown
        case 9:   // network administratively prohibited
        case 11:  // network unreachable for type of service
            return kIpDestNetUnreachable;
        case 2: return kIpDestProtUnreachable;
        case 3: return kIpDestPortUnreachable;
        case 4: return kIpPacketTooBig;
        case 5: return kIpBadRoute;  // source route failed
        default: return kIpDestHostUnreachable;
        }
    case kTimeExceeded: return code == 1 ? kIpTtlExpiredReassem : kIpTtlExpiredTransit;
    case kParameterProblem: return kIpParamProblem;
    case kSourceQuench: return kIpSourceQuench;
    default: return 0;
    }
}

IcmpAnswer ParseRawIcmpPacket(const unsigned char* p, size_t n, uint16_t id, uint16_t seq,
                              uint32_t destination) {
    IcmpAnswer a;
    if (!p || n < 20) return a;
    const size_t ihl = size_t(p[0] & 0x0F) * 4;
    if ((p[0] >> 4) != 4 || ihl < 20 || n < ihl + 8) return a;
    uint32_t source;
    std::memcpy(&source, p + 12, 4);
    const unsigned char* icmp = p + ihl;
    const int type = icmp[0];
    const int code = icmp[1];
    if (type == kEchoReply) {
        // A raw socket sees every echo reply reaching this host: only the
        // destination itself answers our echo (RFC 792, echo reply: the
        // addresses of the request are reversed).
        if (source == destination && ReadU16(icmp + 4) == id && ReadU16(icmp + 6) == seq) {
            a.matched = true;
            a.status = kIpSuccess;
            a.from = source;
        }
        return a;
    }
    const uint32_t status = IcmpErrorStatus(type, code);
    if (status == 0) return a;
    // RFC 792: an error quotes the IP header and the first 8 bytes of the datagram it refers to.
    const unsigned char* inner = icmp + 8;
    const size_t innerSize = n - ihl - 8;
    if (innerSize < 20) return a;
    const size_t innerIhl = size_t(inner[0] & 0x0F) * 4;
    if ((inner[0] >> 4) != 4 || innerIhl < 20 || innerSize < innerIhl + 8) return a;
    if (inner[9] != IPPROTO_ICMP) return a;
    uint32_t innerDestination;
    std::memcpy(&innerDestination, inner + 16, 4);
    const unsigned char* quoted = inner + innerIhl;
    if (innerDestination != destination || quoted[0] != kEchoRequest || ReadU16(quoted + 4) != id ||
        ReadU16(quoted + 6) != seq)
        return a;
    a.matched = true;
    a.status = status;
    a.from = source;
    return a;
}

IcmpAnswer ParseDatagramReply(const unsigned char* p, size_t n, uint32_t from, uint16_t seq,
                              uint32_t destination) {
    IcmpAnswer a;
    if (!p || n < 8 || from != destination) return a;
    if (p[0] != kEchoReply || ReadU16(p + 6) != seq) return a;
    a.matched = true;
    a.status = kIpSuccess;
    a.from = from;
    return a;
}

IcmpAnswer ParseErrorQueueRecord(const unsigned char* payload, size_t payloadSize, const unsigned char* control,
                                 size_t controlSize, uint16_t seq) {
    IcmpAnswer a;
    if (!payload || payloadSize < 8 || payload[0] != kEchoRequest || ReadU16(payload + 6) != seq) return a;
    if (!control) return a;
    // Walk the control messages by hand, trusting no length beyond controlSize.
    size_t offset = 0;
    while (offset + sizeof(cmsghdr) <= controlSize) {
        cmsghdr header;
        std::memcpy(&header, control + offset, sizeof header);
        if (header.cmsg_len < sizeof(cmsghdr) || header.cmsg_len > controlSize - offset) return a;
        const size_t dataSize = header.cmsg_len - CMSG_LEN(0);
        const unsigned char* data = control + offset + CMSG_LEN(0);
        if (header.cmsg_level == IPPROTO_IP && header.cmsg_type == IP_RECVERR &&
            dataSize >= sizeof(sock_extended_err)) {
            sock_extended_err ee;
            std::memcpy(&ee, data, sizeof ee);
            const uint32_t status = ee.ee_origin == SO_EE_ORIGIN_ICMP ? IcmpErrorStatus(ee.ee_type, ee.ee_code) : 0;
            if (status != 0) {
                a.matched = true;
                a.status = status;
                // The offender's address follows the record (SO_EE_OFFENDER).
                if (dataSize >= sizeof ee + sizeof(sockaddr_in)) {
                    sockaddr_in offender;
                    std::memcpy(&offender, data + sizeof ee, sizeof offender);
                    if (offender.sin_family == AF_INET) a.from = offender.sin_addr.s_addr;
                }
                return a;
            }
        }
        offset += CMSG_ALIGN(header.cmsg_len);
    }
    return a;
}

void SetIcmpUnavailableForTesting(bool unavailable) { g_icmpUnavailable = unavailable; }

IcmpOutcome IcmpSendEcho(uint32_t destination, int ttl, const QByteArray& data, int timeoutMs) {
    IcmpOutcome out;
    bool datagram = false;
    Fd socket(OpenIcmpSocket(datagram));
    if (socket.get() < 0) return out;
    out.opened = true;
    out.datagramSocket = datagram;
    const int fd = socket.get();

    if (destination == 0) {  // 0.0.0.0 would reach this host itself: not a destination
        out.status = kIpBadDestination;
        return out;
    }

    const int hops = ttl < 1 ? 1 : (ttl > 255 ? 255 : ttl);
    ::setsockopt(fd, IPPROTO_IP, IP_TTL, &hops, sizeof hops);
    if (datagram) {
        const int on = 1;
        ::setsockopt(fd, IPPROTO_IP, IP_RECVERR, &on, sizeof on);
    } else {
        // Only echo replies and the errors that can answer an echo.
        icmp_filter filter{};
        filter.data = ~((1U << kEchoReply) | (1U << kDestUnreachable) | (1U << kSourceQuench) |
                        (1U << kTimeExceeded) | (1U << kParameterProblem));
        ::setsockopt(fd, SOL_RAW, ICMP_FILTER, &filter, sizeof filter);
    }

    const uint16_t id = uint16_t(::getpid() & 0xFFFF);
    const uint16_t seq = ++g_sequence;
    QByteArray packet(8, '\0');
    packet[0] = char(kEchoRequest);
    packet[4] = char(id >> 8);
    packet[5] = char(id & 0xFF);
    packet[6] = char(seq >> 8);
    packet[7] = char(seq & 0xFF);
    packet += data;
    const uint16_t sum =
        Checksum(reinterpret_cast<const unsigned char*>(packet.constData()), size_t(packet.size()));
    packet[2] = char(sum >> 8);
    packet[3] = char(sum & 0xFF);

    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = destination;

    const int64_t start = MonotonicNs();
    if (::sendto(fd, packet.constData(), size_t(packet.size()), 0, reinterpret_cast<sockaddr*>(&to),
                 sizeof to) < 0) {
        out.status = SendErrorStatus(errno);
        return out;
    }
    const int64_t deadline = start + int64_t(timeoutMs < 0 ? 0 : timeoutMs) * 1000000;

    for (;;) {
        const int64_t now = MonotonicNs();
        if (now >= deadline) break;
        const int waitMs = int(std::min<int64_t>((deadline - now + 999999) / 1000000, kWaitSliceMs));
        pollfd p{fd, POLLIN, 0};
        const int ready = ::poll(&p, 1, waitMs);
        if (ready < 0) {
            if (errno == EINTR) continue;
            out.status = kIpGeneralFailure;
            return out;
        }
        if (ready == 0) {
            // A quiet slice: the program serves its windows, then the loop
            // head decides whether time is up.
            RunWaitHook();
            continue;
        }

        IcmpAnswer answer;
        if (datagram) {
            if (p.revents & POLLERR) answer = ReadDatagramError(fd, seq);
            if (!answer.matched && (p.revents & POLLIN)) answer = ReadDatagramReply(fd, seq, destination);
        } else {
            unsigned char buffer[4096];
            const ssize_t n = ::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
            if (n > 0) answer = ParseRawIcmpPacket(buffer, size_t(n), id, seq, destination);
        }
        if (!answer.matched) continue;  // somebody else's packet: keep waiting

        out.replies = 1;
        out.status = answer.status;
        out.address = answer.from;
        out.roundTripMs = uint32_t((MonotonicNs() - start) / 1000000);
        return out;
    }
    out.status = kIpReqTimedOut;
    return out;
}

}  // namespace platform
