// SPDX-License-Identifier: Apache-2.0
// DnsLookup against a DNS responder on loopback.
#include <QElapsedTimer>
#include <QTemporaryFile>
#include <QUdpSocket>
#include <QtTest>

#include "platform/dns_query.h"
#include "support/fake_dns_server.h"

using platform::DnsEntry;
using platform::DnsLookup;
using testsupport::FakeDnsAnswer;
using testsupport::FakeDnsRecord;
using testsupport::FakeDnsServer;

Q_DECLARE_METATYPE(FakeDnsRecord)
Q_DECLARE_METATYPE(DnsEntry)

namespace {

const QString kZone = QStringLiteral("zone.test");

FakeDnsRecord ZoneSoa() {
    return FakeDnsRecord::Soa(kZone, QStringLiteral("ns1.zone.test"),
                              QStringLiteral("hostmaster.zone.test"), 2024010101, 7200, 900,
                              1209600, 3600);
}

DnsEntry Entry(const QString& name, int16_t type) {
    DnsEntry e;
    e.RrName = name;
    e.RrType = type;
    return e;
}

QString Describe(const DnsEntry& e) {
    return QStringLiteral("%1 type %2 ip '%3' soa '%4' '%5' %6 %7 %8 %9 %10 txt '%11' mx '%12' "
                          "ns '%13' ptr '%14' srv '%15' %16")
        .arg(e.RrName)
        .arg(e.RrType)
        .arg(e.IpAddress, e.SoaServer, e.SoaAdmin)
        .arg(e.SoaSerial)
        .arg(e.SoaRefresh)
        .arg(e.SoaRetry)
        .arg(e.SoaExpire)
        .arg(e.SoaDefaultTtl)
        .arg(e.TxtText, e.MxHost, e.NsHost, e.PtrHost, e.SrvTarget)
        .arg(e.SrvPort);
}

// Every field, so that a value in a field that does not belong to the type shows.
void CompareEntry(const DnsEntry& actual, const DnsEntry& expected) {
    QCOMPARE(Describe(actual), Describe(expected));
}

}  // namespace

class TestDns : public QObject {
    Q_OBJECT

private:
    FakeDnsServer* server_ = nullptr;

private slots:
    void init() {
        server_ = new FakeDnsServer;
        QVERIFY2(server_->isListening(), "the loopback DNS responder could not bind");
        platform::SetDnsServerOverride(server_->address(), server_->port());
    }

    void cleanup() {
        platform::SetDnsServerOverride(QString(), 53);
        platform::SetDnsConfigurationFile(QString(), 0);
        qunsetenv("RES_OPTIONS");
        qunsetenv("LOCALDOMAIN");
        delete server_;
        server_ = nullptr;
    }

    void configurationTakesEffect_data() {
        QTest::addColumn<QString>("configuration");  // the resolver configuration file
        QTest::addColumn<QByteArray>("variable");    // NAME=value in the environment
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("owner");
        QTest::addColumn<int>("firstQueries");
        QTest::addColumn<int>("secondQueries");
        QTest::addColumn<int>("leastMs");
        // The servers: 127.0.0.1 and 127.0.0.2 on one port; status 1460: both
        // silent (one lookup), else they know www.x and www.x.b.test (four lookups).
        const QString one = QStringLiteral("nameserver 127.0.0.1\n"), two = one + "nameserver 127.0.0.2\n";
        const QByteArray none;
        QTest::newRow("timeout:1 attempts:1")
            << one + "options timeout:1 attempts:1\n" << none << "www.x" << 1460 << QString() << 1 << 0 << 1000;
        QTest::newRow("attempts:2, the second round as long as the first")
            << one + "options timeout:1\noptions attempts:2\n" << none << "www.x" << 1460 << QString() << 2 << 0 << 2000;
        QTest::newRow("RES_OPTIONS over the file")
            << one + "options timeout:3 attempts:2\n" << QByteArray("RES_OPTIONS=attempts:1 timeout:1") << "www.x"
            << 1460 << QString() << 1 << 0 << 1000;
        QTest::newRow("rotate: each query starts at the next server")
            << two + "options rotate\n" << none << "www.x" << 0 << "www.x" << 2 << 2 << 0;
        QTest::newRow("no rotate: always the first server") << two << none << "www.x" << 0 << "www.x" << 4 << 0 << 0;
        QTest::newRow("ndots:2: the search list first")
            << one + "search a.test b.test\noptions ndots:2\n" << none << "www.x" << 0 << "www.x.b.test" << 8 << 0 << 0;
        QTest::newRow("ndots:1: the name as given first")
            << one + "search a.test b.test\n" << none << "www.x" << 0 << "www.x" << 4 << 0 << 0;
        QTest::newRow("a final dot: no search")
            << one + "search b.test\noptions ndots:5\n" << none << "www.x." << 0 << "www.x" << 4 << 0 << 0;
        QTest::newRow("LOCALDOMAIN over the file's search list")
            << one + "search a.test\noptions ndots:2\n" << QByteArray("LOCALDOMAIN=b.test") << "www.x" << 0
            << "www.x.b.test" << 4 << 0 << 0;
        QTest::newRow("no name of the search list exists")
            << one + "search a.test\n" << none << "nowhere.x" << 9003 << QString() << 8 << 0 << 0;
    }

