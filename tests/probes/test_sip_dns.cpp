// SPDX-License-Identifier: Apache-2.0
// The order in which a SIP phone tries the servers of a domain (NAPTR, SRV, A/AAAA).
#include <QTest>

#include "probes/sip_dns.h"

using namespace probes;

namespace {

// A random source that hands out the given numbers in turn (then 0).
std::function<uint32_t(uint32_t)> Draws(QVector<uint32_t> values)
{
    auto queue = std::make_shared<QVector<uint32_t>>(std::move(values));
    return [queue](uint32_t) { return queue->isEmpty() ? 0u : queue->takeFirst(); };
}

QString Targets(const QVector<SipTarget>& targets)
{
    QStringList out;
    for (const SipTarget& t : targets)
        out << TransportName(t.transport) + QLatin1Char(' ') + t.host + QLatin1Char(':') + QString::number(t.port)
                + QLatin1Char(' ') + (t.address.isEmpty() ? QStringLiteral("-") : t.address);
    return out.join(QStringLiteral(", "));
}

}  // namespace

class TestSipDns : public QObject {
    Q_OBJECT
private slots:
    void naptrSelection_data();
    void naptrSelection();
    void srvOrder_data();
    void srvOrder();
    void targets_data();
    void targets();
    void optionsAnswer_data();
    void optionsAnswer();
};

void TestSipDns::naptrSelection_data()
{
    QTest::addColumn<QVector<NaptrRecord>>("naptr");
    QTest::addColumn<QStringList>("names");

    QTest::newRow("no NAPTR: udp, tcp, tls")
        << QVector<NaptrRecord>{} << QStringList{"_sip._udp.d.test", "_sip._tcp.d.test", "_sips._tcp.d.test"};
    QTest::newRow("order, then preference")
        << QVector<NaptrRecord>{{20, 10, "s", "SIP+D2U", "", "_sip._udp.d.test."},
                                {10, 20, "S", "SIPS+D2T", "", "_sips._tcp.d.test."},
                                {10, 10, "s", "sip+d2t", "", "_sip._tcp.d.test"}}
        << QStringList{"_sip._tcp.d.test", "_sips._tcp.d.test", "_sip._udp.d.test"};
    QTest::newRow("unsupported service and non-terminal flag left out")
        << QVector<NaptrRecord>{{10, 10, "s", "SIP+D2S", "", "_sip._sctp.d.test"},
                                {10, 20, "a", "SIP+D2U", "", "host.d.test"},
                                {30, 10, "s", "SIP+D2U", "", "_sip._udp.other.test"}}
        << QStringList{"_sip._udp.other.test"};
    QTest::newRow("nothing usable: as without NAPTR")
        << QVector<NaptrRecord>{{10, 10, "u", "E2U+sip", "!^.*$!sip:x@d.test!", ""}}
        << QStringList{"_sip._udp.d.test", "_sip._tcp.d.test", "_sips._tcp.d.test"};
}

void TestSipDns::naptrSelection()
{
    QFETCH(QVector<NaptrRecord>, naptr);
    QFETCH(QStringList, names);
    QStringList got;
    for (const SrvQuery& q : SrvQueriesFor(QStringLiteral("d.test"), naptr))
        got << q.name;
    QCOMPARE(got, names);
}

void TestSipDns::srvOrder_data()
{
    QTest::addColumn<QVector<SrvRecord>>("records");
    QTest::addColumn<QVector<uint32_t>>("draws");
    QTest::addColumn<QStringList>("order");

    const QVector<SrvRecord> weighted{{10, 60, 5060, "a"}, {10, 40, 5060, "b"}, {5, 0, 5060, "first"}};
    // Running sums a 60, b 100: a draw of 60 takes a, of 61 takes b (a lone
    // weight-0 record needs no draw).
    QTest::newRow("priority first, draw 60") << weighted << QVector<uint32_t>{60, 0}
                                             << QStringList{"first", "a", "b"};
    QTest::newRow("draw 61") << weighted << QVector<uint32_t>{61, 0} << QStringList{"first", "b", "a"};
    // Weight 0 sits first in the running sums: only a draw of 0 picks it.
    QTest::newRow("weight 0 with draw 0") << QVector<SrvRecord>{{1, 10, 1, "w"}, {1, 0, 1, "zero"}}
                                          << QVector<uint32_t>{0, 0} << QStringList{"zero", "w"};
    QTest::newRow("weight 0 with draw 1") << QVector<SrvRecord>{{1, 10, 1, "w"}, {1, 0, 1, "zero"}}
                                          << QVector<uint32_t>{1, 0} << QStringList{"w", "zero"};
    QTest::newRow("all weights 0 keep their order")
        << QVector<SrvRecord>{{1, 0, 1, "x"}, {1, 0, 1, "y"}} << QVector<uint32_t>{} << QStringList{"x", "y"};
}

