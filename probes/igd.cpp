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

QString HostHeader(const QUrl& url)
{
    return url.host() + QLatin1Char(':') + QString::number(url.port(80));
}

QByteArray RequestTarget(const QUrl& url)
{
    QByteArray path = url.path(QUrl::FullyEncoded).toLatin1();
    if (path.isEmpty())
        path = "/";
    if (url.hasQuery())
        path += '?' + url.query(QUrl::FullyEncoded).toLatin1();
    return path;
}

// Decodes a chunked body (RFC 9112 section 7.1); false while incomplete.
bool Dechunk(const QByteArray& raw, int from, QByteArray& body)
{
    body.clear();
    int at = from;
    for (;;) {
        const int eol = raw.indexOf("\r\n", at);
        if (eol < 0)
            return false;
        bool ok = false;
        const QByteArray sizeText = raw.mid(at, eol - at).split(';').first().trimmed();
        const qlonglong size = sizeText.toLongLong(&ok, 16);
        if (!ok || size < 0)
            return false;
        at = eol + 2;
        if (size == 0)
            return true;  // trailers are not needed
        if (raw.size() < at + size + 2)
            return false;
        body += raw.mid(at, int(size));
        at += int(size) + 2;
    }
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

QByteArray BuildHttpGet(const QUrl& url)
{
    return "GET " + RequestTarget(url) + " HTTP/1.1\r\nHost: " + HostHeader(url).toLatin1()
        + "\r\nConnection: close\r\n\r\n";
}

HttpAnswer ReadHttpAnswer(const QByteArray& raw, bool closed)
{
    HttpAnswer a;
    const int end = raw.indexOf("\r\n\r\n");
    if (end < 0 || !raw.startsWith("HTTP/1."))
        return a;
    const QList<QByteArray> status = raw.left(raw.indexOf("\r\n")).split(' ');
    bool ok = false;
    a.status = status.size() >= 2 ? status[1].toInt(&ok) : 0;
    // A status code is three digits (RFC 9110 section 15).
    if (!ok || a.status < 100 || a.status > 999)
        a.status = 0;
    const QByteArray head = raw.left(end + 4);
    const int bodyAt = end + 4;
    if (HeaderValue(head, "Transfer-Encoding").contains(QLatin1String("chunked"), Qt::CaseInsensitive)) {
        a.complete = Dechunk(raw, bodyAt, a.body);
        return a;
    }
    const QString length = HeaderValue(head, "Content-Length");
    if (!length.isEmpty()) {
        const int n = length.toInt(&ok);
        if (ok && n >= 0 && raw.size() - bodyAt >= n) {
            a.body = raw.mid(bodyAt, n);
            a.complete = true;
        }
        return a;
    }
    a.body = raw.mid(bodyAt);
    a.complete = closed;
    return a;
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

QByteArray SoapRequest(const QUrl& controlUrl, const QString& serviceType, const QByteArray& action)
{
    const QByteArray service = serviceType.toLatin1();
    const QByteArray body =
        "<?xml version=\"1.0\"?>\r\n"
        "<s:Envelope xmlns:s=\"http://schemas.xmlsoap.org/soap/envelope/\" "
        "s:encodingStyle=\"http://schemas.xmlsoap.org/soap/encoding/\">"
        "<s:Body><u:" + action + " xmlns:u=\"" + service + "\"></u:" + action + ">"
        "</s:Body></s:Envelope>\r\n";
    return "POST " + RequestTarget(controlUrl) + " HTTP/1.1\r\nHost: " + HostHeader(controlUrl).toLatin1()
        + "\r\nContent-Type: text/xml; charset=\"utf-8\"\r\nContent-Length: "
        + QByteArray::number(body.size()) + "\r\nSOAPAction: \"" + service + "#" + action
        + "\"\r\nConnection: close\r\n\r\n" + body;
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

QByteArray BuildGetStatusRequest(const QUrl& controlUrl, const QString& serviceType)
{
    return SoapRequest(controlUrl, serviceType, "GetStatusInformation");
}

QString ReadConnectionStatus(const HttpAnswer& answer)
{
    return SoapValue(answer, QLatin1String("NewConnectionStatus"));
}

QByteArray BuildGetExternalIpRequest(const QUrl& controlUrl, const QString& serviceType)
{
    return SoapRequest(controlUrl, serviceType, "GetExternalIPAddress");
}

QString ReadExternalIpAnswer(const HttpAnswer& answer)
{
    return SoapValue(answer, QLatin1String("NewExternalIPAddress"));
}

}  // namespace probes
