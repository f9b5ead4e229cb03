// SPDX-License-Identifier: Apache-2.0
#pragma once
// Decision tables of the NAT behaviour tests: mapping (RFC 5780 section 4.3),
// filtering (section 4.4), hairpinning (section 4.7), the RTP port pair and
// the search for the idle binding lifetime. Plain functions over what the
// replies showed; the names of the results are those of RFC 4787.
#include "probes/stun5780.h"

#include <QList>
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

enum class Hairpin { NoNat, Supported, SupportedInternalSource, NotSupported, Unsupported, NoAnswer };

// Hairpinning. mappedA/mappedB: the two sockets' mapped addresses from the
// server (absent when it did not answer); received: the source of the probe
// that socket B sent to mappedA, if socket A received it.
struct HairpinEvidence {
    std::optional<stun5780::Endpoint> mappedA, mappedB;
    QList<stun5780::Endpoint> localEndpointsA;
    std::optional<stun5780::Endpoint> received;
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

// Idle binding lifetime: probes at idle times of step, 2*step, ... up to cap,
// one socket each; the search ends at the first probe that fails.
struct LifetimeSearch {
    int stepSeconds = 5;
    int capSeconds = 300;

    int probeCount() const { return capSeconds / stepSeconds; }
    // Idle time of probe i (0-based).
    int idleSeconds(int index) const { return (index + 1) * stepSeconds; }
};

struct LifetimeOutcome {
    // Incomplete: stopped before the first failure and before the cap.
    enum Kind { Measured, AtLeastCap, BelowFirstStep, Incomplete } kind = Measured;
    int lastAliveSeconds = 0;  // longest idle time a probe still got through
    int firstDeadSeconds = 0;  // shortest idle time a probe was lost (Measured, BelowFirstStep)
};

// results[i]: probe i got through. Only the results up to the first failure
// count; the search stops there.
LifetimeOutcome DecideLifetime(const LifetimeSearch& search, const QList<bool>& results);

// Keep-alive interval for a binding known to live at least lastAliveSeconds
// idle: that time, at least 1 s.
int KeepAliveSeconds(int lastAliveSeconds);

}  // namespace probes
