// SPDX-License-Identifier: Apache-2.0
// The extended test's platform pieces: records with all their fields read
// from DNS answers and TCP/TLS connection checks on loopback.
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include "platform/dns_records.h"
#include "platform/hop_probe.h"
#include "platform/stream_checks.h"
#include "support/fake_dns_server.h"
#include "support/loopback_peer.h"

using namespace platform;
using testsupport::FakeDnsAnswer;
using testsupport::FakeDnsRecord;

namespace {

QByteArray Query(const QString& name, uint16_t type)
{
    QByteArray q = QByteArray::fromHex("123401000001000000000000");
    for (const QString& label : name.split(QLatin1Char('.')))
        q += char(label.size()) + label.toLatin1();
    q += '\0';
    q += char(type >> 8);
    q += char(type & 0xFF);
    q += QByteArray::fromHex("0001");
    return q;
}

QByteArray CharString(const QByteArray& s)
{
    return char(s.size()) + s;
}

QByteArray Naptr(int order, int preference, const QByteArray& flags, const QByteArray& service,
                 const QByteArray& replacement)
{
    QByteArray r;
    r += char(order >> 8);
    r += char(order & 0xFF);
    r += char(preference >> 8);
    r += char(preference & 0xFF);
    r += CharString(flags) + CharString(service) + CharString(QByteArray());
    for (const QByteArray& label : replacement.split('.'))
        r += CharString(label);
    r += '\0';
    return r;
}

}  // namespace

class TestPathPlatform : public QObject {
    Q_OBJECT
private slots:
    void records_data();
    void records();
    void connectChecks();
    void hopReplies();
};

void TestPathPlatform::records_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QByteArray>("rdata");   // empty: use the typed record below
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("expected");

    QTest::newRow("NAPTR") << kDnsTypeNaptr << Naptr(10, 20, "s", "SIP+D2T", "_sip._tcp.d.test") << 0
                           << "10/20 s SIP+D2T -> _sip._tcp.d.test";
    QTest::newRow("NAPTR cut short") << kDnsTypeNaptr << Naptr(10, 20, "s", "SIP+D2T", "x").left(9) << 9502
                                     << QString();
    QTest::newRow("SRV keeps priority and weight") << kDnsTypeSrv << QByteArray() << 0 << "5/60/5061 sip1.d.test";
    QTest::newRow("AAAA") << kDnsTypeAaaa << QByteArray() << 0 << "2001:db8::10";
}

void TestPathPlatform::records()
{
    QFETCH(int, type);
    QFETCH(QByteArray, rdata);
    QFETCH(int, status);
    QFETCH(QString, expected);
    testsupport::FakeDnsServer dns;
    const QString name = QStringLiteral("d.test");
    FakeDnsAnswer answer;
    // A CNAME ahead of the record: only records of the type asked for count.
    answer.answer << FakeDnsRecord::Cname(name, QStringLiteral("alias.d.test"));
    if (!rdata.isEmpty())
        answer.answer << FakeDnsRecord::Raw(name, uint16_t(type), rdata);
    else if (type == kDnsTypeSrv)
        answer.answer << FakeDnsRecord::Srv(name, 5, 60, 5061, QStringLiteral("sip1.d.test"));
    else
        answer.answer << FakeDnsRecord::Aaaa(name, QStringLiteral("2001:db8::10"));
    dns.setAnswer(name, uint16_t(type), answer);
    const QByteArray wire = dns.reply(Query(name, uint16_t(type)));
    const DnsRecordSet set = ReadDnsRecords(reinterpret_cast<const unsigned char*>(wire.constData()),
                                            int(wire.size()), type);
    QCOMPARE(set.status, status);
    QString got;
    for (const NaptrData& n : set.naptr)
        got = QStringLiteral("%1/%2 %3 %4 -> %5").arg(n.order).arg(n.preference).arg(n.flags, n.service, n.replacement);
    for (const SrvData& s : set.srv)
        got = QStringLiteral("%1/%2/%3 %4").arg(s.priority).arg(s.weight).arg(s.port).arg(s.target);
    if (!set.addresses.isEmpty())
        got = set.addresses.join(QLatin1Char(' '));
    QCOMPARE(got, expected);
}

void TestPathPlatform::connectChecks()
{
    QTcpServer plain;
    QVERIFY(plain.listen(QHostAddress(QStringLiteral("127.0.0.1"))));
    // Accepts and closes at once: a TCP answer, but no TLS handshake.
    connect(&plain, &QTcpServer::newConnection, this, [&] {
        while (QTcpSocket* s = plain.nextPendingConnection())
            s->close();
    });
    struct Case {
        int port;
        bool tls;
        bool ok;
    };
    const Case cases[] = {{plain.serverPort(), false, true},
                          {testsupport::FreeTcpPort(), false, false},
                          {plain.serverPort(), true, false}};
    for (const Case& c : cases) {
        ConnectCheck check;
        QSignalSpy done(&check, &ConnectCheck::finished);
        check.start(QStringLiteral("127.0.0.1"), c.port, c.tls, QStringLiteral("sip.d.test"), 3000);
        QVERIFY(done.wait(4000));
        QCOMPARE(check.succeeded(), c.ok);
        QCOMPARE(check.error().isEmpty(), c.ok);
        QVERIFY(!check.chainVerified());
    }
}

void TestPathPlatform::hopReplies()
{
    // Loopback is the destination itself at every TTL: port unreachable, type 3 code 3.
    HopProbe probe;
    QSignalSpy done(&probe, &HopProbe::finished);
    probe.start(QStringLiteral("127.0.0.1"), 2, 2000);
    QVERIFY(done.wait(3000));
    const QVector<HopProbe::Reply> replies = probe.replies();
    QCOMPARE(replies.size(), 2);
    for (const HopProbe::Reply& r : replies) {
        QCOMPARE(r.address, QStringLiteral("127.0.0.1"));
        QCOMPARE(r.type, 3);
        QCOMPARE(r.code, 3);
    }
}

QTEST_GUILESS_MAIN(TestPathPlatform)
#include "test_path_platform.moc"
