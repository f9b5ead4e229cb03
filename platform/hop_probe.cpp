// SPDX-License-Identifier: Apache-2.0
#include "platform/hop_probe.h"

#include <QHostAddress>
#include <QSocketNotifier>

#include <arpa/inet.h>
#include <linux/errqueue.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace platform {

namespace {

constexpr int kFirstPort = 33434;  // the traceroute convention: ports nobody listens on
constexpr int kIcmpTimeExceeded = 11, kIcmpUnreachable = 3;

}  // namespace

struct HopProbe::Probe {
    int fd = -1;
    std::unique_ptr<QSocketNotifier> notifier;
    Reply reply;
    bool answered = false;
    ~Probe()
    {
        notifier.reset();
        if (fd >= 0)
            ::close(fd);
    }
};

HopProbe::HopProbe(QObject* parent) : QObject(parent)
{
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, &HopProbe::finish);
}

HopProbe::~HopProbe() = default;

void HopProbe::start(const QString& destination, int maxTtl, int timeoutMs)
{
    stop();
    probes_.clear();
    running_ = true;
    sockaddr_in to{};
    to.sin_family = AF_INET;
    const bool valid = inet_pton(AF_INET, destination.toLatin1().constData(), &to.sin_addr) == 1;
    for (int ttl = 1; ttl <= maxTtl; ++ttl) {
        auto p = std::make_unique<Probe>();
        if (valid)
            p->fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (p->fd >= 0) {
            const int on = 1;
            ::setsockopt(p->fd, SOL_IP, IP_RECVERR, &on, sizeof on);
            ::setsockopt(p->fd, SOL_IP, IP_TTL, &ttl, sizeof ttl);
            to.sin_port = htons(uint16_t(kFirstPort + ttl));
            const char payload[12] = {'t', 'a', 'r', 'v', 'o', 'l', 'i', 'n', 'h', 'o', 'p', char(ttl)};
            ::sendto(p->fd, payload, sizeof payload, 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
            // The error queue makes the socket report an error condition, which
            // wakes a read notifier.
            p->notifier = std::make_unique<QSocketNotifier>(p->fd, QSocketNotifier::Read);
            const int index = int(probes_.size());
            connect(p->notifier.get(), &QSocketNotifier::activated, this, [this, index] { readError(index); });
        }
        probes_.push_back(std::move(p));
    }
    timer_.start(timeoutMs);
}

void HopProbe::stop()
{
    timer_.stop();
    running_ = false;
    for (auto& p : probes_)
        p->notifier.reset();
}

QVector<HopProbe::Reply> HopProbe::replies() const
{
    QVector<Reply> out;
    for (const auto& p : probes_)
        out << p->reply;
    return out;
}

void HopProbe::readError(int index)
{
    Probe& p = *probes_[size_t(index)];
    for (;;) {
        char data[64];
        char control[512];
        sockaddr_in from{};
        iovec iov{data, sizeof data};
        msghdr msg{};
        msg.msg_name = &from;
        msg.msg_namelen = sizeof from;
        msg.msg_iov = &iov;
        msg.msg_iovlen = 1;
        msg.msg_control = control;
        msg.msg_controllen = sizeof control;
        if (::recvmsg(p.fd, &msg, MSG_ERRQUEUE | MSG_DONTWAIT) < 0) {
            // Nothing (more) on the error queue: drain an ordinary datagram, if any.
            if (errno == EAGAIN || errno == EWOULDBLOCK)
                ::recv(p.fd, data, sizeof data, MSG_DONTWAIT);
            break;
        }
        for (cmsghdr* c = CMSG_FIRSTHDR(&msg); c; c = CMSG_NXTHDR(&msg, c)) {
            if (c->cmsg_level != SOL_IP || c->cmsg_type != IP_RECVERR)
                continue;
            const auto* e = reinterpret_cast<const sock_extended_err*>(CMSG_DATA(c));
            if (e->ee_origin != SO_EE_ORIGIN_ICMP)
                continue;
            if (e->ee_type != kIcmpTimeExceeded && e->ee_type != kIcmpUnreachable)
                continue;
            const auto* offender = reinterpret_cast<const sockaddr_in*>(SO_EE_OFFENDER(e));
            if (offender->sin_family != AF_INET)
                continue;
            char text[INET_ADDRSTRLEN];
            inet_ntop(AF_INET, &offender->sin_addr, text, sizeof text);
            p.reply = {QString::fromLatin1(text), e->ee_type, e->ee_code};
            p.answered = true;
        }
    }
    if (!running_)
        return;
    for (const auto& q : probes_)
        if (q->fd >= 0 && !q->answered)
            return;
    finish();
}

void HopProbe::finish()
{
    if (!running_)
        return;
    stop();
    emit finished();
}

}  // namespace platform
