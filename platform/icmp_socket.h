#pragma once
// One ICMP echo request through the system: an unprivileged ICMP datagram
// socket where allowed, else a raw ICMP socket. Blocks up to the time-out.
#include <QByteArray>
#include <cstdint>

namespace platform {

struct IcmpOutcome {
    bool opened = false;       // false: no ICMP socket could be opened, nothing was sent
    int replies = 0;           // 1 when an answer (echo reply or ICMP error) was stored
    uint32_t address = 0;      // address that answered, network byte order
    uint32_t status = 0;       // 0 echo reply; 11002..11005 unreachable; 11010 timed out; 11013 TTL expired ...
    uint32_t roundTripMs = 0;  // whole milliseconds, truncated
};

// destination in network byte order.
IcmpOutcome IcmpSendEcho(uint32_t destination, int ttl, const QByteArray& data, int timeoutMs);

// For tests: pretend no ICMP socket can be opened.
void SetIcmpUnavailableForTesting(bool unavailable);

}  // namespace platform