    void configurationTakesEffect() {
        QFETCH(QString, configuration);
        QFETCH(QByteArray, variable);
        QFETCH(QString, name);
        QFETCH(int, status);
        QFETCH(QString, owner);
        QFETCH(int, firstQueries);
        QFETCH(int, secondQueries);
        QFETCH(int, leastMs);
        FakeDnsServer second(QHostAddress(QStringLiteral("127.0.0.2")), server_->port());
        QVERIFY(second.isListening());
        QTemporaryFile file;
        QVERIFY(file.open() && file.write(configuration.toLatin1()) > 0 && file.flush());
        platform::SetDnsServerOverride(QString(), 53);
        platform::SetDnsConfigurationFile(file.fileName(), server_->port());
        const qsizetype equals = variable.indexOf('=');
        if (equals > 0) qputenv(variable.left(equals), variable.mid(equals + 1));
        for (FakeDnsServer* s : {server_, &second}) {
            s->setSilent(status == platform::kDnsTimeout);
            for (const QString& n : {QStringLiteral("www.x"), QStringLiteral("www.x.b.test")})
                s->setAnswer(n, 1, {0, {FakeDnsRecord::A(n, QStringLiteral("192.0.2.9"))}, {}, {}});
        }

        QElapsedTimer timer;
        timer.start();
        for (int i = status == platform::kDnsTimeout ? 3 : 0; i < 4; ++i) {
            QVector<DnsEntry> entries;
            int32_t count = 0;
            QCOMPARE(DnsLookup(name, entries, count, 1, 0), status);
            QCOMPARE(count, status == 0 ? 1 : 0);
            if (status == 0) QCOMPARE(entries[0].RrName, owner);
        }
        // The whole wait, but no more: a round as long as the time-out.
        QVERIFY2(timer.elapsed() >= leastMs - 50 && timer.elapsed() < leastMs + 1000,
                 qPrintable(QString::number(timer.elapsed())));
        QCOMPARE(server_->queryCount(), firstQueries);
        QCOMPARE(second.queryCount(), secondQueries);
    }

    void srvAnswerWithAddressRecordsGivesSrvThenA() {
        const QString name = QStringLiteral("_sip._udp.") + kZone;
        FakeDnsAnswer a;
        a.answer = {FakeDnsRecord::Srv(name, 10, 60, 5060, QStringLiteral("sip1.zone.test")),
                    FakeDnsRecord::Srv(name, 20, 40, 5070, QStringLiteral("sip2.zone.test"))};
        a.additional = {FakeDnsRecord::A(QStringLiteral("sip1.zone.test"), QStringLiteral("192.0.2.11")),
                        FakeDnsRecord::A(QStringLiteral("sip2.zone.test"), QStringLiteral("192.0.2.200"))};
        server_->setAnswer(name, 33, a);

        QVector<DnsEntry> entries;
        int32_t count = 0;
        QCOMPARE(DnsLookup(name, entries, count, 33, 0), 0);
        QCOMPARE(count, 4);
        QCOMPARE(entries.size(), 4);

        DnsEntry srv1 = Entry(name, 33);
        srv1.SrvTarget = QStringLiteral("sip1.zone.test");
        srv1.SrvPort = 5060;
        DnsEntry srv2 = Entry(name, 33);
        srv2.SrvTarget = QStringLiteral("sip2.zone.test");
        srv2.SrvPort = 5070;
        DnsEntry a1 = Entry(QStringLiteral("sip1.zone.test"), 1);
        a1.IpAddress = QStringLiteral("192.0.2.11");
        DnsEntry a2 = Entry(QStringLiteral("sip2.zone.test"), 1);
        a2.IpAddress = QStringLiteral("192.0.2.200");
        CompareEntry(entries[0], srv1);
        CompareEntry(entries[1], srv2);
        CompareEntry(entries[2], a1);
        CompareEntry(entries[3], a2);
    }

