// SPDX-License-Identifier: Apache-2.0
#pragma once
// UPnP Internet Gateway Device: the SSDP answer's LOCATION, the device
// description, and the SOAP action GetExternalIPAddress of the WAN connection
// service (UPnP Device Architecture 1.0/2.0, WANIPConnection:1/2). The SOAP
// envelopes are built and the XML answers read here; HTTP itself is
// platform/'s (Qt's network module).
#include <QByteArray>
#include <QString>
#include <QUrl>
#include <QVector>

namespace probes {

// Value of header name (case-insensitive) in an SSDP/HTTP header block; "" if absent.
QString HeaderValue(const QByteArray& message, const QByteArray& name);

// M-SEARCH for any Internet gateway device (UDA 1.0 section 1.2.2): ST
// urn:schemas-upnp-org:device:InternetGatewayDevice:1 matches version 1 and 2
// devices (a version-2 device answers searches for version 1).
QByteArray BuildIgdSearch();

// What came back to an HTTP request, as far as the readers need it.
struct HttpAnswer {
    bool complete = false;  // a final answer with its whole body
    int status = 0;         // its status code, 0 without one
    QByteArray body;
};

struct IgdService {
    QString serviceType;           // WANIPConnection:N / WANPPPConnection:N
    QUrl controlUrl;               // absolute
};

struct IgdDescription {
    bool valid = false;
    int deviceVersion = 0;         // InternetGatewayDevice:N
    QString serviceType;           // the WAN connection service chosen
    int serviceVersion = 0;        // WANIPConnection:N / WANPPPConnection:N
    QUrl controlUrl;               // absolute
    QString friendlyName;
    // Every WAN connection service with a usable control URL: WANIPConnection
    // by falling version first, then WANPPPConnection in document order. The
    // one chosen above is the first; the connected one is to be asked.
    QVector<IgdService> services;
};

// The root device's type and version, and the WANIPConnection service of
// highest version (else WANPPPConnection) with its control URL resolved
// against URLBase or, without it, the description's own location.
IgdDescription ReadIgdDescription(const QByteArray& xml, const QUrl& location);

// A SOAP action as UPnP sends it (UDA 1.1 section 3.2.1): POSTed to the
// control URL with Content-Type text/xml; charset="utf-8" and the header
// SOAPAction: "serviceType#action".
struct SoapCall {
    QByteArray contentType;
    QByteArray soapAction;   // the header's value, quotes included
    QByteArray body;         // the envelope
};

// GetExternalIPAddress of the WAN connection service.
SoapCall GetExternalIpCall(const QString& serviceType);

// GetStatusInformation (WANIPConnection:1 section 2.4.11, the same action in
// WANPPPConnection:1).
SoapCall GetStatusCall(const QString& serviceType);
// NewConnectionStatus of a successful answer ("Connected", "Disconnected" ...); "" otherwise.
QString ReadConnectionStatus(const HttpAnswer& answer);

// NewExternalIPAddress of a successful answer (HTTP 200, no SOAP fault); "" otherwise.
QString ReadExternalIpAnswer(const HttpAnswer& answer);

}  // namespace probes
