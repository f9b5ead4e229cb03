// SPDX-License-Identifier: Apache-2.0
#pragma once
// Every server, name and page the program talks to, in one place. The values
// are built in (set at configure time); tests construct their own to point
// the probes and windows at loopback.
#include <QString>
#include <QStringList>
#include <cstdint>

namespace probes {

struct ProviderEndpoints {
    QString mainServer;       // STUN server, main SIP server, first-hop echo target
    QString secondServer;     // second SIP server (TCP 5060 attempts)
    QString passageServer;    // packet passage test server
    QString furtherAddress;   // third ping preset
    QString pingTarget;       // ten echoes of the automatic test
    QString domain;           // provider domain for the DNS tests
    QString networkPrefix;    // 7 characters compared with the domain's address
    QString displayName;      // shown after "Пинг на "
    QStringList publicSipDomains;  // three public SIP service domains
    uint16_t stunPort = 3478;
    uint16_t sipPort = 5060;
    uint16_t secondSipPort = 0;  // a second SIP port of the main server, 0: none
    uint16_t ssdpPort = 1900;
    // The STUN server over IPv6: its address and the alternate RFC 5780
    // address, "" when the provider has none (the IPv6 section says so).
    QString stunServer6;
    QString stunAlternate6;
    uint16_t stunPort6 = 3478;
    // Second destination of the SSDP searches (the group the HOST line names).
    QString ssdpGroup = QStringLiteral("239.255.255.250");

    static ProviderEndpoints builtIn();
};

struct WebPages {
    QString maker;
    QStringList speedTests;  // three pages
    QString externalAddress;

    static WebPages builtIn();
};

// Local port of the main window's fixed-port socket and of the SIP headers.
constexpr int kSipLocalPort = 5060;

}  // namespace probes