void TestSipDns::srvOrder()
{
    QFETCH(QVector<SrvRecord>, records);
    QFETCH(QVector<uint32_t>, draws);
    QFETCH(QStringList, order);
    QStringList got;
    for (const SrvRecord& r : OrderSrv(records, Draws(draws)))
        got << r.target;
    QCOMPARE(got, order);
}

void TestSipDns::targets_data()
{
    QTest::addColumn<bool>("naptr");
    QTest::addColumn<bool>("tcpSrv");
    QTest::addColumn<bool>("anySrv");
    QTest::addColumn<QString>("expected");

    QTest::newRow("NAPTR prefers TCP")
        << true << true << true
        << "TCP sip2.d.test:5060 203.0.113.20, UDP sip.d.test:5060 203.0.113.10, UDP sip.d.test:5060 2001:db8::10";
    QTest::newRow("no NAPTR: UDP then TCP")
        << false << true << true
        << "UDP sip.d.test:5060 203.0.113.10, UDP sip.d.test:5060 2001:db8::10, TCP sip2.d.test:5060 203.0.113.20";
    QTest::newRow("no NAPTR, no TCP record") << false << false << true
                                             << "UDP sip.d.test:5060 203.0.113.10, UDP sip.d.test:5060 2001:db8::10";
    QTest::newRow("no SRV: the domain's address") << false << false << false << "UDP d.test:5060 203.0.113.99";
}

void TestSipDns::targets()
{
    QFETCH(bool, naptr);
    QFETCH(bool, tcpSrv);
    QFETCH(bool, anySrv);
    QFETCH(QString, expected);
    SipDnsAnswers d;
    if (naptr)
        d.naptr = {{10, 50, "s", "SIP+D2U", "", "_sip._udp.d.test"}, {10, 10, "s", "SIP+D2T", "", "_sip._tcp.d.test"}};
    if (anySrv)
        d.srv[QStringLiteral("_sip._udp.d.test")] = {{10, 0, 5060, "sip.d.test."}, {20, 0, 5060, "."}};
    if (tcpSrv)
        d.srv[QStringLiteral("_sip._tcp.d.test")] = {{10, 0, 5060, "sip2.d.test"}};
    d.a[QStringLiteral("sip.d.test")] = {"203.0.113.10"};
    d.aaaa[QStringLiteral("sip.d.test")] = {"2001:db8::10"};
    d.a[QStringLiteral("sip2.d.test")] = {"203.0.113.20"};
    d.a[QStringLiteral("d.test")] = {"203.0.113.99"};
    QCOMPARE(Targets(OrderSipTargets(QStringLiteral("d.test"), d, Draws({}))), expected);
}

// The answer to our OPTIONS: its status line in place of the request line.
void TestSipDns::optionsAnswer_data()
{
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<int>("status");
    const QByteArray request = BuildSipOptions(QStringLiteral("d.test"), QStringLiteral("192.168.1.10"), 40000,
                                               QStringLiteral("tvl0123abcd"));
    const QByteArray ok = "SIP/2.0 200 OK" + request.mid(request.indexOf("\r\n"));
    QByteArray compact = ok;
    compact.replace("Via:", "v:").replace("Call-ID:", "i:").replace("branch=", "Branch=");
    QTest::newRow("ours") << ok << 200;
    QTest::newRow("compact headers, parameter name in capitals") << compact << 200;
    QTest::newRow("another Call-ID") << QByteArray(ok).replace("Call-ID: tvl0123abcd", "Call-ID: tvl99999999") << 0;
    QTest::newRow("another branch") << QByteArray(ok).replace("z9hG4bKtvl0123abcd", "z9hG4bKtvl99999999") << 0;
    QTest::newRow("no branch") << QByteArray(ok).replace(";branch=z9hG4bKtvl0123abcd", "") << 0;
    QTest::newRow("the request itself") << request << 0;
    // From an IPv6 source the address goes in brackets (IPv6reference), and the
    // answer that copies the Via back is still recognised.
    const QByteArray request6 = BuildSipOptions(QStringLiteral("d.test"), QStringLiteral("2001:db8::5"), 40000,
                                                QStringLiteral("tvl0123abcd"));
    QVERIFY(request6.contains("Via: SIP/2.0/UDP [2001:db8::5]:40000;branch="));
    QVERIFY(request6.contains("Contact: <sip:tarvolin@[2001:db8::5]:40000>"));
    QTest::newRow("ours, sent from IPv6") << "SIP/2.0 200 OK" + request6.mid(request6.indexOf("\r\n")) << 200;
}

void TestSipDns::optionsAnswer()
{
    QFETCH(QByteArray, answer);
    QFETCH(int, status);
    QCOMPARE(ReadSipOptionsAnswer(answer, QStringLiteral("tvl0123abcd")), status);
}

QTEST_APPLESS_MAIN(TestSipDns)
#include "test_sip_dns.moc"
