// SPDX-License-Identifier: Apache-2.0
#pragma once
// ICMP echo as the test run and the ping window use it.
#include <QString>
#include <cstdint>

namespace probes {

// Echo time-out in ms, set to 1000 by the test run.
extern int16_t PingTimeout;

struct EchoReply {
    uint32_t Address = 0;        // network byte order
    uint32_t Status = 0;         // 0 answered, else an IP status code
    uint32_t RoundTripTime = 0;  // ms
};

// One echo ("kikoo", TTL 255, time-out PingTimeout). The record gets the outcome:
// status 0 with the round-trip time, or an IP status code (11013 TTL expired,
// 11002..11005 unreachable ...) with the time after which that ICMP error came
// back. An echo that got no answer at all has time 0: 11010 no answer in time,
// 11018 for an unusable address text such as one AddressToLong turns into 0, a
// refused send's status. Without an ICMP socket the record gets status 11050 so
// the echo counts as lost. While the echo waits, the wait hook runs.
void PingEcho(const QString& address, EchoReply& reply);

// Echo with TTL 1 (32 zero bytes, 2700 ms): dotted address of whoever answered
// (the echo reply's sender or the host that sent an ICMP error), or "".
QString FirstHopAddress(const QString& address);

// "a.b.c.d" -> value whose bytes in memory read a b c d, each part reduced to its
// low 8 bits (300 -> 44, -1 -> 255). 0 for fewer or more than four parts or a
// part that is not a decimal number (an optional "-" and digits only).
int32_t AddressToLong(const QString& text);

// " [" + message + "]".
QString EchoStatusText(int32_t status);

}  // namespace probes
