// SPDX-License-Identifier: Apache-2.0
// What the router's HTTP server sends back: the answer to the description GET
// or to the GetExternalIPAddress POST, read as HTTP, then as the device
// description or the SOAP answer. The first input byte says whether the peer
// has closed the connection (bit 0) and which request it answers (bit 1).
#include "fuzz_support.h"
#include "probes/igd.h"

#include <QHostAddress>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const bool closed = data[0] & 1;
    const bool description = data[0] & 2;
    const QByteArray raw = fuzz::Datagram(data + 1, size - 1);
    const probes::HttpAnswer a = probes::ReadHttpAnswer(raw, closed);
    // The body is never more than what arrived, and only an HTTP/1.x answer has one.
    FUZZ_CHECK(a.body.size() <= raw.size());
    if (!raw.startsWith("HTTP/1.") || !raw.contains("\r\n\r\n"))
        FUZZ_CHECK(!a.complete && a.status == 0 && a.body.isEmpty());

    // Header values never run into the next line (a bare CR inside one stays: the
    // value is only compared and parsed as a URL).
    const QString server = probes::HeaderValue(raw, "Server");
    FUZZ_CHECK(!server.contains(QLatin1Char('\n')));

    if (description) {
        const QUrl location(QStringLiteral("http://192.168.1.1:5000/rootDesc.xml"));
        const probes::IgdDescription d = probes::ReadIgdDescription(a.complete ? a.body : raw, location);
        if (d.valid) {
            FUZZ_CHECK(d.controlUrl.scheme() == QLatin1String("http") && !d.controlUrl.host().isEmpty());
            FUZZ_CHECK(d.serviceType.startsWith(QLatin1String("urn:schemas-upnp-org:service:WANIPConnection:")) ||
                       d.serviceType.startsWith(QLatin1String("urn:schemas-upnp-org:service:WANPPPConnection:")));
        }
        return 0;
    }
    const QString address = probes::ReadExternalIpAnswer(a);
    if (!address.isEmpty())
        FUZZ_CHECK(a.complete && a.status == 200);
    return 0;
}