    void everySectionIsListedInOrder() {
        // Answer, authority and additional records all become entries, in that
        // order; the EDNS options pseudo-record is no record of the answer.
        const QString name = QStringLiteral("www.") + kZone;
        FakeDnsAnswer a;
        a.answer = {FakeDnsRecord::A(name, QStringLiteral("198.51.100.7"))};
        a.authority = {FakeDnsRecord::Ns(kZone, QStringLiteral("ns1.zone.test"))};
        a.additional = {FakeDnsRecord::Raw(QString(), 41, QByteArray()),
                        FakeDnsRecord::A(QStringLiteral("ns1.zone.test"), QStringLiteral("198.51.100.1"))};
        server_->setAnswer(name, 1, a);

        QVector<DnsEntry> entries;
        int32_t count = 0;
        QCOMPARE(DnsLookup(name, entries, count, 1, 0), 0);
        QCOMPARE(count, 3);
        QCOMPARE(entries[0].RrType, int16_t(1));
        QCOMPARE(entries[0].IpAddress, QStringLiteral("198.51.100.7"));
        QCOMPARE(entries[1].RrType, int16_t(2));
        QCOMPARE(entries[1].NsHost, QStringLiteral("ns1.zone.test"));
        QCOMPARE(entries[2].RrType, int16_t(1));
        QCOMPARE(entries[2].RrName, QStringLiteral("ns1.zone.test"));
    }

    void recordFields_data() {
        QTest::addColumn<FakeDnsRecord>("record");
        QTest::addColumn<DnsEntry>("expected");

        const QString owner = QStringLiteral("host.") + kZone;
        {
            DnsEntry e = Entry(kZone, 6);
            e.SoaServer = QStringLiteral("ns1.zone.test");
            e.SoaAdmin = QStringLiteral("hostmaster.zone.test");
            e.SoaSerial = 2024010101;
            e.SoaRefresh = 7200;
            e.SoaRetry = 900;
            e.SoaExpire = 1209600;
            e.SoaDefaultTtl = 3600;
            QTest::newRow("SOA: seven fields") << ZoneSoa() << e;
        }
        {
            DnsEntry e = Entry(kZone, 6);
            e.SoaServer = QStringLiteral("a.zone.test");
            e.SoaAdmin = QStringLiteral("b.zone.test");
            e.SoaSerial = -1;  // 4294967295 kept bit for bit in the signed field
            e.SoaRefresh = 1;
            e.SoaRetry = 2;
            e.SoaExpire = 3;
            e.SoaDefaultTtl = 4;
            QTest::newRow("SOA: serial above 2^31")
                << FakeDnsRecord::Soa(kZone, QStringLiteral("a.zone.test"),
                                      QStringLiteral("b.zone.test"), 4294967295u, 1, 2, 3, 4)
                << e;
        }
        {
            DnsEntry e = Entry(kZone, 15);
            e.MxHost = QStringLiteral("mail.zone.test");
            QTest::newRow("MX: exchange, no preference")
                << FakeDnsRecord::Mx(kZone, 10, QStringLiteral("mail.zone.test")) << e;
        }
        {
            DnsEntry e = Entry(owner, 16);
            e.TxtText = QStringLiteral("v=spf1 -all");
            QTest::newRow("TXT: first string only")
                << FakeDnsRecord::Txt(owner, {QByteArray("v=spf1 -all"), QByteArray("second")}) << e;
        }
        {
            DnsEntry e = Entry(owner, 16);
            QTest::newRow("TXT: empty string") << FakeDnsRecord::Txt(owner, {QByteArray()}) << e;
        }
        {
            DnsEntry e = Entry(kZone, 2);
            e.NsHost = QStringLiteral("ns2.elsewhere.test");
            QTest::newRow("NS") << FakeDnsRecord::Ns(kZone, QStringLiteral("ns2.elsewhere.test")) << e;
        }
        {
            const QString reverse = QStringLiteral("7.100.51.198.in-addr.arpa");
            DnsEntry e = Entry(reverse, 12);
            e.PtrHost = owner;
            QTest::newRow("PTR") << FakeDnsRecord::Ptr(reverse, owner) << e;
        }
        {
            DnsEntry e = Entry(owner, 33);
            e.SrvTarget = QStringLiteral("target.other.test");
            e.SrvPort = 65535;
            QTest::newRow("SRV: port kept whole")
                << FakeDnsRecord::Srv(owner, 0, 0, 65535, QStringLiteral("target.other.test")) << e;
        }
        {
            DnsEntry e = Entry(owner, 1);
            e.IpAddress = QStringLiteral("255.0.128.1");
            QTest::newRow("A") << FakeDnsRecord::A(owner, QStringLiteral("255.0.128.1")) << e;
        }
        {
            DnsEntry e = Entry(owner, 5);
            e.IpAddress = QStringLiteral("real.zone.test");
            QTest::newRow("CNAME: the name it carries")
                << FakeDnsRecord::Cname(owner, QStringLiteral("real.zone.test")) << e;
        }
        {
            DnsEntry e = Entry(owner, 28);
            e.IpAddress = QStringLiteral("2001:db8::5");
            QTest::newRow("AAAA: IPv6 text")
                << FakeDnsRecord::Aaaa(owner, QStringLiteral("2001:db8::5")) << e;
        }
        {
            DnsEntry e = Entry(owner, 257);
            QTest::newRow("CAA: no name, only owner and type")
                << FakeDnsRecord::Raw(owner, 257, QByteArray("\x00\x05issueca.test", 14)) << e;
        }
    }

