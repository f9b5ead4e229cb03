// SPDX-License-Identifier: Apache-2.0
// The SIP identities of a certificate and their comparison with the SIP domain.
#include <QTest>

#include "probes/sip_certificate.h"

using namespace probes;

namespace {

QByteArray Tlv(uint8_t tag, const QByteArray& content)
{
    QByteArray out(1, char(tag));
    if (content.size() < 0x80) {
        out += char(content.size());
    } else {
        out += char(0x82);
        out += char(content.size() >> 8);
        out += char(content.size() & 0xFF);
    }
    return out + content;
}

// A certificate skeleton: version, serial, empty names and key, and the
// subjectAltName entries given as "uri:..", "dns:..", "email:.." (none: no extension).
QByteArray Certificate(const QStringList& san)
{
    QByteArray tbs = Tlv(0xA0, Tlv(0x02, "\x02")) + Tlv(0x02, "\x01");
    for (int i = 0; i < 5; ++i)
        tbs += Tlv(0x30, {});  // signature, issuer, validity, subject, key
    if (!san.isEmpty()) {
        QByteArray names;
        for (const QString& entry : san) {
            const uint8_t tag = entry.startsWith(QLatin1String("uri:")) ? 0x86 : entry.startsWith(QLatin1String("dns:")) ? 0x82 : 0x81;
            names += Tlv(tag, entry.section(QLatin1Char(':'), 1).toLatin1());
        }
        const QByteArray extension = Tlv(0x06, "\x55\x1D\x11") + Tlv(0x04, Tlv(0x30, names));
        tbs += Tlv(0xA3, Tlv(0x30, Tlv(0x30, extension)));
    }
    return Tlv(0x30, Tlv(0x30, tbs) + Tlv(0x30, {}) + Tlv(0x03, "\x00"));
}

}  // namespace

class TestSipCertificate : public QObject {
    Q_OBJECT
private slots:
    void identities_data();
    void identities();
};

void TestSipCertificate::identities_data()
{
    QTest::addColumn<QStringList>("san");
    QTest::addColumn<QString>("commonName");
    QTest::addColumn<int>("cut");  // bytes cut off the end of the DER
    QTest::addColumn<QString>("domain");
    QTest::addColumn<bool>("matches");
    const QString domain = QStringLiteral("example.com");
    QTest::newRow("URI of the domain") << QStringList{"uri:sip:example.com"} << "" << 0 << domain << true;
    QTest::newRow("URI wins over DNS name") << QStringList{"uri:sip:example.com", "dns:sip1.example.com"} << ""
                                            << 0 << "sip1.example.com" << false;
    QTest::newRow("DNS name of the domain") << QStringList{"dns:EXAMPLE.com"} << "" << 0 << "example.com." << true;
    QTest::newRow("SRV host only") << QStringList{"dns:sip1.example.com"} << "example.com" << 0 << domain << false;
    QTest::newRow("URI with a user part") << QStringList{"uri:sip:alice@example.com", "dns:example.com"} << "" << 0
                                          << domain << true;
    QTest::newRow("sips URI is no identity") << QStringList{"uri:sips:example.com"} << "" << 0 << domain << false;
    QTest::newRow("wildcard") << QStringList{"dns:*.example.com"} << "" << 0 << "sip.example.com" << false;
    QTest::newRow("common name without SAN") << QStringList{} << "example.com" << 0 << domain << true;
    QTest::newRow("SAN of another kind hides the CN") << QStringList{"email:a@example.com"} << "example.com" << 0
                                                      << domain << false;
    QTest::newRow("cut DER") << QStringList{"dns:example.com"} << "example.com" << 10 << domain << false;
}

void TestSipCertificate::identities()
{
    QFETCH(QStringList, san);
    QFETCH(QString, commonName);
    QFETCH(int, cut);
    QFETCH(QString, domain);
    QFETCH(bool, matches);
    QByteArray der = Certificate(san);
    der.chop(cut);
    const QStringList cn = commonName.isEmpty() ? QStringList{} : QStringList{commonName};
    const QStringList ids = SipIdentities(ReadCertificateNames(der), cn);
    QCOMPARE(IdentityMatchesDomain(ids, domain), matches);
}

QTEST_APPLESS_MAIN(TestSipCertificate)
#include "test_sip_certificate.moc"
