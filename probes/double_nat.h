// SPDX-License-Identifier: Apache-2.0
#pragma once
// How many address translations lie between the computer and the Internet,
// judged only from evidence that proves it: the gateway's own external address
// (UPnP IGD GetExternalIPAddress of the connected WAN service, NAT-PMP), the
// address the STUN server sees, and where that address lives (TTL-limited
// datagrams sent to it). The routers on the way are listed as a hint only: a
// provider numbers its routers from private space without translating.
#include <QString>
#include <QStringList>
#include <QVector>

namespace probes {

enum class AddressClass {
    Invalid,     // not an IPv4 address, or 0.0.0.0
    Private,     // RFC 1918: 10/8, 172.16/12, 192.168/16
    Shared,      // RFC 6598: 100.64/10, the carrier-grade NAT range
    DsLite,      // RFC 6333: 192.0.0.0/29, between a DS-Lite B4 and the carrier's AFTR
    Special,     // loopback, link-local, multicast, reserved
    Public,      // everything else
};

AddressClass ClassifyAddress(const QString& dotted);
// "частный, RFC 1918", "общий адрес оператора, RFC 6598", "публичный" ...
QString AddressClassText(AddressClass c);

// One TTL's answer to a UDP probe (RFC 792 message types).
enum class HopKind {
    None,          // no answer
    TimeExceeded,  // a router on the way (type 11)
    PortUnreachable,  // type 3 code 3: a host that has the address itself
    Unreachable,   // type 3 with another code (net, host, administratively prohibited ...)
};

struct HopAnswer {
    QString address;   // who answered
    HopKind kind = HopKind::None;
    int code = 0;      // the ICMP code of an unreachable
};

// The routers towards destination from the answers per TTL (1 first): the list
// ends with a port-unreachable from the destination's own address; any other
// unreachable ends it too, as a failed search (*failed = true).
QVector<HopAnswer> HopList(const QVector<HopAnswer>& perTtl, const QString& destination, bool* failed);
// "запрещено администратором (код 13)" and the like, RFC 792 and RFC 1812 section 5.2.7.1.
QString UnreachableText(int code);

struct NatEvidence {
    QString localAddress;          // the computer's main address
    QString igdExternalAddress;    // of the connected WAN service; "" when no IGD answered (or it had none)
    QString natPmpExternalAddress; // "" when no NAT-PMP answer (or it had none)
    bool igdAnswered = false, natPmpAnswered = false;  // the service answered at all
    QString stunMappedAddress;     // "" when no STUN answer
    // Towards the STUN server, hop 1 first: a hint, never evidence by itself.
    QVector<HopAnswer> hops;
    bool hopsFailed = false;       // an unreachable other than the destination's ended the search
    // Towards the STUN mapped address itself; empty when not probed.
    QVector<HopAnswer> located;
};

enum class NatVerdict { None, Single, Double, Carrier, Unknown };

// What decided the verdict, for the report.
enum class NatEvidenceKind { None, OwnAddress, Gateway, Location, Nothing };

struct NatVerdictResult {
    NatVerdict verdict = NatVerdict::Unknown;
    QString reason;   // which evidence decided, in words
    NatEvidenceKind evidence = NatEvidenceKind::Nothing;
    int natHop = 0;   // the hop where the STUN address lives, 0 when not found
};

NatVerdictResult JudgeNat(const NatEvidence& e);

// "один NAT", "двойной NAT", "NAT оператора (CGNAT)", "не удалось определить",
// and for a computer with a public address "NAT не обнаружен".
QString NatVerdictText(NatVerdict v);
// What the verdict means for a SIP phone.
QString NatVerdictAdvice(NatVerdict v);
// "own-address", "gateway", "location", "none" for the report's JSON.
QString NatEvidenceKey(NatEvidenceKind k);

// The whole finding: evidence line by line, the verdict, the reason, the advice.
QString NatFindingText(const NatEvidence& e, const NatVerdictResult& r);

}  // namespace probes
