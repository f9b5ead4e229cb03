#pragma once
// One ICMP echo request through the system: an unprivileged ICMP datagram
// socket where allowed, else a raw ICMP socket. Blocks up to the time-out.
#include <QByteArray>
#include <cstdint>

namespace platform {

// IP status codes the echo can end with (the values the status texts know).
constexpr uint32_t kIpSuccess = 0;
constexpr uint32_t kIpDestNetUnreachable = 11002;
constexpr uint32_t kIpDestHostUnreachable = 11003;
constexpr uint32_t kIpDestProtUnreachable = 11004;
constexpr uint32_t kIpDestPortUnreachable = 11005;
constexpr uint32_t kIpNoResources = 11006;
constexpr uint32_t kIpPacketTooBig = 11009;
constexpr uint32_t kIpReqTimedOut = 11010;
constexpr uint32_t kIpBadRoute = 11012;
constexpr uint32_t kIpTtlExpiredTransit = 11013;
constexpr uint32_t kIpTtlExpiredReassem = 11014;
constexpr uint32_t kIpParamProblem = 11015;
constexpr uint32_t kIpSourceQuench = 11016;
constexpr uint32_t kIpBadDestination = 11018;
constexpr uint32_t kIpGeneralFailure = 11050;

struct IcmpOutcome {
    bool opened = false;       // false: no ICMP socket could be opened, nothing was sent
    bool datagramSocket = false;  // true: sent through an unprivileged datagram socket, else raw
    int replies = 0;           // 1 when an answer (echo reply or ICMP error) was stored
    uint32_t address = 0;      // address that answered, network byte order
    uint32_t status = 0;       // 0 echo reply; 11002..11005 unreachable; 11010 timed out; 11013 TTL expired ...
    uint32_t roundTripMs = 0;  // whole milliseconds, truncated
};

// destination in network byte order. Destination 0 (0.0.0.0) is refused with
// status 11018 and nothing is sent; a send the system refuses ends with the
// matching status (broadcast without permission 11018, no route 11002 ...).
IcmpOutcome IcmpSendEcho(uint32_t destination, int ttl, const QByteArray& data, int timeoutMs);

// ICMP error (type, code) -> IP status code; 0 for a type that is no answer to an echo.
uint32_t IcmpErrorStatus(int type, int code);

// For tests: pretend no ICMP socket can be opened.
void SetIcmpUnavailableForTesting(bool unavailable);

}  // namespace platform
