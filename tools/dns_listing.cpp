// SPDX-License-Identifier: Apache-2.0
#include "tools/dns_listing.h"

#include <algorithm>

namespace tools {

namespace {

QString Line(const char* label, const QString& value)
{
    return QString::fromUtf8(label) + QLatin1Char('\t') + value + QStringLiteral("\r\n");
}

// SOA serial and times are unsigned 32-bit numbers on the wire.
QString Unsigned(int32_t value)
{
    return QString::number(static_cast<uint32_t>(value));
}

QString Seconds(int32_t value)
{
    return Unsigned(value) + QStringLiteral(" Sek");
}

// Record text as it may be shown on one line: control characters and line
// or paragraph separators become "\DDD" (RFC 1035 section 5.1), or "\uXXXX"
// beyond Latin-1, and a backslash is doubled, so no text can start a line.
QString EscapedText(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        const QChar::Category category = c.category();
        if (c == QLatin1Char('\\')) {
            out += QStringLiteral("\\\\");
        } else if (category == QChar::Other_Control || category == QChar::Separator_Line
                   || category == QChar::Separator_Paragraph) {
            out += c.unicode() < 0x100
                       ? QStringLiteral("\\%1").arg(c.unicode(), 3, 10, QLatin1Char('0'))
                       : QStringLiteral("\\u") + QString::number(c.unicode(), 16).rightJustified(4, QLatin1Char('0'));
        } else {
            out += c;
        }
    }
    return out;
}

}  // namespace

QString DnsListingText(const QVector<platform::DnsEntry>& entries, int count)
{
    QString text;
    const int shown = std::min<qsizetype>(std::max(count, 0), entries.size());
    for (int i = 0; i < shown; ++i) {
        const platform::DnsEntry& e = entries[i];
        text += Line("Entrie: \t", QString::number(i + 1));
        // Types are unsigned 16-bit codes on the wire.
        text += Line("Type: \t", QString::number(static_cast<uint16_t>(e.RrType)));
        text += Line("RR Name: ", e.RrName);
        switch (e.RrType) {
        case 1:
            text += Line("IP Addresse: ", e.IpAddress);
            break;
        case 15:
            text += Line("MX Record: ", e.MxHost);
            break;
        case 6:
            text += Line("SOA Admin: ", e.SoaAdmin);
            text += Line("SOA Server: ", e.SoaServer);
            text += Line("SOA SerialNumber: ", Unsigned(e.SoaSerial));
            text += Line("SOA Retrys: ", Seconds(e.SoaRetry));
            text += Line("SOA Refresh: ", Seconds(e.SoaRefresh));
            text += Line("SOA Expired: ", Seconds(e.SoaExpire));
            text += Line("SOA Default TTL: ", Seconds(e.SoaDefaultTtl));
            break;
        case 16:
            text += Line("TEXT Record: ", EscapedText(e.TxtText));
            break;
        case 2:
            text += Line("NameServer: ", e.NsHost);
            break;
        case 12:
            text += Line("HostName: ", e.PtrHost);
            break;
        case 33:
            text += Line("Host Name: ", e.SrvTarget);
            text += Line("Host Port: ", QString::number(e.SrvPort));
            break;
        default:
            text += Line("RR Menge: ", e.IpAddress);
            break;
        }
        text += QStringLiteral("\r\n");
    }
    return text;
}

QString DnsQueryListing(int status, const QVector<platform::DnsEntry>& entries, int count)
{
    if (status != 0)
        return QStringLiteral("Error: ") + QString::number(status);
    return DnsListingText(entries, count);
}

}  // namespace tools
