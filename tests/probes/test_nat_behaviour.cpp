// SPDX-License-Identifier: Apache-2.0
// Decision tables of the extended NAT test: which evidence gives which
// RFC 4787 behaviour, and when the server cannot tell.
#include <QTest>

#include "probes/extended_findings.h"
#include "probes/nat_behaviour.h"

using namespace probes;
using probes::stun5780::Endpoint;

namespace {

const Endpoint kPrimary{QStringLiteral("203.0.113.10"), 3478};
const Endpoint kOther{QStringLiteral("203.0.113.11"), 3479};
const Endpoint kOtherAddrPrimaryPort{QStringLiteral("203.0.113.11"), 3478};
const Endpoint kPrimaryAddrOtherPort{QStringLiteral("203.0.113.10"), 3479};
const Endpoint kLocal{QStringLiteral("192.168.1.10"), 40000};
const Endpoint kX1{QStringLiteral("192.0.2.2"), 40000};
const Endpoint kX2{QStringLiteral("192.0.2.2"), 50001};
const Endpoint kX3{QStringLiteral("192.0.2.2"), 50002};

Reply R(const Endpoint& sender, const Endpoint& mapped, std::optional<Endpoint> other = std::nullopt,
        std::optional<Endpoint> origin = std::nullopt)
{
    return Reply{sender, mapped, origin ? origin : std::optional(sender), other};
}

using OptReply = std::optional<Reply>;
const OptReply kNone;

}  // namespace

Q_DECLARE_METATYPE(std::optional<probes::Reply>)
Q_DECLARE_METATYPE(probes::Behaviour)
Q_DECLARE_METATYPE(probes::Hairpin)
Q_DECLARE_METATYPE(std::optional<probes::stun5780::Endpoint>)

class TestNatBehaviour : public QObject {
    Q_OBJECT
private slots:
    void mapping_data();
    void mapping();
    void filtering_data();
    void filtering();
    void hairpin_data();
    void hairpin();
    void lifetime_data();
    void lifetime();
    void unsupportedNamesNoBehaviour();
};

void TestNatBehaviour::mapping_data()
{
    QTest::addColumn<OptReply>("test1");
    QTest::addColumn<OptReply>("test2");
    QTest::addColumn<OptReply>("test3");
    QTest::addColumn<Behaviour>("expected");

    const OptReply first = R(kPrimary, kX1, kOther);
    QTest::newRow("no answer") << kNone << kNone << kNone << Behaviour::NoAnswer;
    QTest::newRow("mapped = local: no NAT") << OptReply(R(kPrimary, kLocal, kOther)) << kNone << kNone
                                            << Behaviour::NoNat;
    QTest::newRow("same mapping at the other address") << first << OptReply(R(kOtherAddrPrimaryPort, kX1)) << kNone
                                                       << Behaviour::EndpointIndependent;
    QTest::newRow("new port per address, kept per port")
        << first << OptReply(R(kOtherAddrPrimaryPort, kX2)) << OptReply(R(kOther, kX2))
        << Behaviour::AddressDependent;
    QTest::newRow("new port per address and port")
        << first << OptReply(R(kOtherAddrPrimaryPort, kX2)) << OptReply(R(kOther, kX3))
        << Behaviour::AddressAndPortDependent;
    QTest::newRow("no OTHER-ADDRESS") << OptReply(R(kPrimary, kX1)) << kNone << kNone << Behaviour::Unsupported;
    QTest::newRow("OTHER-ADDRESS is the primary address")
        << OptReply(R(kPrimary, kX1, Endpoint{kPrimary.address, 3479})) << kNone << kNone << Behaviour::Unsupported;
    QTest::newRow("first answer from elsewhere") << OptReply(R(kOther, kX1, kOther)) << kNone << kNone
                                                 << Behaviour::Unsupported;
    QTest::newRow("RESPONSE-ORIGIN contradicts the sender")
        << OptReply(R(kPrimary, kX1, kOther, kOther)) << kNone << kNone << Behaviour::Unsupported;
    QTest::newRow("other address silent") << first << kNone << kNone << Behaviour::Unsupported;
    QTest::newRow("second answer from the primary address")
        << first << OptReply(R(kPrimary, kX1)) << kNone << Behaviour::Unsupported;
    QTest::newRow("third answer missing") << first << OptReply(R(kOtherAddrPrimaryPort, kX2)) << kNone
                                          << Behaviour::Unsupported;
}

