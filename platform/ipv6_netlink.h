// SPDX-License-Identifier: Apache-2.0
#pragma once
// The system's IPv6 addresses and routes, read from the kernel's routing
// netlink (RTM_GETADDR, RTM_GETROUTE dumps): structured data, never command
// output. The readers of the dumped messages are plain functions over bytes.
#include <QByteArray>
#include <QList>
#include <QString>
#include <cstdint>

namespace platform {

struct Ipv6InterfaceAddress {
    int interfaceIndex = 0;
    QString address;        // RFC 5952 text
    int prefixLength = 0;
    uint32_t flags = 0;     // IFA_F_* (IFA_FLAGS when present, else ifa_flags)
    int scope = 0;          // RT_SCOPE_*
};

struct Ipv6Route {
    int interfaceIndex = 0; // RTA_OIF, 0 when absent
    int prefixLength = 0;   // rtm_dst_len
    QString destination;    // "" for the default route
    QString gateway;        // RTA_GATEWAY, "" when absent
    int table = 0;          // RTA_TABLE, else rtm_table
    int type = 0;           // rtm_type (RTN_UNICAST = 1)
};

// Readers of a dump's bytes (one or more netlink messages back to back). A
// message whose length runs past the end, or an attribute whose length runs
// past its message, ends the reading; messages of other types or families
// are skipped.
QList<Ipv6InterfaceAddress> ReadIpv6AddressMessages(const QByteArray& dump);
QList<Ipv6Route> ReadIpv6RouteMessages(const QByteArray& dump);

// IFA_F_TEMPORARY (RFC 8981 privacy addresses) and the other flags read.
constexpr uint32_t kAddressTemporary = 0x01;
constexpr uint32_t kAddressDeprecated = 0x20;
constexpr uint32_t kAddressTentative = 0x40;
constexpr uint32_t kAddressStablePrivacy = 0x800;

struct Ipv6SystemFacts {
    bool readable = false;              // both dumps answered
    bool hasDefaultRoute = false;       // a unicast ::/0 route in the main table
    int defaultInterface = 0;           // its outgoing interface (0: none)
    QString defaultInterfaceName;
    QString defaultGateway;
    QList<Ipv6InterfaceAddress> addresses;  // every IPv6 address of the machine
};

// Asks the kernel for both dumps (a local exchange, milliseconds).
Ipv6SystemFacts ReadIpv6SystemFacts();

}  // namespace platform
