// SPDX-License-Identifier: Apache-2.0
// IPv6 address kinds, the translation verdict from a STUN answer, and the
// choice of address family for a phone.
#include <QTest>

#include "probes/ipv6_advice.h"
#include "probes/ipv6_findings.h"

using namespace probes;

Q_DECLARE_METATYPE(std::optional<Ipv6Kind>)
Q_DECLARE_METATYPE(Ipv6Evidence)
Q_DECLARE_METATYPE(std::optional<bool>)

class TestIpv6Rules : public QObject {
    Q_OBJECT
private slots:
    void classify_data();
    void classify();
    void summary();
    void translation_data();
    void translation();
    void advice_data();
    void advice();
    void sipTargets();
    void providerReachable_data();
    void providerReachable();
};

void TestIpv6Rules::classify_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<std::optional<Ipv6Kind>>("kind");
    const auto k = [](Ipv6Kind x) { return std::optional<Ipv6Kind>(x); };
    QTest::newRow("unspecified") << "::" << k(Ipv6Kind::Unspecified);
    QTest::newRow("loopback") << "::1" << k(Ipv6Kind::Loopback);
    QTest::newRow("::2 is no loopback") << "::2" << k(Ipv6Kind::Other);
    QTest::newRow("IPv4-mapped") << "::ffff:192.0.2.1" << k(Ipv6Kind::Ipv4Mapped);
    QTest::newRow("link-local") << "fe80::1" << k(Ipv6Kind::LinkLocal);
    QTest::newRow("link-local upper end of /10") << "febf:ffff::1" << k(Ipv6Kind::LinkLocal);
    QTest::newRow("site-local") << "fec0::1" << k(Ipv6Kind::SiteLocal);
    QTest::newRow("ULA fd") << "fd12:3456:789a::1" << k(Ipv6Kind::UniqueLocal);
    QTest::newRow("ULA fc") << "fc00::1" << k(Ipv6Kind::UniqueLocal);
    QTest::newRow("fe00 is neither ULA nor link-local") << "fe00::1" << k(Ipv6Kind::Other);
    QTest::newRow("multicast") << "ff02::1" << k(Ipv6Kind::Multicast);
    QTest::newRow("global 2001:db8") << "2001:db8:1::10" << k(Ipv6Kind::Global);
    QTest::newRow("global 3fff end of /3") << "3fff:ffff::1" << k(Ipv6Kind::Global);
    QTest::newRow("4000:: outside 2000::/3") << "4000::1" << k(Ipv6Kind::Other);
    QTest::newRow("upper case") << "FE80::A" << k(Ipv6Kind::LinkLocal);
    QTest::newRow("dotted IPv4") << "192.0.2.1" << std::optional<Ipv6Kind>();
    QTest::newRow("with a zone") << "fe80::1%eth0" << std::optional<Ipv6Kind>();
    QTest::newRow("garbage") << "2001:db8::g" << std::optional<Ipv6Kind>();
}

void TestIpv6Rules::classify()
{
    QFETCH(QString, address);
    QFETCH(std::optional<Ipv6Kind>, kind);
    QCOMPARE(ClassifyIpv6(address), kind);
}

void TestIpv6Rules::summary()
{
    const Ipv6AddressSummary s = SummariseIpv6({
        {QStringLiteral("2001:db8:1::abcd"), true, false, false},
        {QStringLiteral("2001:db8:1::1"), false, false, false},
        {QStringLiteral("2001:db8:1::2"), false, false, true},  // tentative: not usable
        {QStringLiteral("fd00::5"), false, false, false},
        {QStringLiteral("fe80::1"), false, false, false},
        {QStringLiteral("::1"), false, false, false},
        {QStringLiteral("ff02::1"), false, false, false},
    });
    QCOMPARE(s.temporary, QStringList{QStringLiteral("2001:db8:1::abcd")});
    QCOMPARE(s.stable, QStringList{QStringLiteral("2001:db8:1::1")});
    QCOMPARE(s.uniqueLocal, QStringList{QStringLiteral("fd00::5")});
    QCOMPARE(s.linkLocal, QStringList{QStringLiteral("fe80::1")});
    QVERIFY(s.hasGlobal());
    QVERIFY(!SummariseIpv6({{QStringLiteral("fd00::5")}, {QStringLiteral("fe80::1")}}).hasGlobal());
}

