// SPDX-License-Identifier: Apache-2.0
#pragma once
// Everything the IPv6 section found, its text in the window's style (what was
// measured, the result, what it means for a SIP phone) and its figures.
#include "probes/extended_findings.h"
#include <QCoreApplication>
#include "probes/ipv6_advice.h"
#include "probes/sip_dns.h"
#include "probes/stun5780.h"

#include <QJsonObject>
#include <QList>
#include <QString>
#include <optional>

namespace probes {

// The IPv6 STUN server's address is not set at build time.
inline QString Ipv6ServerUnset() { return QCoreApplication::translate("Ipv6Findings", "адрес IPv6 сервера не задан"); }

struct Ipv6Findings {
    bool systemReadable = true;     // the interface data could be read
    bool defaultRoute = false;
    QString interfaceName;          // towards the default route
    Ipv6AddressSummary addresses;
    QString stunServer;             // "" : not set
    bool stunAnswered = false;      // meaningful when stunServer is set
    stun5780::Endpoint source;      // the request's source address and port
    std::optional<stun5780::Endpoint> mapped;
    std::optional<TranslationVerdict> translation;
    QString echoTarget;             // where the ICMPv6 echoes went ("" : none sent)
    bool echoSocket = true;         // false: the system refused an ICMPv6 socket
    QList<int> echoRoundTrips;      // ms per echo, -1: no answer
    QList<Finding> natFindings;     // filtering and lifetime over IPv6
    // The SIP servers' IPv6 targets (AAAA records, RFC 3263 section 4.2) and
    // whether each answered OPTIONS, a TCP connection or a TLS handshake.
    QVector<TargetCheck> sipChecks;
    Ipv6Advice advice;
    bool stopped = false;
};

struct EchoFigures {
    int answered = 0;
    int lost = 0;
    std::optional<int> averageMs;  // nullopt when half or more were lost
    std::optional<int> jitterMs;   // largest minus smallest round trip
};
// The main test's rules over the round trips (app/ping_statistics).
EchoFigures SummariseEchoes(const QList<int>& roundTrips);

// The IPv6 targets among the SIP server section's targets, in the order a
// phone tries them, each place (transport, address, port) once.
QVector<SipTarget> Ipv6SipTargets(const QVector<TargetCheck>& dnsChecks);

// Whether the provider answered over IPv6: an echo or a SIP target answered
// (true), all were tried and none answered (false), nothing tried (nullopt).
// echoesWanted: how many echoes a complete run sends.
std::optional<bool> ProviderReachableOverIpv6(const Ipv6Findings& f, int echoesWanted);

// True when the computer has no IPv6 to speak of: the section is one line.
bool Ipv6Absent(const Ipv6Findings& f);

QString Ipv6SectionText(const Ipv6Findings& f);
QJsonObject Ipv6SectionJson(const Ipv6Findings& f);

// "none", "nptv6", "nat66".
QString TranslationName(Ipv6Translation t);

}  // namespace probes
