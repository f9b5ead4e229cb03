// SPDX-License-Identifier: Apache-2.0
#include "probes/igd.h"

#include <QList>
#include <algorithm>
#include <QXmlStreamReader>

namespace probes {

namespace {

constexpr int kNoVersion = 0;

int TypeVersion(const QString& type)
{
    bool ok = false;
    const int v = type.section(QLatin1Char(':'), -1).toInt(&ok);
    // A version is a positive number (UDA 2.0 section 1.1.4: "v" is a version number).
    return ok && v > 0 ? v : kNoVersion;
}

}  // namespace

QString HeaderValue(const QByteArray& message, const QByteArray& name)
{
    const int end = message.indexOf("\r\n\r\n");
    const QList<QByteArray> lines = (end < 0 ? message : message.left(end)).split('\n');
    for (int i = 1; i < lines.size(); ++i) {
        const QByteArray& line = lines[i];
        const int colon = line.indexOf(':');
        if (colon > 0 && line.left(colon).trimmed().compare(name, Qt::CaseInsensitive) == 0)
            return QString::fromLatin1(line.mid(colon + 1).trimmed());
    }
    return {};
}

QByteArray BuildIgdSearch()
{
    return "M-SEARCH * HTTP/1.1\r\n"
           "HOST: 239.255.255.250:1900\r\n"
           "MAN: \"ssdp:discover\"\r\n"
           "MX: 2\r\n"
           "ST: urn:schemas-upnp-org:device:InternetGatewayDevice:1\r\n\r\n";
}

IgdDescription ReadIgdDescription(const QByteArray& xml, const QUrl& location)
{
    IgdDescription d;
    QXmlStreamReader r(xml);
    QUrl base = location;
    QString rootType;
    QString serviceType, controlUrl;
    QVector<IgdService> ip, ppp;
    bool inService = false;
    while (!r.atEnd()) {
        r.readNext();
        if (r.isStartElement()) {
            const QStringView name = r.name();
            if (name == QLatin1String("service")) {
                inService = true;
                serviceType.clear();
                controlUrl.clear();
            } else if (name == QLatin1String("URLBase")) {
                base = QUrl(r.readElementText().trimmed());
            } else if (name == QLatin1String("deviceType") && rootType.isEmpty()) {
                rootType = r.readElementText().trimmed();
            } else if (name == QLatin1String("friendlyName") && d.friendlyName.isEmpty()) {
                d.friendlyName = r.readElementText().trimmed();
            } else if (inService && name == QLatin1String("serviceType")) {
                serviceType = r.readElementText().trimmed();
            } else if (inService && name == QLatin1String("controlURL")) {
                controlUrl = r.readElementText().trimmed();
            }
        } else if (r.isEndElement() && r.name() == QLatin1String("service")) {
            inService = false;
            const IgdService service{serviceType, QUrl(controlUrl)};  // resolved once URLBase is known
            if (controlUrl.isEmpty())
                continue;
            if (serviceType.startsWith(QLatin1String("urn:schemas-upnp-org:service:WANIPConnection:")))
                ip << service;
            else if (serviceType.startsWith(QLatin1String("urn:schemas-upnp-org:service:WANPPPConnection:")))
                ppp << service;
        }
    }
    if (r.hasError() || !rootType.startsWith(QLatin1String("urn:schemas-upnp-org:device:InternetGatewayDevice:")))
        return d;
    d.deviceVersion = TypeVersion(rootType);
    std::stable_sort(ip.begin(), ip.end(), [](const IgdService& a, const IgdService& b) {
        return TypeVersion(a.serviceType) > TypeVersion(b.serviceType);
    });
    for (IgdService s : ip + ppp) {
        s.controlUrl = base.resolved(s.controlUrl);
        if (s.controlUrl.scheme() == QLatin1String("http") && !s.controlUrl.host().isEmpty())
            d.services << s;
    }
    if (d.services.isEmpty())
        return d;
    d.serviceType = d.services.first().serviceType;
    d.serviceVersion = TypeVersion(d.serviceType);
    d.controlUrl = d.services.first().controlUrl;
    d.valid = true;
    return d;
}

namespace {

SoapCall SoapEnvelope(const QString& serviceType, const QByteArray& action)
{
    const QByteArray service = serviceType.toLatin1();
    SoapCall call;
    call.contentType = "text/xml; charset=\"utf-8\"";
    call.soapAction = "\"" + service + "#" + action + "\"";
    call.body =
        "<?xml version=\"1.0\"?>\r\n"
        "<s:Envelope xmlns:s=\"http://schemas.xmlsoap.org/soap/envelope/\" "
        "s:encodingStyle=\"http://schemas.xmlsoap.org/soap/encoding/\">"
        "<s:Body><u:" + action + " xmlns:u=\"" + service + "\"></u:" + action + ">"
        "</s:Body></s:Envelope>\r\n";
    return call;
}

// The text of the first element named name in a successful SOAP answer.
QString SoapValue(const HttpAnswer& answer, QLatin1String name)
{
    if (!answer.complete || answer.status != 200)
        return {};
    QXmlStreamReader r(answer.body);
    while (!r.atEnd()) {
        r.readNext();
        if (r.isStartElement()) {
            if (r.name() == QLatin1String("Fault"))
                return {};
            if (r.name() == name)
                return r.readElementText().trimmed();
        }
    }
    return {};
}

}  // namespace

SoapCall GetStatusCall(const QString& serviceType)
{
    return SoapEnvelope(serviceType, "GetStatusInformation");
}

QString ReadConnectionStatus(const HttpAnswer& answer)
{
    return SoapValue(answer, QLatin1String("NewConnectionStatus"));
}

SoapCall GetExternalIpCall(const QString& serviceType)
{
    return SoapEnvelope(serviceType, "GetExternalIPAddress");
}

QString ReadExternalIpAnswer(const HttpAnswer& answer)
{
    return SoapValue(answer, QLatin1String("NewExternalIPAddress"));
}

}  // namespace probes
