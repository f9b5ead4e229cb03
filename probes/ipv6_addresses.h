// SPDX-License-Identifier: Apache-2.0
#pragma once
// What this machine's IPv6 addresses are, and what a STUN server saw of one:
// plain rules over address text, no sockets.
#include <QList>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>

namespace probes {

enum class Ipv6Kind { Unspecified, Loopback, Ipv4Mapped, LinkLocal, SiteLocal, UniqueLocal, Multicast, Global, Other };

// The kind of an IPv6 address by the ranges of RFC 4291 section 2.4 and the
// RFCs after it; nullopt for text that is not an IPv6 address.
std::optional<Ipv6Kind> ClassifyIpv6(const QString& address);

struct LocalIpv6Address {
    QString address;
    bool temporary = false;   // IFA_F_TEMPORARY: RFC 8981 privacy address
    bool deprecated = false;  // preferred lifetime over: not used for new connections
    bool tentative = false;   // duplicate address detection not finished: unusable
};

struct Ipv6AddressSummary {
    QStringList temporary;    // global, RFC 8981 temporary addresses
    QStringList stable;       // global, stable (EUI-64, RFC 7217 or set by hand)
    QStringList uniqueLocal;  // fc00::/7, RFC 4193
    QStringList linkLocal;    // fe80::/10
    bool hasGlobal() const { return !temporary.isEmpty() || !stable.isEmpty(); }
};

// Sorts the addresses of the interface towards the default route. Tentative
// addresses are left out, and so are loopback and multicast ones.
Ipv6AddressSummary SummariseIpv6(const QList<LocalIpv6Address>& addresses);

enum class Ipv6Translation { None, Npt, Nat66 };

struct TranslationVerdict {
    Ipv6Translation kind = Ipv6Translation::None;
    bool portPreserved = true;
};

// Compares the source of a STUN Binding Request with the XOR-MAPPED-ADDRESS
// the server saw (RFC 8489 section 14.2): the same address and port, no
// translation; the same interface identifier (the low 64 bits) under another
// prefix and the same port, the stateless prefix translation of RFC 6296
// (also when one identifier word differs so that the address's checksum stays
// the same, RFC 6296 section 3.1); anything else, NAT66. nullopt when either address is not IPv6.
std::optional<TranslationVerdict> JudgeIpv6Translation(const QString& localAddress, int localPort,
                                                       const QString& mappedAddress, int mappedPort);

}  // namespace probes
