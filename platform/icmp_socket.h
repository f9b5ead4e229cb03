// SPDX-License-Identifier: Apache-2.0
#pragma once
// One ICMP echo request through the system: an unprivileged ICMP datagram
// socket where allowed, else a raw ICMP socket. Blocks up to the time-out;
// while it waits it runs the wait hook (platform/blocking_wait.h) every
// kWaitSliceMs.
#include <QByteArray>
#include <cstddef>
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

// What one received packet says about the echo that is waited for.
struct IcmpAnswer {
    bool matched = false;  // false: not an answer to this echo (somebody else's packet)
    uint32_t status = 0;   // kIpSuccess or the status of the ICMP error
    uint32_t from = 0;     // address that answered, network byte order
};

// The parsers below take untrusted bytes as the system handed them over and
// never read past the given size. id and seq are the echo request's
// identifier and sequence number, destination the address it was sent to
// (network byte order).

// A packet read from a raw ICMP socket: IPv4 header, then ICMP. Matches an
// echo reply with this id and seq sent by destination itself, or an ICMP error
// (unreachable, time exceeded, parameter problem, source quench) whose quoted
// datagram is this echo request to destination; the error may come from any
// host (a router on the way).
IcmpAnswer ParseRawIcmpPacket(const unsigned char* packet, size_t size, uint16_t id, uint16_t seq,
                              uint32_t destination);

// A datagram read from an unprivileged ICMP socket: ICMP header without IP
// header; from is the sender the system reported. Matches an echo reply with
// this seq from destination (the system has already matched the identifier).
IcmpAnswer ParseDatagramReply(const unsigned char* datagram, size_t size, uint32_t from, uint16_t seq,
                              uint32_t destination);

// A record read from the error queue of an unprivileged ICMP socket
// (recvmsg with MSG_ERRQUEUE): payload is the ICMP header of the request the
// error refers to, control the ancillary data (control messages as the system
// lays them out). Matches when the payload is this echo request (type 8, seq)
// and a control message IP_RECVERR of ICMP origin carries an error that can
// answer an echo; from is then the offender (the host that sent the error).
IcmpAnswer ParseErrorQueueRecord(const unsigned char* payload, size_t payloadSize, const unsigned char* control,
                                 size_t controlSize, uint16_t seq);

// For tests: pretend no ICMP socket can be opened.
void SetIcmpUnavailableForTesting(bool unavailable);

}  // namespace platform
