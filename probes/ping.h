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

// One echo ("kikoo", TTL 255, time-out PingTimeout). Without an ICMP socket the
// record gets status 11050 so the echo counts as lost.
void PingEcho(const QString& address, EchoReply& reply);

// Echo with TTL 1 (32 zero bytes, 2700 ms): dotted address of whoever answered, or "".
QString FirstHopAddress(const QString& address);

// "a.b.c.d" -> value whose bytes in memory read a b c d; 0 for unusable text.
int32_t AddressToLong(const QString& text);

// " [" + message + "]".
QString EchoStatusText(int32_t status);

}  // namespace probes
