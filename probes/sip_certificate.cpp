// SPDX-License-Identifier: Apache-2.0
#include "probes/sip_certificate.h"

namespace probes {

namespace {

// One DER element (X.690 section 8.1): tag, and the content's place.
struct Tlv {
    uint8_t tag = 0;
    int content = 0, length = 0, end = 0;
};

bool ReadTlv(const QByteArray& d, int at, int limit, Tlv& t)
{
    if (at + 2 > limit)
        return false;
    t.tag = uint8_t(d[at]);
    if ((t.tag & 0x1F) == 0x1F)
        return false;  // high tag numbers do not occur in the parts read here
    int lengthByte = uint8_t(d[at + 1]);
    int pos = at + 2;
    qint64 length = 0;
    if (lengthByte < 0x80) {
        length = lengthByte;
    } else {
        const int n = lengthByte & 0x7F;
        if (n == 0 || n > 4 || pos + n > limit)
            return false;  // indefinite form is not DER
        for (int i = 0; i < n; ++i)
            length = (length << 8) | uint8_t(d[pos++]);
    }
    if (length > limit - pos)
        return false;
    t.content = pos;
    t.length = int(length);
    t.end = pos + int(length);
    return true;
}

constexpr uint8_t kSequence = 0x30, kOid = 0x06, kOctetString = 0x04, kExtensions = 0xA3;
constexpr uint8_t kDnsName = 0x82, kUri = 0x86;  // GeneralName [2] and [6], implicit IA5String
const QByteArray kSubjectAltName("\x55\x1D\x11", 3);  // 2.5.29.17

void ReadGeneralNames(const QByteArray& d, const Tlv& value, CertificateNames& out)
{
    Tlv names;
    if (!ReadTlv(d, value.content, value.end, names) || names.tag != kSequence)
        return;
    for (int at = names.content; at < names.end;) {
        Tlv n;
        if (!ReadTlv(d, at, names.end, n))
            return;
        const QString text = QString::fromLatin1(d.mid(n.content, n.length));
        if (n.tag == kDnsName)
            out.dnsNames << text;
        else if (n.tag == kUri)
            out.sipUris << text;
        at = n.end;
    }
}

QString HostOfSipUri(const QString& uri)
{
    if (!uri.startsWith(QLatin1String("sip:"), Qt::CaseInsensitive))
        return {};  // RFC 5922 section 7.1: only the "sip" scheme names a domain
    QString rest = uri.mid(4);
    if (rest.contains(QLatin1Char('@')))
        return {};  // a user's identity, not a domain's
    for (const QChar end : {QLatin1Char(';'), QLatin1Char('?'), QLatin1Char(':')})
        rest = rest.section(end, 0, 0);
    return rest;
}

}  // namespace

CertificateNames ReadCertificateNames(const QByteArray& der)
{
    CertificateNames out;
    Tlv cert, tbs;
    if (!ReadTlv(der, 0, der.size(), cert) || cert.tag != kSequence
        || !ReadTlv(der, cert.content, cert.end, tbs) || tbs.tag != kSequence)
        return out;
    for (int at = tbs.content; at < tbs.end;) {
        Tlv field;
        if (!ReadTlv(der, at, tbs.end, field))
            return out;
        at = field.end;
        if (field.tag != kExtensions)
            continue;
        Tlv list;
        if (!ReadTlv(der, field.content, field.end, list) || list.tag != kSequence)
            return out;
        for (int e = list.content; e < list.end;) {
            Tlv ext, oid;
            if (!ReadTlv(der, e, list.end, ext) || ext.tag != kSequence
                || !ReadTlv(der, ext.content, ext.end, oid) || oid.tag != kOid)
                return out;
            e = ext.end;
            if (der.mid(oid.content, oid.length) != kSubjectAltName)
                continue;
            // extnID, critical (optional BOOLEAN), extnValue (OCTET STRING)
            for (int v = oid.end; v < ext.end;) {
                Tlv part;
                if (!ReadTlv(der, v, ext.end, part))
                    return out;
                if (part.tag == kOctetString) {
                    out.hasSubjectAltName = true;
                    ReadGeneralNames(der, part, out);
                }
                v = part.end;
            }
        }
    }
    out.readable = true;
    return out;
}

QStringList SipIdentities(const CertificateNames& names, const QStringList& commonNames)
{
    QStringList out;
    if (!names.readable)
        return out;
    for (const QString& uri : names.sipUris)
        if (const QString host = HostOfSipUri(uri); !host.isEmpty())
            out << host;
    if (out.isEmpty())
        out = names.dnsNames;
    if (out.isEmpty() && !names.hasSubjectAltName)
        out = commonNames;
    return out;
}

bool IdentityMatchesDomain(const QStringList& identities, const QString& domain)
{
    QString want = domain;
    if (want.endsWith(QLatin1Char('.')))
        want.chop(1);
    if (want.isEmpty())
        return false;
    for (const QString& id : identities)
        if (!id.contains(QLatin1Char('*')) && id.compare(want, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

}  // namespace probes