void TestNatBehaviour::mapping()
{
    QFETCH(OptReply, test1);
    QFETCH(OptReply, test2);
    QFETCH(OptReply, test3);
    QFETCH(Behaviour, expected);
    MappingEvidence e;
    e.primary = kPrimary;
    e.localEndpoints = {kLocal};
    e.test1 = test1;
    e.test2 = test2;
    e.test3 = test3;
    QCOMPARE(DecideMapping(e), expected);
}

void TestNatBehaviour::filtering_data()
{
    QTest::addColumn<OptReply>("test1");
    QTest::addColumn<OptReply>("test2");
    QTest::addColumn<OptReply>("test3");
    QTest::addColumn<Behaviour>("expected");

    const OptReply first = R(kPrimary, kX1, kOther);
    QTest::newRow("no answer") << kNone << kNone << kNone << Behaviour::NoAnswer;
    QTest::newRow("answer from the other address and port") << first << OptReply(R(kOther, kX1)) << kNone
                                                            << Behaviour::EndpointIndependent;
    QTest::newRow("only the other port passes") << first << kNone << OptReply(R(kPrimaryAddrOtherPort, kX1))
                                                << Behaviour::AddressDependent;
    QTest::newRow("neither passes") << first << kNone << kNone << Behaviour::AddressAndPortDependent;
    QTest::newRow("no OTHER-ADDRESS") << OptReply(R(kPrimary, kX1)) << kNone << kNone << Behaviour::Unsupported;
    QTest::newRow("change request ignored: answer from the primary address")
        << first << OptReply(R(kPrimary, kX1)) << kNone << Behaviour::Unsupported;
    QTest::newRow("change port ignored") << first << kNone << OptReply(R(kPrimary, kX1)) << Behaviour::Unsupported;
    QTest::newRow("RESPONSE-ORIGIN says primary, sender is the other")
        << first << OptReply(R(kOther, kX1, std::nullopt, kPrimary)) << kNone << Behaviour::Unsupported;
}

void TestNatBehaviour::filtering()
{
    QFETCH(OptReply, test1);
    QFETCH(OptReply, test2);
    QFETCH(OptReply, test3);
    QFETCH(Behaviour, expected);
    FilteringEvidence e;
    e.primary = kPrimary;
    e.test1 = test1;
    e.test2 = test2;
    e.test3 = test3;
    QCOMPARE(DecideFiltering(e), expected);
}

void TestNatBehaviour::hairpin_data()
{
    QTest::addColumn<bool>("answered");
    QTest::addColumn<Endpoint>("mappedA");
    QTest::addColumn<std::optional<Endpoint>>("atA");  // source of B's datagram at A
    QTest::addColumn<std::optional<Endpoint>>("atB");  // source of A's datagram at B
    QTest::addColumn<Hairpin>("expected");

    const std::optional<Endpoint> none;
    QTest::newRow("no answer") << false << kX1 << none << none << Hairpin::NoAnswer;
    QTest::newRow("no NAT") << true << kLocal << none << none << Hairpin::NoNat;
    QTest::newRow("arrived from B's external address") << true << kX1 << std::optional(kX2) << none
                                                       << Hairpin::Supported;
    QTest::newRow("only A to B arrived, from A's external address") << true << kX1 << none << std::optional(kX1)
                                                                    << Hairpin::Supported;
    // A NAT with port-dependent mapping hairpins from its public address with a new port.
    QTest::newRow("arrived from another external port") << true << kX1 << std::optional(kX3) << none
                                                        << Hairpin::SupportedOtherPort;
    QTest::newRow("arrived from another external address")
        << true << kX1 << std::optional(Endpoint{QStringLiteral("192.0.2.3"), kX2.port}) << none
        << Hairpin::SupportedOtherPort;
    QTest::newRow("arrived from B's internal address")
        << true << kX1 << std::optional(Endpoint{kLocal.address, 40002}) << none << Hairpin::SupportedInternalSource;
    QTest::newRow("neither direction arrived") << true << kX1 << none << none << Hairpin::NotSupported;
}

