// SPDX-License-Identifier: Apache-2.0
#pragma once
// Which address family a SIP phone should use towards the provider, from
// what the IPv6 section found: plain rules over plain facts.
#include "probes/ipv6_addresses.h"

#include <QString>
#include <optional>

namespace probes {

struct Ipv6Evidence {
    bool defaultRoute = false;       // an IPv6 default route exists
    bool globalAddress = false;      // a global address on its interface
    bool stunConfigured = false;     // the provider's STUN server has an IPv6 address
    std::optional<bool> stunAnswered;              // nullopt: not asked
    std::optional<TranslationVerdict> translation; // when it answered
    bool aaaaTargets = false;        // the provider's SIP servers have AAAA records
    std::optional<bool> providerReachable;  // over IPv6 (echoes or SIP checks); nullopt: not tried
    int keepAlive6Seconds = 0;       // from the IPv6 lifetime, 0: unknown
    int keepAlive4Seconds = 0;       // from the IPv4 lifetime, 0: unknown
    bool inboundOpen = false;        // nothing filters inbound IPv6: no binding to keep
};

enum class FamilyChoice { Ipv6, Ipv4, Either };

struct Ipv6Advice {
    FamilyChoice family = FamilyChoice::Either;
    QString verdict;  // "IPv6 работает", "IPv6 не работает", "IPv6 недоступен", …
    QString why;      // the reason and what to do, one or two sentences
};

Ipv6Advice AdviseFamily(const Ipv6Evidence& e);

// "ipv6", "ipv4", "either".
QString FamilyChoiceName(FamilyChoice f);

}  // namespace probes
