// SPDX-License-Identifier: Apache-2.0
// The kernel's RTM_GETADDR and RTM_GETROUTE dumps read for IPv6 addresses and
// routes: whatever the bytes, nothing is read past them, every address read
// is IPv6 text that was in the dump, and a route's prefix fits 128 bits.
#include "fuzz_support.h"
#include "platform/ipv6_netlink.h"
#include "probes/ipv6_addresses.h"

#include <QHostAddress>

namespace {

void CheckAddress(const QString& text, const QByteArray& dump)
{
    if (text.isEmpty())
        return;
    QHostAddress a;
    FUZZ_CHECK(a.setAddress(text) && a.protocol() == QAbstractSocket::IPv6Protocol);
    FUZZ_CHECK(a.toString() == text);
    const Q_IPV6ADDR raw = a.toIPv6Address();
    FUZZ_CHECK(dump.contains(QByteArray(reinterpret_cast<const char*>(raw.c), 16)));
    FUZZ_CHECK(probes::ClassifyIpv6(text).has_value());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray dump = fuzz::Datagram(data, size);
    const QList<platform::Ipv6InterfaceAddress> addresses = platform::ReadIpv6AddressMessages(dump);
    // A message is 16 header bytes, 8 of ifaddrmsg and a 20-byte attribute.
    FUZZ_CHECK(addresses.size() * 44 <= dump.size());
    QList<probes::LocalIpv6Address> local;
    for (const platform::Ipv6InterfaceAddress& a : addresses) {
        FUZZ_CHECK(!a.address.isEmpty());
        CheckAddress(a.address, dump);
        FUZZ_CHECK(a.prefixLength >= 0 && a.prefixLength <= 255);
        local << probes::LocalIpv6Address{a.address, (a.flags & platform::kAddressTemporary) != 0, false, false};
    }
    const probes::Ipv6AddressSummary s = probes::SummariseIpv6(local);
    FUZZ_CHECK(s.temporary.size() + s.stable.size() + s.uniqueLocal.size() + s.linkLocal.size() <= local.size());

    const QList<platform::Ipv6Route> routes = platform::ReadIpv6RouteMessages(dump);
    // 16 header bytes and 12 of rtmsg.
    FUZZ_CHECK(routes.size() * 28 <= dump.size());
    for (const platform::Ipv6Route& r : routes) {
        FUZZ_CHECK(r.prefixLength >= 0 && r.prefixLength <= 128);
        FUZZ_CHECK(r.prefixLength != 0 || r.destination.isEmpty());
        CheckAddress(r.destination, dump);
        CheckAddress(r.gateway, dump);
    }
    return 0;
}