    void recordFields() {
        QFETCH(FakeDnsRecord, record);
        QFETCH(DnsEntry, expected);
        FakeDnsAnswer a;
        a.answer = {record};
        server_->setAnswer(QStringLiteral("q.") + kZone, 255, a);

        QVector<DnsEntry> entries;
        int32_t count = 0;
        QCOMPARE(DnsLookup(QStringLiteral("q.") + kZone, entries, count, 255, 0), 0);
        QCOMPARE(count, 1);
        QCOMPARE(entries.size(), 1);
        CompareEntry(entries[0], expected);
    }

    void failuresLeaveArrayUnchanged_data() {
        QTest::addColumn<int>("setup");
        QTest::addColumn<int>("status");
        // setup: 0 unknown name, 1 name without records of the type (SOA in
        // authority), 2 answer without any record, 3..5 server error codes,
        // 6 an A record of three bytes, 7 only a referral, 8 only a CNAME,
        // 9 an A record answering, the SRV record only among the additional ones
        QTest::newRow("name does not exist") << 0 << 9003;
        QTest::newRow("name exists, no SRV records") << 1 << 9501;
        QTest::newRow("success without any record") << 2 << -1;
        QTest::newRow("server failure") << 3 << 9002;
        QTest::newRow("refused") << 4 << 9005;
        QTest::newRow("explicit NXDOMAIN") << 5 << 9003;
        QTest::newRow("malformed record") << 6 << 9502;
        QTest::newRow("referral only") << 7 << 9501;
        QTest::newRow("a lone CNAME") << 8 << 9501;
        QTest::newRow("an A record for an SRV query") << 9 << 9501;
    }

