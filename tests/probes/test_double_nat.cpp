// SPDX-License-Identifier: Apache-2.0
// Address classes and the double NAT / carrier-grade NAT verdict from the evidence.
#include <QTest>

#include "probes/double_nat.h"

using namespace probes;

Q_DECLARE_METATYPE(probes::AddressClass)
Q_DECLARE_METATYPE(probes::NatVerdict)

class TestDoubleNat : public QObject {
    Q_OBJECT
private slots:
    void classes_data();
    void classes();
    void verdict_data();
    void verdict();
};

void TestDoubleNat::classes_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<AddressClass>("cls");
    QTest::newRow("10/8") << "10.255.0.1" << AddressClass::Private;
    QTest::newRow("172.16/12 low") << "172.16.0.1" << AddressClass::Private;
    QTest::newRow("172.31 top") << "172.31.255.255" << AddressClass::Private;
    QTest::newRow("172.32 outside") << "172.32.0.1" << AddressClass::Public;
    QTest::newRow("192.168/16") << "192.168.1.1" << AddressClass::Private;
    QTest::newRow("100.64 low") << "100.64.0.0" << AddressClass::Shared;
    QTest::newRow("100.127 top") << "100.127.255.255" << AddressClass::Shared;
    QTest::newRow("100.128 outside") << "100.128.0.1" << AddressClass::Public;
    QTest::newRow("100.63 outside") << "100.63.255.255" << AddressClass::Public;
    QTest::newRow("loopback") << "127.0.0.1" << AddressClass::Special;
    QTest::newRow("link-local") << "169.254.3.4" << AddressClass::Special;
    QTest::newRow("public") << "203.0.113.10" << AddressClass::Public;
    QTest::newRow("zero") << "0.0.0.0" << AddressClass::Invalid;
    QTest::newRow("empty") << "" << AddressClass::Invalid;
    QTest::newRow("text") << "router" << AddressClass::Invalid;
}

void TestDoubleNat::classes()
{
    QFETCH(QString, address);
    QFETCH(AddressClass, cls);
    QCOMPARE(ClassifyAddress(address), cls);
}

void TestDoubleNat::verdict_data()
{
    QTest::addColumn<QString>("local");
    QTest::addColumn<QString>("igd");
    QTest::addColumn<QString>("natPmp");
    QTest::addColumn<QString>("stun");
    QTest::addColumn<QStringList>("hops");
    QTest::addColumn<NatVerdict>("verdict");

    const QString lan = QStringLiteral("192.168.1.10");
    const QStringList noHops;
    QTest::newRow("public computer") << "198.51.100.10" << "" << "" << "198.51.100.10" << noHops << NatVerdict::None;
    QTest::newRow("IGD public = STUN") << lan << "192.0.2.2" << "" << "192.0.2.2" << noHops << NatVerdict::Single;
    QTest::newRow("IGD in 100.64/10") << lan << "100.64.0.2" << "" << "192.0.2.2" << noHops << NatVerdict::Carrier;
    QTest::newRow("NAT-PMP in 100.64/10") << lan << "" << "100.80.1.1" << "" << noHops << NatVerdict::Carrier;
    QTest::newRow("IGD private") << lan << "10.0.0.2" << "" << "192.0.2.2" << noHops << NatVerdict::Double;
    QTest::newRow("IGD public, STUN sees another") << lan << "198.51.100.7" << "" << "192.0.2.2" << noHops
                                                   << NatVerdict::Carrier;
    // The gateway's word outweighs a private router address further on (a provider's own addressing).
    QTest::newRow("IGD = STUN beats private hop") << lan << "192.0.2.2" << "" << "192.0.2.2"
                                                  << QStringList{"192.168.1.1", "10.1.1.1"} << NatVerdict::Single;
    QTest::newRow("IGD without address, hops decide") << lan << "0.0.0.0" << "" << "192.0.2.2"
                                                      << QStringList{"192.168.1.1", "100.64.0.1"}
                                                      << NatVerdict::Carrier;
    QTest::newRow("hop 2 private") << lan << "" << "" << "192.0.2.2" << QStringList{"192.168.1.1", "10.0.0.1"}
                                   << NatVerdict::Double;
    QTest::newRow("hop 2 public") << lan << "" << "" << "192.0.2.2"
                                  << QStringList{"192.168.1.1", "192.0.2.1", "203.0.113.10"} << NatVerdict::Single;
    QTest::newRow("hop 2 silent, hop 3 shared") << lan << "" << "" << "192.0.2.2"
                                                << QStringList{"192.168.1.1", "", "100.64.0.1"} << NatVerdict::Carrier;
    QTest::newRow("only the first router") << lan << "" << "" << "192.0.2.2" << QStringList{"192.168.1.1", "", ""}
                                           << NatVerdict::Unknown;
    QTest::newRow("nothing at all") << lan << "" << "" << "" << noHops << NatVerdict::Unknown;
    // A public computer whose STUN address differs is behind a NAT all the same.
    QTest::newRow("public computer translated") << "198.51.100.10" << "" << "" << "192.0.2.9"
                                                << QStringList{"198.51.100.1", "100.64.0.1"} << NatVerdict::Carrier;
}

void TestDoubleNat::verdict()
{
    QFETCH(QString, local);
    QFETCH(QString, igd);
    QFETCH(QString, natPmp);
    QFETCH(QString, stun);
    QFETCH(QStringList, hops);
    QFETCH(NatVerdict, verdict);
    NatEvidence e;
    e.localAddress = local;
    e.igdExternalAddress = igd;
    e.natPmpExternalAddress = natPmp;
    e.stunMappedAddress = stun;
    e.hops = hops;
    const NatVerdictResult r = JudgeNat(e);
    QCOMPARE(r.verdict, verdict);
    const QString text = NatFindingText(e, r);
    QVERIFY(text.contains(QStringLiteral("Вывод: ") + NatVerdictText(verdict) + QStringLiteral(" — ")));
    QVERIFY(text.endsWith(NatVerdictAdvice(verdict)));
}

QTEST_APPLESS_MAIN(TestDoubleNat)
#include "test_double_nat.moc"
