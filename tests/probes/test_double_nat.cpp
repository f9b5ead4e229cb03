// SPDX-License-Identifier: Apache-2.0
// Address classes and the double NAT / carrier-grade NAT verdict from the evidence.
#include <QTest>

#include "probes/double_nat.h"

using namespace probes;

Q_DECLARE_METATYPE(probes::AddressClass)
Q_DECLARE_METATYPE(probes::NatVerdict)

namespace {

// "addr" or "addr/t": time exceeded; "addr/p": port unreachable; "addr/uN":
// unreachable with code N; "": no answer.
QVector<HopAnswer> Answers(const QStringList& list)
{
    QVector<HopAnswer> out;
    for (const QString& item : list) {
        HopAnswer a{item.section(QLatin1Char('/'), 0, 0), HopKind::TimeExceeded, 0};
        const QString kind = item.section(QLatin1Char('/'), 1);
        if (item.isEmpty())
            a.kind = HopKind::None;
        else if (kind == QLatin1String("p"))
            a.kind = HopKind::PortUnreachable, a.code = 3;
        else if (kind.startsWith(QLatin1Char('u')))
            a.kind = HopKind::Unreachable, a.code = kind.mid(1).toInt();
        out << a;
    }
    return out;
}

}  // namespace

class TestDoubleNat : public QObject {
    Q_OBJECT
private slots:
    void classes_data();
    void classes();
    void verdict_data();
    void verdict();
    void hopList_data();
    void hopList();
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
    QTest::newRow("DS-Lite B4") << "192.0.0.2" << AddressClass::DsLite;
    QTest::newRow("DS-Lite top") << "192.0.0.7" << AddressClass::DsLite;
    QTest::newRow("192.0.0.8 protocol assignment") << "192.0.0.8" << AddressClass::Special;
    QTest::newRow("192.0.1.1 outside") << "192.0.1.1" << AddressClass::Public;
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
    QTest::addColumn<QStringList>("located");
    QTest::addColumn<NatVerdict>("verdict");
    QTest::addColumn<int>("natHop");

    const QString lan = QStringLiteral("192.168.1.10");
    const QStringList none;
    // Routers of a provider numbered from shared and private space.
    const QStringList provider{"192.168.1.1", "100.64.0.1", "10.20.0.1", "203.0.113.1"};
    QTest::newRow("public computer") << "198.51.100.10" << "" << "" << "198.51.100.10" << none << none
                                     << NatVerdict::None << 0;
    QTest::newRow("IGD = STUN") << lan << "192.0.2.2" << "" << "192.0.2.2" << provider << none << NatVerdict::Single << 0;
    QTest::newRow("IGD in 100.64/10") << lan << "100.64.0.2" << "" << "192.0.2.2" << none << none
                                      << NatVerdict::Carrier << 0;
    QTest::newRow("NAT-PMP DS-Lite") << lan << "" << "192.0.0.2" << "192.0.2.2" << none << none << NatVerdict::Carrier << 0;
    QTest::newRow("NAT-PMP shared, no STUN") << lan << "" << "100.80.1.1" << "" << none << none
                                             << NatVerdict::Unknown << 0;
    // A multi-WAN router or a VPN shows the same: not a carrier NAT.
    QTest::newRow("IGD public, STUN another") << lan << "198.51.100.7" << "" << "192.0.2.2" << none << none
                                              << NatVerdict::Unknown << 0;
    QTest::newRow("hop classes alone") << lan << "" << "" << "192.0.2.2" << provider << none << NatVerdict::Unknown << 0;
    QTest::newRow("STUN address is the router's") << lan << "" << "" << "192.0.2.2" << provider
                                                   << QStringList{"192.0.2.2/p"} << NatVerdict::Single << 1;
    QTest::newRow("located at hop 2, shared inside") << lan << "" << "" << "192.0.2.2"
                                                     << QStringList{"192.168.1.1", "100.64.0.1", "192.0.2.1"}
                                                     << QStringList{"192.168.1.1", "192.0.2.2/p"}
                                                     << NatVerdict::Carrier << 2;
    QTest::newRow("located at hop 3, private between") << lan << "" << "" << "192.0.2.2" << none
                                                       << QStringList{"192.168.1.1", "10.0.0.1", "192.0.2.2/p"}
                                                       << NatVerdict::Double << 3;
    QTest::newRow("beyond, DS-Lite router between") << lan << "" << "" << "192.0.2.2" << none
                                                    << QStringList{"192.168.1.1", "192.0.0.1", ""}
                                                    << NatVerdict::Carrier << 0;
    QTest::newRow("IGD public, STUN another, located") << lan << "198.51.100.7" << "" << "192.0.2.2" << none
                                                       << QStringList{"192.168.1.1", "100.64.0.1", "192.0.2.2/p"}
                                                       << NatVerdict::Carrier << 3;
    QTest::newRow("first router silent") << lan << "" << "" << "192.0.2.2" << provider << QStringList{"", "", ""}
                                         << NatVerdict::Unknown << 0;
    QTest::newRow("port unreachable from another") << lan << "" << "" << "192.0.2.2" << provider
                                                   << QStringList{"192.168.1.1/p"} << NatVerdict::Unknown << 0;
    QTest::newRow("nothing at all") << lan << "" << "" << "" << none << none << NatVerdict::Unknown << 0;
}