void TestIpv6Rules::translation_data()
{
    QTest::addColumn<QString>("local");
    QTest::addColumn<int>("localPort");
    QTest::addColumn<QString>("mapped");
    QTest::addColumn<int>("mappedPort");
    QTest::addColumn<int>("kind");  // -1: no verdict
    QTest::addColumn<bool>("portPreserved");
    const int none = int(Ipv6Translation::None), npt = int(Ipv6Translation::Npt), nat = int(Ipv6Translation::Nat66);
    QTest::newRow("same address and port") << "2001:db8:1::5" << 40000 << "2001:db8:1::5" << 40000 << none << true;
    QTest::newRow("same address written otherwise")
        << "2001:db8:1:0::5" << 40000 << "2001:0db8:0001::0005" << 40000 << none << true;
    QTest::newRow("same address, other port: NAT66")
        << "2001:db8:1::5" << 40000 << "2001:db8:1::5" << 40001 << nat << false;
    QTest::newRow("other /64, same identifier: NPTv6")
        << "fd00:1:2:3::5" << 40000 << "2001:db8:9:3::5" << 40000 << npt << true;
    // RFC 6296 section 3.1 for a /64: the first identifier word takes the
    // checksum difference of the prefix (here fd01:: -> fd02::, word 4 -1).
    QTest::newRow("checksum-neutral NPTv6 adjusting the identifier")
        << "fd01::1:0:0:5" << 40000 << "fd02::0:0:0:5" << 40000 << npt << true;
    QTest::newRow("one identifier word changed, checksum not kept: NAT66")
        << "fd01::1:0:0:5" << 40000 << "fd02::7:0:0:5" << 40000 << nat << true;
    QTest::newRow("same identifier, port changed: NAT66")
        << "fd00:1:2:3::5" << 40000 << "2001:db8:9:3::5" << 1024 << nat << false;
    QTest::newRow("router's address (masquerade), port kept")
        << "fd00::5" << 40000 << "2001:db8:2::1" << 40000 << nat << true;
    QTest::newRow("IPv4 mapped address") << "2001:db8:1::5" << 1 << "192.0.2.1" << 1 << -1 << false;
    QTest::newRow("empty local") << "" << 1 << "2001:db8:1::5" << 1 << -1 << false;
}

void TestIpv6Rules::translation()
{
    QFETCH(QString, local);
    QFETCH(int, localPort);
    QFETCH(QString, mapped);
    QFETCH(int, mappedPort);
    QFETCH(int, kind);
    QFETCH(bool, portPreserved);
    const std::optional<TranslationVerdict> v = JudgeIpv6Translation(local, localPort, mapped, mappedPort);
    QCOMPARE(v.has_value(), kind >= 0);
    if (!v)
        return;
    QCOMPARE(int(v->kind), kind);
    QCOMPARE(v->portPreserved, portPreserved);
}

