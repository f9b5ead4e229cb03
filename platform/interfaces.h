// SPDX-License-Identifier: Apache-2.0
#pragma once
// Local IPv4 address table.
#include <QString>
#include <QVector>
#include <cstdint>

namespace platform {

// One raw row: values as the system stores them (addresses in network byte order).
struct AddressRow {
    uint32_t address = 0;
    uint32_t index = 0;
    uint32_t mask = 0;
    uint32_t broadcast = 0;
    bool loopback = false;
};

struct InterfaceEntry {
    QString Address;
    int32_t Index = 0;
    QString Mask;
    QString Broadcast;
};

// Entry 1 of the table is element 0.
using InterfaceTable = QVector<InterfaceEntry>;

// Reads the IPv4 rows: non-loopback interfaces in the system's order, loopback last.
int ReadAddressTable(QVector<AddressRow>& rows);

// Builds the entries from the rows (no reordering).
InterfaceTable InterfacesFromRows(const QVector<AddressRow>& rows);

// The machine's table.
InterfaceTable ListInterfaces();

// Bytes of the stored value from the lowest-order byte up, joined with ".".
QString DottedAddress(uint32_t storedValue);

}  // namespace platform
