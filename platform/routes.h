// SPDX-License-Identifier: Apache-2.0
#pragma once
// The IPv4 default gateway from the kernel's routing table: where NAT-PMP,
// PCP and the UPnP gateway must be asked and answer from (RFC 6886 section
// 3: the client sends to its default gateway).
#include <QByteArray>
#include <QString>

namespace platform {

// Reads /proc/net/route's text: of the usable default routes (destination
// and mask 0.0.0.0, flags up and gateway) the one of lowest metric; its
// gateway as dotted text, "" for none or for text that is not such a table.
QString DefaultGatewayFromRouteTable(const QByteArray& table);

// The system's default gateway now ("" without one).
QString DefaultGatewayIPv4();

}  // namespace platform
