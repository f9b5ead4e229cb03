// SPDX-License-Identifier: Apache-2.0
#pragma once
// Decision tables of the NAT behaviour tests: mapping (RFC 5780 section 4.3),
// filtering (section 4.4), hairpinning (section 4.7), the RTP port pair and
// the search for the idle binding lifetime. Plain functions over what the
// replies showed; the names of the results are those of RFC 4787.
#include "probes/stun5780.h"

#include <QList>
#include <QStringList>
#include <optional>

namespace probes {

enum class Behaviour {
    NoNat,                    // the mapped address is the computer's own
    EndpointIndependent,
    AddressDependent,
    AddressAndPortDependent,
    Unsupported,              // the server cannot run this test (evidence missing)
    NoAnswer,                 // the server did not answer the first request
};

// One answered request: where the answer came from and what it said.
struct Reply {
    stun5780::Endpoint sender;                         // the real source of the datagram
    std::optional<stun5780::Endpoint> mapped;
    std::optional<stun5780::Endpoint> responseOrigin;
    std::optional<stun5780::Endpoint> otherAddress;
};

// The reply came from where it should: its real source is expected, and so is
// RESPONSE-ORIGIN when the server sends one.
bool CameFrom(const Reply& reply, const stun5780::Endpoint& expected);

// The server's alternate address is usable for the tests: present, and a
// different address and a different port from the primary one (RFC 5780
// section 4.3 needs both).
bool UsableOtherAddress(const std::optional<stun5780::Endpoint>& other, const stun5780::Endpoint& primary);

// Mapping. test1: plain request to the primary address; test2: to the
// alternate address and the primary port; test3: to the alternate address
// and port. All three from one socket.
struct MappingEvidence {
    stun5780::Endpoint primary;
    QList<stun5780::Endpoint> localEndpoints;  // the socket's own address:port pairs
    std::optional<Reply> test1, test2, test3;
};
Behaviour DecideMapping(const MappingEvidence& evidence);

// Filtering. test1: plain request; test2: CHANGE-REQUEST change IP and port;
// test3: change port only. All three from one fresh socket.
struct FilteringEvidence {
    stun5780::Endpoint primary;
    std::optional<Reply> test1, test2, test3;
};
Behaviour DecideFiltering(const FilteringEvidence& evidence);

enum class Hairpin {
    NoNat,
    Supported,                // arrived from the sender's external address and port
    SupportedOtherPort,       // arrived from another external port or address
    SupportedInternalSource,  // arrived from the sender's internal address
    NotSupported,             // neither direction arrived
    Unsupported,
    NoAnswer
};

// Hairpinning (RFC 5780 section 4.7). mappedA/mappedB: the two sockets'
// mapped addresses from the server (absent when it did not answer). Socket A
// sends to mappedB first, which also opens A's filter towards B's external
// address, then socket B sends to mappedA. receivedAtA: the source of B's
// datagram if A received it; receivedAtB: the source of A's datagram if B did.
struct HairpinEvidence {
    std::optional<stun5780::Endpoint> mappedA, mappedB;
    QList<stun5780::Endpoint> localEndpointsA;
    QStringList localAddresses;  // the computer's own (internal) addresses
    std::optional<stun5780::Endpoint> receivedAtA, receivedAtB;
};
Hairpin DecideHairpin(const HairpinEvidence& evidence);

// RTP pair: an even local port and the next one, and their mapped ports.
struct RtpPair {
    int localPort = 0;      // even
    int mappedPort = 0;     // of localPort
    int mappedNextPort = 0; // of localPort + 1

    bool preserved() const { return mappedPort == localPort && mappedNextPort == localPort + 1; }
    bool parityKept() const { return mappedPort % 2 == 0; }
    bool adjacent() const { return mappedNextPort == mappedPort + 1; }
};

// Idle binding lifetime: probes at idle times of step, 2*step, ... up to cap.
// A lost probe is confirmed at once with another socket of the same idle time:
// only two losses in a row end the search, so one lost datagram does not.
struct LifetimeSearch {
    int stepSeconds = 5;
    int capSeconds = 300;

    int probeCount() const { return capSeconds / stepSeconds; }
    // Idle time of probe i (0-based).
    int idleSeconds(int index) const { return (index + 1) * stepSeconds; }
};

// RFC 4787 section 4.3 (REQ-5): a UDP mapping timer must not expire in less
// than two minutes.
constexpr int kRfc4787MinimumTimerSeconds = 120;

struct LifetimeOutcome {
    // Incomplete: stopped before the first failure and before the cap.
    enum Kind { Measured, AtLeastCap, BelowFirstStep, Incomplete } kind = Measured;
    int lastAliveSeconds = 0;  // longest idle time a probe still got through
    int firstDeadSeconds = 0;  // shortest idle time a probe was lost (Measured, BelowFirstStep)
    // The binding may have lived up to this long: firstDeadSeconds plus the
    // time the probe's answer may take to reach the NAT (round trip, resend).
    int deadBeforeSeconds = 0;
    // Seen dead at an idle time clearly below two minutes (RFC 4787 REQ-5).
    bool belowRfc4787 = false;
};

// results[i]: probe i got through. Only the results up to the first failure
// count; the search stops there. slackMs: the longest a probe's answer may
// take to reach the NAT after the probe's idle time was reached.
LifetimeOutcome DecideLifetime(const LifetimeSearch& search, const QList<bool>& results, int slackMs = 0);

// Keep-alive interval for a binding known to live at least aliveSeconds idle,
// with a margin for one lost keep-alive: half that time, rounded down to 5 s
// (below 10 s: half, rounded down, at least 1 s).
int KeepAliveSeconds(int aliveSeconds);

}  // namespace probes
