// SPDX-License-Identifier: Apache-2.0
// Datagrams and time-outs through the extended NAT test (mapping, filtering,
// hairpinning, RTP pair, mapping lifetime) on a virtual clock, as the window
// feeds them. Each datagram of the input is one event (an empty one: the time
// runs on to the next deadline). Its first byte picks the sender (bits 0-2),
// the socket (bits 3-5), whether the time runs on first (bit 6); with bit 7
// set, bytes 8..19 of the rest become the ID of a request sent so far (bits
// 3-5 counting from the last) and the datagram arrives on that request's
// socket, so that answers to this run's transactions are easy to reach.
//
// Two runs take the same events; the second never sees the datagrams of
// strangers (addresses that are not the server's). Their findings and what
// they send must not differ: a datagram from a stranger changes nothing.
#include "fuzz_support.h"
#include "probes/extended_nat_test.h"

#include <QSet>

namespace {

using probes::stun5780::Endpoint;

const Endpoint kPrimary{QStringLiteral("203.0.113.10"), 3478};
const Endpoint kSenders[8] = {
    kPrimary,
    {QStringLiteral("203.0.113.11"), 3479},   // the server's other address and port
    {QStringLiteral("203.0.113.10"), 3479},
    {QStringLiteral("203.0.113.11"), 3478},
    {QStringLiteral("192.0.2.2"), 30004},     // the NAT's external address (hairpinning)
    {QStringLiteral("198.51.100.7"), 3478},   // strangers from here on
    {QStringLiteral("198.51.100.7"), 3479},
    {QStringLiteral("198.51.100.8"), 5351},
};
constexpr int kStrangers = 5;  // index of the first stranger
constexpr int kSocketBound = 3 + 4 + 2;  // lifetime: probes + spares + helper, more than any other step

bool Stranger(const QString& address) { return address.startsWith(QLatin1String("198.51.100.")); }

class Host : public probes::SocketHost {
public:
    QHash<int, int> open;
    struct Sent {
        int handle;
        Endpoint to;
        QByteArray data;
        bool operator==(const Sent&) const = default;
    };
    QList<Sent> sent;
    bool strangerNamed = false;  // an answer from the server's side named a stranger
    int openSocket(int handle, int port) override
    {
        if (port == 0)
            port = 30000 + handle * 2;
        open.insert(handle, port);
        FUZZ_CHECK(open.size() <= kSocketBound);
        return port;
    }
    void send(int handle, const Endpoint& to, const QByteArray& data) override
    {
        FUZZ_CHECK(open.contains(handle));
        // Nothing goes to a stranger unless the server named it.
        FUZZ_CHECK(!Stranger(to.address) || strangerNamed);
        sent << Sent{handle, to, data};
    }
    void closeSocket(int handle) override { open.remove(handle); }
};

probes::ExtendedNatConfig Config()
{
    probes::ExtendedNatConfig c;
    c.server = kPrimary;
    c.localAddresses = {QStringLiteral("192.168.1.10")};
    c.lifetime.stepSeconds = 5;
    c.lifetime.capSeconds = 15;
    auto counter = std::make_shared<uint32_t>(0);
    c.newTransactionId = [counter] {
        probes::stun5780::TransactionId id{};
        const uint32_t n = ++*counter;
        for (int i = 0; i < 4; ++i)
            id[size_t(8 + i)] = uint8_t(n >> (24 - 8 * i));
        return id;
    };
    int port = 40000;
    c.candidateRtpPort = [port]() mutable { return port += 2; };
    return c;
}

// Whether an answer names a stranger. When the server's answer does, the
// stranger is the server's other address (or a mapped address) as far as the
// run can tell, and the two runs may differ.
bool NamesStranger(const QByteArray& datagram)
{
    const auto r = probes::stun5780::ParseBindingResponse(datagram);
    return r && ((r->mapped && Stranger(r->mapped->address)) || (r->otherAddress && Stranger(r->otherAddress->address)) ||
                 (r->responseOrigin && Stranger(r->responseOrigin->address)));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const fuzz::Datagrams events(data, size);
    Host hostAll, hostClean;
    probes::ExtendedNatTest all(hostAll, Config()), clean(hostClean, Config());
    qint64 now = 0;
    all.start(now);
    clean.start(now);
    bool comparable = true;
    auto tick = [&] {
        const std::optional<qint64> next = all.nextDeadline();
        if (!next)
            return;
        now = std::max(now, *next);
        all.timerFired(now);
        if (clean.nextDeadline())
            clean.timerFired(now);
    };

    for (size_t i = 0; i < events.count() && all.running(); ++i) {
        const QByteArray event = events.at(i);
        if (event.isEmpty()) {
            tick();
            continue;
        }
        const uint8_t pick = static_cast<uint8_t>(event.at(0));
        if (pick & 0x40)
            tick();
        QByteArray datagram = event.mid(1);
        const Endpoint& from = kSenders[pick & 7];
        int handle = -1;
        if ((pick & 0x80) && datagram.size() >= 20 && !hostAll.sent.isEmpty()) {
            // An answer to a request sent (counted from the last), on its socket.
            const Host::Sent& request = hostAll.sent[hostAll.sent.size() - 1 - (pick >> 3 & 7) % hostAll.sent.size()];
            datagram = datagram.left(8) + request.data.mid(8, 12) + datagram.mid(20);
            handle = request.handle;
        } else {
            QList<int> handles = hostAll.open.keys();
            if (handles.isEmpty())
                continue;
            std::sort(handles.begin(), handles.end());
            handle = handles[(pick >> 3 & 7) % handles.size()];
        }
        if ((pick & 7) < kStrangers && NamesStranger(datagram))
            hostAll.strangerNamed = hostClean.strangerNamed = true;
        comparable = !hostAll.strangerNamed;
        all.datagramArrived(handle, from, datagram, now);
        if ((pick & 7) < kStrangers)
            clean.datagramArrived(handle, from, datagram, now);
        if (comparable) {
            FUZZ_CHECK(hostAll.sent == hostClean.sent);
            FUZZ_CHECK(all.findings().size() == clean.findings().size());
        }
    }
    // To the end on the virtual clock.
    for (int step = 0; step < 400 && all.running(); ++step)
        tick();
    FUZZ_CHECK(all.findings().size() <= 5);
    if (comparable && !all.running() && !clean.running()) {
        FUZZ_CHECK(probes::FindingsText(all.findings()) == probes::FindingsText(clean.findings()));
        FUZZ_CHECK(hostAll.sent == hostClean.sent);
    }
    return 0;
}
