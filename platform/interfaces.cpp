// SPDX-License-Identifier: Apache-2.0
#include "platform/interfaces.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/socket.h>

namespace platform {

namespace {

uint32_t storedAddress(const sockaddr* address)
{
    if (!address || address->sa_family != AF_INET)
        return 0;
    return reinterpret_cast<const sockaddr_in*>(address)->sin_addr.s_addr;
}

uint32_t interfaceIndex(const char* name)
{
    if (!name)
        return 0;
    if (const unsigned index = ::if_nametoindex(name))
        return index;
    // An address label such as "eth0:1" belongs to the device before the colon.
    const QByteArray device = QByteArray(name).split(':').value(0);
    return ::if_nametoindex(device.constData());
}

}  // namespace

int ReadAddressTable(QVector<AddressRow>& rows)
{
    rows.clear();
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0)
        return 0;

    QVector<AddressRow> loopbackRows;
    for (const ifaddrs* item = list; item; item = item->ifa_next) {
        if (!item->ifa_addr || item->ifa_addr->sa_family != AF_INET)
            continue;
        AddressRow row;
        row.address = storedAddress(item->ifa_addr);
        row.index = interfaceIndex(item->ifa_name);
        row.mask = storedAddress(item->ifa_netmask);
        row.broadcast = (item->ifa_flags & IFF_BROADCAST) ? storedAddress(item->ifa_broadaddr) : 0;
        row.loopback = (item->ifa_flags & IFF_LOOPBACK) != 0;
        // The system lists the loopback device first; the program's first entry
        // must be a real interface, so loopback addresses go to the end.
        if (row.loopback)
            loopbackRows.append(row);
        else
            rows.append(row);
    }
    ::freeifaddrs(list);
    rows += loopbackRows;
    return static_cast<int>(rows.size());
}

InterfaceTable InterfacesFromRows(const QVector<AddressRow>& rows)
{
    InterfaceTable table;
    table.reserve(rows.size());
    for (const AddressRow& row : rows) {
        InterfaceEntry entry;
        entry.Address = DottedAddress(row.address);
        entry.Index = static_cast<int32_t>(row.index);
        entry.Mask = DottedAddress(row.mask);
        entry.Broadcast = DottedAddress(row.broadcast);
        table.append(entry);
    }
    return table;
}

InterfaceTable ListInterfaces()
{
    QVector<AddressRow> rows;
    ReadAddressTable(rows);
    return InterfacesFromRows(rows);
}

QString DottedAddress(uint32_t storedValue)
{
    QString text;
    for (int shift = 0; shift < 32; shift += 8) {
        if (shift)
            text += QLatin1Char('.');
        text += QString::number((storedValue >> shift) & 0xFFu);
    }
    return text;
}

}  // namespace platform
