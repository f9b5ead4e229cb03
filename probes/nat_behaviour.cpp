// SPDX-License-Identifier: Apache-2.0
#include "probes/nat_behaviour.h"

#include <algorithm>

namespace probes {

using stun5780::Endpoint;

bool CameFrom(const Reply& reply, const Endpoint& expected)
{
    return reply.sender == expected && (!reply.responseOrigin || *reply.responseOrigin == expected);
}

bool UsableOtherAddress(const std::optional<Endpoint>& other, const Endpoint& primary)
{
    return other && other->isValid() && other->address != primary.address && other->port != primary.port;
}

Behaviour DecideMapping(const MappingEvidence& e)
{
    if (!e.test1 || !e.test1->mapped)
        return Behaviour::NoAnswer;
    if (!CameFrom(*e.test1, e.primary) || !UsableOtherAddress(e.test1->otherAddress, e.primary))
        return Behaviour::Unsupported;
    const Endpoint x1 = *e.test1->mapped;
    // RFC 5780 section 4.3: the mapped address equal to the local one: no NAT.
    if (e.localEndpoints.contains(x1))
        return Behaviour::NoNat;

    const Endpoint other = *e.test1->otherAddress;
    const Endpoint test2To{other.address, e.primary.port};
    if (!e.test2 || !e.test2->mapped || !CameFrom(*e.test2, test2To))
        return Behaviour::Unsupported;
    const Endpoint x2 = *e.test2->mapped;
    if (x2 == x1)
        return Behaviour::EndpointIndependent;
    if (!e.test3 || !e.test3->mapped || !CameFrom(*e.test3, other))
        return Behaviour::Unsupported;
    return *e.test3->mapped == x2 ? Behaviour::AddressDependent : Behaviour::AddressAndPortDependent;
}

Behaviour DecideFiltering(const FilteringEvidence& e)
{
    if (!e.test1 || !e.test1->mapped)
        return Behaviour::NoAnswer;
    if (!CameFrom(*e.test1, e.primary) || !UsableOtherAddress(e.test1->otherAddress, e.primary))
        return Behaviour::Unsupported;
    const Endpoint other = *e.test1->otherAddress;
    // RFC 5780 section 4.4. An answer from anywhere but the place asked for
    // means the server ignored CHANGE-REQUEST: no conclusion is possible.
    if (e.test2)
        return CameFrom(*e.test2, other) ? Behaviour::EndpointIndependent : Behaviour::Unsupported;
    if (e.test3)
        return CameFrom(*e.test3, Endpoint{e.primary.address, other.port}) ? Behaviour::AddressDependent
                                                                             : Behaviour::Unsupported;
    return Behaviour::AddressAndPortDependent;
}

Hairpin DecideHairpin(const HairpinEvidence& e)
{
    if (!e.mappedA || !e.mappedB)
        return Hairpin::NoAnswer;
    if (e.localEndpointsA.contains(*e.mappedA))
        return Hairpin::NoNat;
    if (!e.receivedAtA && !e.receivedAtB)
        return Hairpin::NotSupported;
    // RFC 4787 section 6 (REQ-9): the hairpinned packet should show the
    // sender's external address and port. Judged on B's datagram at A when
    // it arrived, else on A's at B.
    const stun5780::Endpoint source = e.receivedAtA ? *e.receivedAtA : *e.receivedAtB;
    const stun5780::Endpoint senderMapped = e.receivedAtA ? *e.mappedB : *e.mappedA;
    if (source == senderMapped)
        return Hairpin::Supported;
    if (e.localAddresses.contains(source.address))
        return Hairpin::SupportedInternalSource;
    return Hairpin::SupportedOtherPort;
}

LifetimeOutcome DecideLifetime(const LifetimeSearch& search, const QList<bool>& results, int slackMs)
{
    LifetimeOutcome outcome;
    for (int i = 0; i < results.size() && i < search.probeCount(); ++i) {
        if (!results[i]) {
            outcome.kind = i == 0 ? LifetimeOutcome::BelowFirstStep : LifetimeOutcome::Measured;
            outcome.firstDeadSeconds = search.idleSeconds(i);
            outcome.deadBeforeSeconds = outcome.firstDeadSeconds + (std::max(0, slackMs) + 999) / 1000;
            // A timer of exactly two minutes is allowed: the breach needs the
            // binding gone before two minutes even with the probe's travel.
            outcome.belowRfc4787 = outcome.deadBeforeSeconds < kRfc4787MinimumTimerSeconds;
            return outcome;
        }
        outcome.lastAliveSeconds = search.idleSeconds(i);
    }
    outcome.kind = results.size() >= search.probeCount() ? LifetimeOutcome::AtLeastCap : LifetimeOutcome::Incomplete;
    return outcome;
}

int KeepAliveSeconds(int aliveSeconds)
{
    // Half the idle time seen to survive, so that a binding outlives one lost
    // keep-alive; in whole steps of 5 s where that is possible.
    const int half = aliveSeconds / 2;
    if (half >= 5)
        return half / 5 * 5;
    return std::max(1, half);
}

}  // namespace probes