    void failuresLeaveArrayUnchanged() {
        QFETCH(int, setup);
        QFETCH(int, status);
        const QString name = QStringLiteral("_sip._udp.") + kZone;
        FakeDnsAnswer a;
        switch (setup) {
        case 0: break;  // nothing configured: the responder says the name does not exist
        case 1:
            server_->setAnswer(kZone, 1, {0, {FakeDnsRecord::A(kZone, QStringLiteral("192.0.2.1"))}, {}, {}});
            server_->setNoData(name, 33, ZoneSoa());
            break;
        case 2: server_->setEmpty(name, 33); break;
        case 3: a.rcode = 2; server_->setAnswer(name, 33, a); break;
        case 4: a.rcode = 5; server_->setAnswer(name, 33, a); break;
        case 5: server_->setNxDomain(name, 33); break;
        case 6:
            a.answer = {FakeDnsRecord::Srv(name, 1, 1, 5060, QStringLiteral("ok.zone.test")),
                        FakeDnsRecord::Raw(name, 1, QByteArray("\x01\x02\x03", 3))};
            server_->setAnswer(name, 33, a);
            break;
        case 7:
            a.authority = {FakeDnsRecord::Ns(kZone, QStringLiteral("ns1.zone.test"))};
            a.additional = {FakeDnsRecord::A(QStringLiteral("ns1.zone.test"), QStringLiteral("192.0.2.53"))};
            server_->setAnswer(name, 33, a);
            break;
        case 8:
            a.answer = {FakeDnsRecord::Cname(name, QStringLiteral("alias.zone.test"))};
            server_->setAnswer(name, 33, a);
            break;
        case 9:
            a.answer = {FakeDnsRecord::A(name, QStringLiteral("192.0.2.7"))};
            a.additional = {FakeDnsRecord::Srv(name, 1, 1, 5060, QStringLiteral("ok.zone.test"))};
            server_->setAnswer(name, 33, a);
            break;
        }

        QVector<DnsEntry> entries{Entry(QStringLiteral("kept.test"), 1)};
        entries[0].IpAddress = QStringLiteral("192.0.2.99");
        int32_t count = 1;
        QCOMPARE(DnsLookup(name, entries, count, 33, 0), status);
        QCOMPARE(count, 1);
        QCOMPARE(entries.size(), 1);
        QCOMPARE(entries[0].RrName, QStringLiteral("kept.test"));
        QCOMPARE(entries[0].IpAddress, QStringLiteral("192.0.2.99"));
        QVERIFY(server_->queryCount() >= 1);
    }

    void queryAsksForTheTypeGiven() {
        // Records of another type under the same name are not an answer to SRV.
        const QString name = QStringLiteral("typed.") + kZone;
        server_->setAnswer(name, 1, {0, {FakeDnsRecord::A(name, QStringLiteral("192.0.2.5"))}, {}, {}});
        QVector<DnsEntry> entries;
        int32_t count = 0;
        QCOMPARE(DnsLookup(name, entries, count, 33, 0), 9003);
        QCOMPARE(DnsLookup(name, entries, count, 1, 0), 0);
        QCOMPARE(count, 1);
        QCOMPARE(entries[0].IpAddress, QStringLiteral("192.0.2.5"));
    }

    void secondLookupAppendsAfterFirst() {
        const QString first = QStringLiteral("_sip._udp.") + kZone;
        const QString second = QStringLiteral("_sip._tcp.") + kZone;
        server_->setAnswer(first, 33,
                           {0, {FakeDnsRecord::Srv(first, 1, 1, 5060, QStringLiteral("u.zone.test"))}, {}, {}});
        server_->setAnswer(second, 33,
                           {0,
                            {FakeDnsRecord::Srv(second, 1, 1, 5061, QStringLiteral("t1.zone.test")),
                             FakeDnsRecord::Srv(second, 2, 1, 5062, QStringLiteral("t2.zone.test"))},
                            {},
                            {}});
        QVector<DnsEntry> entries;
        int32_t count = 0;
        QCOMPARE(DnsLookup(first, entries, count, 33, 0), 0);
        QCOMPARE(count, 1);
        QCOMPARE(DnsLookup(second, entries, count, 33, 0), 0);
        QCOMPARE(count, 3);
        QCOMPARE(entries.size(), 3);
        QCOMPARE(entries[0].SrvTarget, QStringLiteral("u.zone.test"));
        QCOMPARE(entries[0].RrName, first);
        QCOMPARE(entries[1].SrvTarget, QStringLiteral("t1.zone.test"));
        QCOMPARE(entries[1].SrvPort, 5061);
        QCOMPARE(entries[2].SrvTarget, QStringLiteral("t2.zone.test"));
        QCOMPARE(entries[2].RrName, second);
    }

