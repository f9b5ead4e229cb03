// SPDX-License-Identifier: Apache-2.0
// What the router's HTTP server sends back, as the network module hands it
// over: the body of the answer to the description GET or to a SOAP POST, read
// as the device description or the SOAP answer, and an SSDP header block. The
// first input byte says which request it answers (bit 1), whether the answer
// was whole (bit 0) and its status (the rest).
#include "fuzz_support.h"
#include "probes/igd.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    static const int kStatus[] = {200, 200, 200, 500, 301, 404, 0, 204};
    probes::HttpAnswer a;
    a.complete = data[0] & 1;
    a.status = kStatus[(data[0] >> 2) & 7];
    const bool description = data[0] & 2;
    a.body = fuzz::Datagram(data + 1, size - 1);

    // Header values never run into the next line (a bare CR inside one stays: the
    // value is only compared and parsed as a URL).
    const QString server = probes::HeaderValue(a.body, "Server");
    FUZZ_CHECK(!server.contains(QLatin1Char('\n')));

    if (description) {
        const QUrl location(QStringLiteral("http://192.168.1.1:5000/rootDesc.xml"));
        const probes::IgdDescription d = probes::ReadIgdDescription(a.body, location);
        if (d.valid) {
            FUZZ_CHECK(d.controlUrl.scheme() == QLatin1String("http") && !d.controlUrl.host().isEmpty());
            FUZZ_CHECK(d.serviceType.startsWith(QLatin1String("urn:schemas-upnp-org:service:WANIPConnection:")) ||
                       d.serviceType.startsWith(QLatin1String("urn:schemas-upnp-org:service:WANPPPConnection:")));
            FUZZ_CHECK(!d.services.isEmpty() && d.services.size() <= a.body.size());
        }
        return 0;
    }
    // Only a whole 200 answer without a SOAP fault yields a value.
    const QString address = probes::ReadExternalIpAnswer(a);
    const QString status = probes::ReadConnectionStatus(a);
    if (!address.isEmpty() || !status.isEmpty())
        FUZZ_CHECK(a.complete && a.status == 200);
    FUZZ_CHECK(address.size() <= a.body.size() && status.size() <= a.body.size());
    return 0;
}
