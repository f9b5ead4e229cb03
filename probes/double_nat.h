// SPDX-License-Identifier: Apache-2.0
#pragma once
// How many address translations lie between the computer and the Internet,
// judged from independent evidence: the gateway's own external address (UPnP
// IGD GetExternalIPAddress, NAT-PMP), the address the STUN server sees, and the
// routers on the first hops.
#include <QString>
#include <QStringList>
#include <QVector>

namespace probes {

enum class AddressClass {
    Invalid,     // not an IPv4 address, or 0.0.0.0
    Private,     // RFC 1918: 10/8, 172.16/12, 192.168/16
    Shared,      // RFC 6598: 100.64/10, the carrier-grade NAT range
    Special,     // loopback, link-local, multicast, reserved
    Public,      // everything else
};

AddressClass ClassifyAddress(const QString& dotted);
// "частный (RFC 1918)", "NAT оператора (RFC 6598, 100.64.0.0/10)", "публичный" ...
QString AddressClassText(AddressClass c);

struct NatEvidence {
    QString localAddress;          // the computer's main address
    QString igdExternalAddress;    // "" when no IGD answered (or it had none)
    QString natPmpExternalAddress; // "" when no NAT-PMP answer (or it had none)
    bool igdAnswered = false, natPmpAnswered = false;  // the service answered at all
    QString stunMappedAddress;     // "" when no STUN answer
    // Routers that answered the TTL-limited probes, hop 1 first; "" for a hop
    // that did not answer. The last probe may reach the destination itself.
    QStringList hops;
};

enum class NatVerdict { None, Single, Double, Carrier, Unknown };

struct NatVerdictResult {
    NatVerdict verdict = NatVerdict::Unknown;
    QString reason;   // which evidence decided, in words
};

NatVerdictResult JudgeNat(const NatEvidence& e);

// "один NAT", "двойной NAT", "NAT оператора (CGNAT)", "не удалось определить",
// and for a computer with a public address "NAT не обнаружен".
QString NatVerdictText(NatVerdict v);
// What the verdict means for a SIP phone.
QString NatVerdictAdvice(NatVerdict v);

// The whole finding: evidence line by line, the verdict, the reason, the advice.
QString NatFindingText(const NatEvidence& e, const NatVerdictResult& r);

}  // namespace probes
