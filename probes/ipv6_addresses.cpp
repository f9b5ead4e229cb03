// SPDX-License-Identifier: Apache-2.0
#include "probes/ipv6_addresses.h"

#include <QHostAddress>

namespace probes {

namespace {

struct Range {
    uint8_t prefix[16];
    int length;
    Ipv6Kind kind;
};

// Most specific first: the first row that matches decides.
const Range kRanges[] = {
    {{}, 128, Ipv6Kind::Unspecified},                                            // ::/128, RFC 4291 section 2.5.2
    {{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}, 128, Ipv6Kind::Loopback}, // ::1/128, RFC 4291 section 2.5.3
    {{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF}, 96, Ipv6Kind::Ipv4Mapped},      // ::ffff:0:0/96, RFC 4291 section 2.5.5.2
    {{0xFE, 0x80}, 10, Ipv6Kind::LinkLocal},                                     // fe80::/10, RFC 4291 section 2.5.6
    {{0xFE, 0xC0}, 10, Ipv6Kind::SiteLocal},                                     // fec0::/10, deprecated by RFC 3879
    {{0xFC}, 7, Ipv6Kind::UniqueLocal},                                          // fc00::/7, RFC 4193
    {{0xFF}, 8, Ipv6Kind::Multicast},                                            // ff00::/8, RFC 4291 section 2.7
    {{0x20}, 3, Ipv6Kind::Global},                                               // 2000::/3, RFC 4291 section 2.4, RFC 3587
};

bool Matches(const Q_IPV6ADDR& a, const Range& r)
{
    for (int bit = 0; bit < r.length; ++bit) {
        const int byte = bit / 8, mask = 0x80 >> (bit % 8);
        if ((a.c[byte] & mask) != (r.prefix[byte] & mask))
            return false;
    }
    return true;
}

std::optional<Q_IPV6ADDR> Parse(const QString& text)
{
    if (!text.contains(QLatin1Char(':')) || text.contains(QLatin1Char('%')))
        return std::nullopt;
    QHostAddress a;
    if (!a.setAddress(text) || a.protocol() != QAbstractSocket::IPv6Protocol)
        return std::nullopt;
    return a.toIPv6Address();
}

int Word(const Q_IPV6ADDR& a, int index)
{
    return a.c[2 * index] << 8 | a.c[2 * index + 1];
}

// One's complement sum of the eight words (RFC 1071), with 0xFFFF as 0.
int OnesComplementSum(const Q_IPV6ADDR& a)
{
    uint32_t sum = 0;
    for (int i = 0; i < 8; ++i)
        sum += static_cast<uint32_t>(Word(a, i));
    while (sum > 0xFFFF)
        sum = (sum & 0xFFFF) + (sum >> 16);
    return sum == 0xFFFF ? 0 : static_cast<int>(sum);
}

}  // namespace

std::optional<Ipv6Kind> ClassifyIpv6(const QString& address)
{
    const std::optional<Q_IPV6ADDR> a = Parse(address);
    if (!a)
        return std::nullopt;
    for (const Range& r : kRanges) {
        if (Matches(*a, r))
            return r.kind;
    }
    return Ipv6Kind::Other;
}

Ipv6AddressSummary SummariseIpv6(const QList<LocalIpv6Address>& addresses)
{
    Ipv6AddressSummary s;
    for (const LocalIpv6Address& a : addresses) {
        if (a.tentative)
            continue;
        switch (ClassifyIpv6(a.address).value_or(Ipv6Kind::Other)) {
        case Ipv6Kind::Global:
            (a.temporary ? s.temporary : s.stable) << a.address;
            break;
        case Ipv6Kind::UniqueLocal:
            s.uniqueLocal << a.address;
            break;
        case Ipv6Kind::LinkLocal:
            s.linkLocal << a.address;
            break;
        default:
            break;
        }
    }
    return s;
}

std::optional<TranslationVerdict> JudgeIpv6Translation(const QString& localAddress, int localPort,
                                                       const QString& mappedAddress, int mappedPort)
{
    const std::optional<Q_IPV6ADDR> local = Parse(localAddress), mapped = Parse(mappedAddress);
    if (!local || !mapped)
        return std::nullopt;
    TranslationVerdict v;
    v.portPreserved = localPort == mappedPort;
    int iidWordsChanged = 0;
    bool sameAddress = true;
    for (int word = 0; word < 8; ++word) {
        if (Word(*local, word) != Word(*mapped, word)) {
            sameAddress = false;
            if (word >= 4)
                ++iidWordsChanged;
        }
    }
    // RFC 6296 section 3.1: the translator rewrites the prefix and, when the
    // prefix is longer than /48, makes the rewrite checksum-neutral by
    // adjusting one 16-bit word of the interface identifier; the port stays.
    const bool prefixOnly = iidWordsChanged == 0
        || (iidWordsChanged == 1 && OnesComplementSum(*local) == OnesComplementSum(*mapped));
    if (sameAddress && v.portPreserved)
        v.kind = Ipv6Translation::None;
    else if (!sameAddress && prefixOnly && v.portPreserved)
        v.kind = Ipv6Translation::Npt;
    else
        v.kind = Ipv6Translation::Nat66;
    return v;
}

}  // namespace probes