void TestNatBehaviour::hairpin()
{
    QFETCH(bool, answered);
    QFETCH(Endpoint, mappedA);
    QFETCH(std::optional<Endpoint>, atA);
    QFETCH(std::optional<Endpoint>, atB);
    QFETCH(Hairpin, expected);
    HairpinEvidence e;
    e.localEndpointsA = {kLocal};
    e.localAddresses = {kLocal.address};
    if (answered) {
        e.mappedA = mappedA;
        e.mappedB = kX2;
    }
    e.receivedAtA = atA;
    e.receivedAtB = atB;
    QCOMPARE(DecideHairpin(e), expected);
}

void TestNatBehaviour::lifetime_data()
{
    QTest::addColumn<QList<bool>>("results");
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("lastAlive");
    QTest::addColumn<int>("firstDead");
    QTest::addColumn<bool>("breach");
    QTest::addColumn<int>("keepAlive");

    const QList<bool> cap(60, true);
    QList<bool> to120(23, true);
    to120 << false;
    QList<bool> to115 = to120.mid(1);
    // Keep-alive: half the idle time survived, rounded down to 5 s.
    QTest::newRow("lost after 30 s") << QList<bool>{true, true, true, true, true, false}
                                     << int(LifetimeOutcome::Measured) << 25 << 30 << true << 10;
    QTest::newRow("results after the first loss do not count")
        << QList<bool>{true, false, true} << int(LifetimeOutcome::Measured) << 5 << 10 << true << 2;
    QTest::newRow("lost at the first step") << QList<bool>{false} << int(LifetimeOutcome::BelowFirstStep) << 0 << 5
                                            << true << 0;
    // A timer of exactly 120 s is seen dead at 120 s of idle: allowed.
    QTest::newRow("lost at 120 s") << to120 << int(LifetimeOutcome::Measured) << 115 << 120 << false << 55;
    QTest::newRow("lost at 115 s") << to115 << int(LifetimeOutcome::Measured) << 110 << 115 << true << 55;
    QTest::newRow("alive up to the cap") << cap << int(LifetimeOutcome::AtLeastCap) << 300 << 0 << false << 150;
    QTest::newRow("stopped early") << QList<bool>{true, true} << int(LifetimeOutcome::Incomplete) << 10 << 0 << false
                                   << 5;
}

void TestNatBehaviour::lifetime()
{
    QFETCH(QList<bool>, results);
    QFETCH(int, kind);
    QFETCH(int, lastAlive);
    QFETCH(int, firstDead);
    QFETCH(bool, breach);
    QFETCH(int, keepAlive);
    const LifetimeOutcome o = DecideLifetime(LifetimeSearch{}, results, 1500);
    QCOMPARE(int(o.kind), kind);
    QCOMPARE(o.lastAliveSeconds, lastAlive);
    QCOMPARE(o.firstDeadSeconds, firstDead);
    QCOMPARE(o.belowRfc4787, breach);
    if (firstDead > 0)
        QCOMPARE(o.deadBeforeSeconds, firstDead + 2);
    if (o.lastAliveSeconds > 0)
        QCOMPARE(KeepAliveSeconds(o.lastAliveSeconds), keepAlive);
}

// A server that cannot run a test gets no behaviour word.
void TestNatBehaviour::unsupportedNamesNoBehaviour()
{
    MappingEvidence m;
    m.primary = kPrimary;
    FilteringEvidence f;
    f.primary = kPrimary;
    LifetimeResult l;
    l.kind = LifetimeResult::Unsupported;
    for (const Finding& finding : {MappingFinding(Behaviour::Unsupported, m, QStringLiteral("x")),
                                   FilteringFinding(Behaviour::Unsupported, f, QString()), LifetimeFinding(l)}) {
        const QString text = FindingsText({finding});
        QVERIFY2(text.contains(ServerCannotTest()), qPrintable(text));
        for (const char* word : {"Endpoint-Independent", "Address-Dependent", "Address and Port-Dependent", "keep-alive"})
            QVERIFY2(!text.contains(QLatin1String(word)), qPrintable(text));
    }
}

QTEST_GUILESS_MAIN(TestNatBehaviour)
#include "test_nat_behaviour.moc"