    void truncatedAnswer_data() {
        QTest::addColumn<bool>("truncate");
        QTest::addColumn<int>("options");
        QTest::addColumn<int>("status");
        QTest::addColumn<int>("udpQueries");
        QTest::addColumn<int>("tcpQueries");
        QTest::newRow("truncated over UDP: asked again over TCP") << true << 0 << 0 << 1 << 1;
        QTest::newRow("truncation accepted: the empty answer stands")
            << true << int(platform::kDnsOptionAcceptTruncated) << -1 << 1 << 0;
        QTest::newRow("TCP only") << false << int(platform::kDnsOptionTcpOnly) << 0 << 0 << 1;
    }

    void truncatedAnswer() {
        QFETCH(bool, truncate);
        QFETCH(int, options);
        QFETCH(int, status);
        QFETCH(int, udpQueries);
        QFETCH(int, tcpQueries);
        const QString name = QStringLiteral("_sip._udp.") + kZone;
        FakeDnsAnswer a;
        a.answer = {FakeDnsRecord::Srv(name, 10, 60, 5060, QStringLiteral("sip1.zone.test"))};
        a.additional = {FakeDnsRecord::A(QStringLiteral("sip1.zone.test"), QStringLiteral("192.0.2.11"))};
        server_->setAnswer(name, 33, a);
        server_->setTruncateUdp(truncate);

        QVector<DnsEntry> entries;
        int32_t count = 0;
        QCOMPARE(DnsLookup(name, entries, count, 33, options), status);
        QCOMPARE(server_->queryCount(), udpQueries);
        QCOMPARE(server_->tcpQueryCount(), tcpQueries);
        if (status == 0) {
            QCOMPARE(count, 2);
            QCOMPARE(entries[0].SrvTarget, QStringLiteral("sip1.zone.test"));
            QCOMPARE(entries[1].IpAddress, QStringLiteral("192.0.2.11"));
        }
    }

    void forgedAnswerIsNotTaken_data() {
        QTest::addColumn<int>("forgery");
        QTest::newRow("another ID") << int(FakeDnsServer::Forgery::OtherId);
        QTest::newRow("another question") << int(FakeDnsServer::Forgery::OtherQuestion);
        QTest::newRow("from another port") << int(FakeDnsServer::Forgery::OtherPort);
    }

    void forgedAnswerIsNotTaken() {
        QFETCH(int, forgery);
        const QString name = QStringLiteral("www.") + kZone;
        server_->setAnswer(name, 1, {0, {FakeDnsRecord::A(name, QStringLiteral("192.0.2.80"))}, {}, {}});
        server_->setForgery(FakeDnsServer::Forgery(forgery),
                            {0, {FakeDnsRecord::A(name, QStringLiteral("203.0.113.66"))}, {}, {}});
        QVector<DnsEntry> entries;
        int32_t count = 0;
        QCOMPARE(DnsLookup(name, entries, count, 1, 0), 0);
        QCOMPARE(count, 1);
        QCOMPARE(entries[0].IpAddress, QStringLiteral("192.0.2.80"));
    }

    void noAnswerWithinTimeout_data() {
        QTest::addColumn<bool>("listening");
        QTest::newRow("server reads and never answers") << true;
        QTest::newRow("nothing listens on the port") << false;
    }

    void noAnswerWithinTimeout() {
        QFETCH(bool, listening);
        const QString name = QStringLiteral("_sip._udp.") + kZone;
        server_->setAnswer(name, 33, {0, {FakeDnsRecord::Srv(name, 1, 1, 5060, QStringLiteral("x.test"))}, {}, {}});
        server_->setSilent(true);
        if (!listening) {
            // A port that was just free: the query meets a closed port.
            QUdpSocket probe;
            QVERIFY(probe.bind(QHostAddress(QStringLiteral("127.0.0.1")), 0));
            const quint16 port = probe.localPort();
            probe.close();
            platform::SetDnsServerOverride(QStringLiteral("127.0.0.1"), port);
        }
        QVector<DnsEntry> entries;
        int32_t count = 0;
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(DnsLookup(name, entries, count, 33, 0), 1460);
        QVERIFY2(timer.elapsed() < 8000, qPrintable(QString::number(timer.elapsed())));
        QCOMPARE(count, 0);
        QVERIFY(entries.isEmpty());
        if (listening) QVERIFY(server_->queryCount() >= 1);
    }
};

QTEST_GUILESS_MAIN(TestDns)
#include "test_dns.moc"
