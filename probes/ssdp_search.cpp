// SPDX-License-Identifier: Apache-2.0
#include "probes/ssdp_search.h"

#include <QHostAddress>

namespace probes {

QByteArray BuildSsdpSearch(int request)
{
    QByteArray service;
    if (request == 1)
        service = "WANIPConnection:1";
    else if (request == 2)
        service = "WANPPPConnection:1";
    else
        return {};
    return QByteArray("M-SEARCH * HTTP/1.1\r\n"
                      "HOST: 239.255.255.250:1900\r\n"
                      "MAN: \"ssdp:discover\"\r\n"
                      "MX: 2\r\n"
                      "ST: urn:schemas-upnp-org:service:")
        + service + QByteArray("\r\n\r\n");
}

SsdpEffect ReadSsdpAnswer(const QByteArray& data, int senderPort)
{
    // Status-Line = HTTP-Version SP Status-Code SP Reason-Phrase CRLF
    // (RFC 2616 section 6.1): a 200 with any reason phrase, or none.
    static const QByteArray kOk("HTTP/1.1 200");
    if (data.startsWith(kOk)) {
        const char next = data.size() > kOk.size() ? data.at(kOk.size()) : '\0';
        if (next == ' ' || next == '\r' || next == '\n')
            return SsdpEffect::Found;
    }
    if (data.isEmpty() && senderPort == 1900)
        return SsdpEffect::Cleared;
    return SsdpEffect::None;
}

bool SsdpSenderOnOwnNetwork(const QString& sender, const QString& address, const QString& mask,
                            const QString& gateway)
{
    const QHostAddress from(sender), own(address), netmask(mask);
    if (from.protocol() == QAbstractSocket::IPv4Protocol && from == QHostAddress(gateway))
        return true;
    if (from.protocol() != QAbstractSocket::IPv4Protocol || own.protocol() != QAbstractSocket::IPv4Protocol
        || netmask.protocol() != QAbstractSocket::IPv4Protocol)
        return false;
    const quint32 m = netmask.toIPv4Address();
    // A mask must be contiguous ones: 255.0.255.0 is no network.
    if (m == 0 || (~m & (~m + 1)) != 0)
        return false;
    return (from.toIPv4Address() & m) == (own.toIPv4Address() & m);
}

}  // namespace probes
