// SPDX-License-Identifier: Apache-2.0
#include "platform/routes.h"

#include <QFile>
#include <QList>
#include <limits>

namespace platform {

namespace {

constexpr unsigned kRouteUp = 0x1;       // RTF_UP
constexpr unsigned kRouteGateway = 0x2;  // RTF_GATEWAY
constexpr qsizetype kMaxTable = 1 << 20;

bool Hex(const QByteArray& field, unsigned& value)
{
    if (field.isEmpty() || field.size() > 8)
        return false;
    bool ok = false;
    value = field.toUInt(&ok, 16);
    return ok;
}

}  // namespace

QString DefaultGatewayFromRouteTable(const QByteArray& table)
{
    QString best;
    unsigned bestMetric = std::numeric_limits<unsigned>::max();
    const QList<QByteArray> lines = table.left(kMaxTable).split('\n');
    for (qsizetype i = 1; i < lines.size(); ++i) {  // the first line names the columns
        const QList<QByteArray> f = lines[i].simplified().split(' ');
        // Iface Destination Gateway Flags RefCnt Use Metric Mask MTU Window IRTT
        if (f.size() < 8)
            continue;
        unsigned destination = 0, gateway = 0, flags = 0, metric = 0, mask = 0;
        if (!Hex(f[1], destination) || !Hex(f[2], gateway) || !Hex(f[3], flags) || !Hex(f[7], mask))
            continue;
        bool ok = false;
        metric = f[6].toUInt(&ok);
        if (!ok || destination != 0 || mask != 0 || gateway == 0 || (flags & (kRouteUp | kRouteGateway)) != (kRouteUp | kRouteGateway))
            continue;
        if (!best.isEmpty() && metric >= bestMetric)
            continue;
        // The kernel writes the address as a host-order (little-endian) word.
        best = QStringLiteral("%1.%2.%3.%4").arg(gateway & 0xFF).arg((gateway >> 8) & 0xFF).arg((gateway >> 16) & 0xFF).arg(gateway >> 24);
        bestMetric = metric;
    }
    return best;
}

QString DefaultGatewayIPv4()
{
    QFile file(QStringLiteral("/proc/net/route"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return DefaultGatewayFromRouteTable(file.read(kMaxTable));
}

}  // namespace platform