void TestDoubleNat::verdict()
{
    QFETCH(QString, local);
    QFETCH(QString, igd);
    QFETCH(QString, natPmp);
    QFETCH(QString, stun);
    QFETCH(QStringList, hops);
    QFETCH(QStringList, located);
    QFETCH(NatVerdict, verdict);
    QFETCH(int, natHop);
    NatEvidence e;
    e.localAddress = local;
    e.igdExternalAddress = igd;
    e.natPmpExternalAddress = natPmp;
    e.stunMappedAddress = stun;
    e.hops = Answers(hops);
    e.located = Answers(located);
    const NatVerdictResult r = JudgeNat(e);
    QCOMPARE(r.verdict, verdict);
    QCOMPARE(r.natHop, natHop);
    const QString text = NatFindingText(e, r);
    QVERIFY(text.contains(QStringLiteral("Вывод: ") + NatVerdictText(verdict) + QStringLiteral(" — ")));
    QVERIFY(text.endsWith(NatVerdictAdvice(verdict)));
    if (QTest::currentDataTag() == QLatin1String("hop classes alone"))
        QVERIFY(text.contains(QStringLiteral("100.64.0.1 на шаге 2")) && text.contains(QStringLiteral("лишь подсказка")));
}

void TestDoubleNat::hopList_data()
{
    QTest::addColumn<QStringList>("answers");
    QTest::addColumn<int>("length");
    QTest::addColumn<bool>("failed");
    QTest::newRow("destination answers") << QStringList{"192.168.1.1", "203.0.113.10/p", "203.0.113.10/p"} << 2 << false;
    QTest::newRow("administratively prohibited") << QStringList{"192.168.1.1", "198.51.100.1/u13", "203.0.113.10/p"}
                                                 << 2 << true;
    QTest::newRow("port unreachable from a router") << QStringList{"192.168.1.1/p", "203.0.113.10/p"} << 1 << true;
    QTest::newRow("silent hops kept") << QStringList{"192.168.1.1", "", "198.51.100.1"} << 3 << false;
}

void TestDoubleNat::hopList()
{
    QFETCH(QStringList, answers);
    QFETCH(int, length);
    QFETCH(bool, failed);
    bool gotFailed = !failed;
    const QVector<HopAnswer> list = HopList(Answers(answers), QStringLiteral("203.0.113.10"), &gotFailed);
    QCOMPARE(list.size(), length);
    QCOMPARE(gotFailed, failed);
    QCOMPARE(list.last().kind == HopKind::Unreachable, failed);
}

QTEST_APPLESS_MAIN(TestDoubleNat)
#include "test_double_nat.moc"