void TestIpv6Rules::advice_data()
{
    QTest::addColumn<Ipv6Evidence>("evidence");
    QTest::addColumn<QString>("family");
    QTest::addColumn<QString>("verdict");
    QTest::addColumn<QString>("why");  // a part of the reason

    Ipv6Evidence works;
    works.defaultRoute = works.globalAddress = works.stunConfigured = true;
    works.stunAnswered = true;
    works.translation = TranslationVerdict{Ipv6Translation::None, true};
    works.keepAlive6Seconds = 25;
    works.keepAlive4Seconds = 25;

    QTest::newRow("works, same keep-alive") << works << "ipv6" << "IPv6 работает" << "как и для IPv4";
    Ipv6Evidence shorter = works;
    shorter.keepAlive4Seconds = 10;
    QTest::newRow("works, IPv4 needs a shorter keep-alive") << shorter << "ipv6" << "IPv6 работает" << "(для IPv4 — 10 с)";
    Ipv6Evidence open = works;
    open.keepAlive6Seconds = 0;
    open.inboundOpen = true;
    QTest::newRow("works, nothing filters inbound") << open << "ipv6" << "IPv6 работает" << "keep-alive для межсетевого экрана не нужен";
    Ipv6Evidence npt = works;
    npt.translation = TranslationVerdict{Ipv6Translation::Npt, true};
    QTest::newRow("NPTv6") << npt << "ipv6" << "IPv6 работает" << "NPTv6";
    Ipv6Evidence nat = works;
    nat.translation = TranslationVerdict{Ipv6Translation::Nat66, false};
    QTest::newRow("NAT66") << nat << "either" << "IPv6 работает через NAT66" << "нет преимуществ";
    Ipv6Evidence noRoute = works;
    noRoute.defaultRoute = false;
    QTest::newRow("no default route") << noRoute << "ipv4" << "IPv6 недоступен" << "маршрута IPv6";
    Ipv6Evidence onlyUla = works;
    onlyUla.globalAddress = false;
    onlyUla.stunAnswered.reset();
    onlyUla.translation.reset();
    QTest::newRow("only ULA or link-local, nothing reached") << onlyUla << "ipv4" << "IPv6 недоступен" << "глобального адреса";
    Ipv6Evidence ulaSilent = onlyUla;
    ulaSilent.stunAnswered = false;
    QTest::newRow("only ULA, server silent") << ulaSilent << "ipv4" << "IPv6 недоступен" << "глобального адреса";
    Ipv6Evidence ulaTranslated = npt;
    ulaTranslated.globalAddress = false;
    QTest::newRow("only ULA behind NPTv6") << ulaTranslated << "ipv6" << "IPv6 работает" << "NPTv6";
    Ipv6Evidence dropped = works;
    dropped.aaaaTargets = true;
    dropped.providerReachable = false;
    QTest::newRow("AAAA present, provider unreachable")
        << dropped << "ipv4" << "IPv6 не работает" << "Отключите IPv6 в телефоне";
    Ipv6Evidence stunSilent = works;
    stunSilent.stunAnswered = false;
    stunSilent.translation.reset();
    QTest::newRow("STUN over IPv6 unanswered, nothing else tried")
        << stunSilent << "ipv4" << "IPv6 не работает" << "Отключите IPv6";
    Ipv6Evidence stunSilentSipFine = stunSilent;
    stunSilentSipFine.aaaaTargets = true;
    stunSilentSipFine.providerReachable = true;
    stunSilentSipFine.keepAlive6Seconds = 0;
    QTest::newRow("STUN silent but the SIP servers answer over IPv6")
        << stunSilentSipFine << "ipv6" << "IPv6 работает" << "не измерен";
    Ipv6Evidence aaaaNoStun = works;
    aaaaNoStun.stunConfigured = false;
    aaaaNoStun.stunAnswered.reset();
    aaaaNoStun.translation.reset();
    aaaaNoStun.aaaaTargets = true;
    aaaaNoStun.providerReachable = false;
    QTest::newRow("no STUN over IPv6, AAAA targets silent")
        << aaaaNoStun << "ipv4" << "IPv6 не работает" << "Отключите IPv6 в телефоне";
    Ipv6Evidence aaaaNoStunFine = aaaaNoStun;
    aaaaNoStunFine.providerReachable = true;
    aaaaNoStunFine.keepAlive6Seconds = 0;
    QTest::newRow("no STUN over IPv6, AAAA targets answer")
        << aaaaNoStunFine << "ipv6" << "IPv6 работает" << "не измерен";
    Ipv6Evidence unset = works;
    unset.stunConfigured = false;
    unset.stunAnswered.reset();
    unset.translation.reset();
    QTest::newRow("nothing to reach over IPv6") << unset << "either" << "IPv6 не проверен" << "не задан адрес IPv6";
}

