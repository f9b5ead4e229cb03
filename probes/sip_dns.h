// SPDX-License-Identifier: Apache-2.0
#pragma once
// How a SIP phone finds the servers of a domain (RFC 3263 section 4): NAPTR,
// then SRV for the chosen transports, then the addresses of every target, in
// the order the phone tries them.
#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QVector>
#include <cstdint>
#include <functional>

namespace probes {

enum class SipTransport { Udp, Tcp, Tls };

struct NaptrRecord {
    int order = 0;
    int preference = 0;
    QString flags;
    QString service;      // "SIP+D2U", "SIP+D2T", "SIPS+D2T" ...
    QString regexp;
    QString replacement;  // the SRV name to query
};

struct SrvRecord {
    int priority = 0;
    int weight = 0;
    int port = 0;
    QString target;
};

// The SRV name of each transport: _sip._udp, _sip._tcp, _sips._tcp (RFC 3263 4.1).
QString SrvName(SipTransport t, const QString& domain);
QString TransportName(SipTransport t);   // "UDP", "TCP", "TLS"

struct SrvQuery {
    SipTransport transport;
    QString name;
};

// The SRV names to query, in order. With NAPTR records: those with flag "s" and
// a service this client supports (SIP+D2U, SIP+D2T, SIPS+D2T), by order, then
// preference (RFC 3403 section 4.1, RFC 3263 section 4.1); without any usable
// one: _sip._udp, _sip._tcp, _sips._tcp of the domain.
QVector<SrvQuery> SrvQueriesFor(const QString& domain, const QVector<NaptrRecord>& naptr, bool* fromNaptr = nullptr);

// RFC 2782 order: by priority; within one priority repeatedly a weighted random
// choice among the remaining records, weight-0 records first in the list so
// that they are chosen rarely. random(n) gives a number in 0..n inclusive.
QVector<SrvRecord> OrderSrv(QVector<SrvRecord> records, const std::function<uint32_t(uint32_t)>& random);

// One place the phone would send to.
struct SipTarget {
    SipTransport transport = SipTransport::Udp;
    QString host;
    int port = 0;
    QString address;      // IPv4 dotted or IPv6 text; "" when the host has none
    bool ipv6 = false;
    QString source;       // "NAPTR", "SRV", "A" (no SRV: the domain's own address)
};

struct SipDnsAnswers {
    QVector<NaptrRecord> naptr;
    // SRV answers by query name (absent name: no records).
    QHash<QString, QVector<SrvRecord>> srv;
    // A and AAAA answers by host name.
    QHash<QString, QStringList> a, aaaa;
};

// Every target in the order tried: transports in query order, SRV records in
// RFC 2782 order, per host its IPv4 then IPv6 addresses. Without any SRV record,
// the domain's own addresses on port 5060 over UDP (RFC 3263 section 4.2).
QVector<SipTarget> OrderSipTargets(const QString& domain, const SipDnsAnswers& answers,
                                   const std::function<uint32_t(uint32_t)>& random);

// Whether one target answered.
struct TargetCheck {
    SipTarget target;
    bool checked = false;      // false: not tried (IPv6, or no address)
    bool answered = false;
    int ms = 0;                // answer or connection time
    int sipStatus = 0;         // UDP: status code of the OPTIONS answer
    // TLS: the chain verified and the certificate names the SIP domain (RFC 5922 section 7)
    bool tlsVerified = false;
    bool tlsChainVerified = false;
    QString tlsChainError;      // why the chain did not verify, in the system's words
    QStringList tlsIdentities;  // the SIP identities the certificate names
    QString detail;            // why it failed, in the system's words
};

// What each SRV query returned (name -> number of records), for the finding.
struct SipDnsSummary {
    QString domain;
    bool resolverSilent = false;   // no DNS server answered: nothing else was asked
    int naptrRecords = 0;
    bool fromNaptr = false;
    QVector<SrvQuery> queries;
    QVector<int> srvCounts;    // per query
    QVector<TargetCheck> checks;
};

QString SipDnsFindingText(const SipDnsSummary& s);

// SIP OPTIONS (RFC 3261 section 11) to one target over UDP, with rport
// (RFC 3581) so the answer comes back to the source port behind a NAT.
QByteArray BuildSipOptions(const QString& domain, const QString& localAddress, int localPort, const QString& tag);
// Status code of an answer to BuildSipOptions(..., tag); 0 for anything else.
int ReadSipOptionsAnswer(const QByteArray& data, const QString& tag);

}  // namespace probes
