// SPDX-License-Identifier: Apache-2.0
// The kernel's routing table text read for the default gateway: whatever the
// text, the answer is empty or a dotted IPv4 address that the table names.
#include "fuzz_support.h"
#include "platform/routes.h"

#include <QHostAddress>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray table = fuzz::Datagram(data, size);
    const QString gateway = platform::DefaultGatewayFromRouteTable(table);
    if (gateway.isEmpty())
        return 0;
    const QHostAddress address(gateway);
    FUZZ_CHECK(address.protocol() == QAbstractSocket::IPv4Protocol);
    FUZZ_CHECK(address.toString() == gateway);
    // It came from a line after the first, as the table's hex word.
    const quint32 v = address.toIPv4Address();
    const quint32 word = ((v & 0xFF) << 24) | ((v & 0xFF00) << 8) | ((v >> 8) & 0xFF00) | (v >> 24);
    FUZZ_CHECK(table.toUpper().contains(QByteArray::number(word, 16).toUpper()));
    FUZZ_CHECK(table.contains('\n'));
    return 0;
}