void TestIpv6Rules::advice()
{
    QFETCH(Ipv6Evidence, evidence);
    QFETCH(QString, family);
    QFETCH(QString, verdict);
    QFETCH(QString, why);
    const Ipv6Advice a = AdviseFamily(evidence);
    QCOMPARE(FamilyChoiceName(a.family), family);
    QCOMPARE(a.verdict, verdict);
    QVERIFY2(a.why.contains(why), qPrintable(a.why));
}

void TestIpv6Rules::sipTargets()
{
    const auto check = [](SipTransport transport, const QString& address, int port, bool ipv6) {
        TargetCheck c;
        c.target.transport = transport;
        c.target.host = QStringLiteral("sip.d.test");
        c.target.address = address;
        c.target.port = port;
        c.target.ipv6 = ipv6;
        return c;
    };
    const QVector<TargetCheck> dns{
        check(SipTransport::Udp, QStringLiteral("192.0.2.10"), 5060, false),
        check(SipTransport::Udp, QStringLiteral("2001:db8:1::10"), 5060, true),
        check(SipTransport::Tcp, QStringLiteral("2001:db8:1::10"), 5060, true),
        check(SipTransport::Udp, QStringLiteral("2001:db8:1::10"), 5060, true),  // a second SRV to the same place
        check(SipTransport::Udp, QString(), 5060, true),                         // a host without addresses
        check(SipTransport::Tls, QStringLiteral("2001:db8:1::11"), 5061, true),
    };
    const QVector<SipTarget> t = Ipv6SipTargets(dns);
    QCOMPARE(t.size(), 3);
    QCOMPARE(t[0].address, QStringLiteral("2001:db8:1::10"));
    QCOMPARE(t[0].transport, SipTransport::Udp);
    QCOMPARE(t[1].transport, SipTransport::Tcp);
    QCOMPARE(t[2].address, QStringLiteral("2001:db8:1::11"));
}

void TestIpv6Rules::providerReachable_data()
{
    QTest::addColumn<QList<int>>("echoes");     // round trips, -1 lost
    QTest::addColumn<QList<int>>("sip");        // per target: 1 answered, 0 silent, -1 not checked
    QTest::addColumn<std::optional<bool>>("reachable");

    const QList<int> lost(10, -1);
    QList<int> oneAnswered = lost;
    oneAnswered[9] = 12;
    QTest::newRow("nothing tried") << QList<int>() << QList<int>() << std::optional<bool>();
    QTest::newRow("all echoes lost, no AAAA") << lost << QList<int>() << std::optional<bool>(false);
    QTest::newRow("last echo answered") << oneAnswered << QList<int>() << std::optional<bool>(true);
    QTest::newRow("echoes stopped half-way, none answered") << QList<int>(5, -1) << QList<int>()
                                                           << std::optional<bool>();
    QTest::newRow("echoes lost, OPTIONS answered") << lost << QList<int>{0, 1} << std::optional<bool>(true);
    QTest::newRow("echoes lost, every target silent") << lost << QList<int>{0, 0} << std::optional<bool>(false);
    QTest::newRow("targets silent, echoes answered") << oneAnswered << QList<int>{0, 0} << std::optional<bool>(true);
    QTest::newRow("stopped before the last target") << QList<int>(5, -1) << QList<int>{0, -1}
                                                   << std::optional<bool>();
}

void TestIpv6Rules::providerReachable()
{
    QFETCH(QList<int>, echoes);
    QFETCH(QList<int>, sip);
    QFETCH(std::optional<bool>, reachable);
    Ipv6Findings f;
    f.echoTarget = echoes.isEmpty() ? QString() : QStringLiteral("2001:db8:1::10");
    f.echoRoundTrips = echoes;
    for (int s : sip) {
        TargetCheck c;
        c.checked = s >= 0;
        c.answered = s > 0;
        f.sipChecks << c;
    }
    QCOMPARE(ProviderReachableOverIpv6(f, 10), reachable);
}

QTEST_GUILESS_MAIN(TestIpv6Rules)
#include "test_ipv6_rules.moc"
