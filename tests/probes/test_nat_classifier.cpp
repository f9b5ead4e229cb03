// SPDX-License-Identifier: Apache-2.0
// NAT type from the STUN replies received so far.
#include <QTest>

#include "probes/nat_classifier.h"

using namespace probes;

namespace {
const QString kLocal = QStringLiteral("192.168.1.10");
const QString kExternal = QStringLiteral("198.51.100.7");
constexpr int kLocalPort = 50123;

StunFlags Flags(int mapped, int changeIp, int changePort, int same)
{
    StunFlags f;
    f.gotMapped = static_cast<int16_t>(mapped);
    f.changeIpReply = static_cast<int16_t>(changeIp);
    f.changePortReply = static_cast<int16_t>(changePort);
    f.sameMapping = static_cast<int16_t>(same);
    return f;
}
}  // namespace

Q_DECLARE_METATYPE(probes::StunFlags)

class TestNatClassifier : public QObject {
    Q_OBJECT
private slots:
    void classify_data();
    void classify();
    void repliesArrivingOneByOne();
    void udpBlockedCaption();
};

void TestNatClassifier::classify_data()
{
    QTest::addColumn<StunFlags>("flags");
    QTest::addColumn<QString>("mappedAddress");
    QTest::addColumn<int>("mappedPort");
    QTest::addColumn<bool>("decided");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<int>("natMode");

    const QString firewall = QStringLiteral("Симметричный UDP фаервол\r\nSymmetric UDP Firewall");
    const QString open = QStringLiteral("Открытый Интернет\r\nOpen Internet");
    const QString symmetric = QStringLiteral("Симметричный\r\nSymmetric NAT");
    const QString full = QStringLiteral("Полный конус\r\nFull Cone");
    const QString restricted = QStringLiteral("Ограниченный конус\r\nRestricted Cone");
    const QString portRestricted = QStringLiteral("Ограниченный конус по порту\r\nPort Restricted Cone");

    // Mapped address and port equal the local ones.
    QTest::newRow("firewall: 08 only") << Flags(1, 0, 0, 0) << kLocal << kLocalPort << true << firewall << 1;
    QTest::newRow("firewall: 08+0A+0B") << Flags(1, 0, 1, 1) << kLocal << kLocalPort << true << firewall << 1;
    QTest::newRow("open Internet: 08+09") << Flags(1, 1, 0, 0) << kLocal << kLocalPort << true << open << 0;
    QTest::newRow("open Internet: all four") << Flags(1, 1, 1, 1) << kLocal << kLocalPort << true << open << 0;

    // Behind a NAT: the last rule that holds decides.
    QTest::newRow("symmetric: 08 only") << Flags(1, 0, 0, 0) << kExternal << kLocalPort << true << symmetric << 2;
    QTest::newRow("port restricted: 08+0B") << Flags(1, 0, 0, 1) << kExternal << kLocalPort << true
                                            << portRestricted << 5;
    QTest::newRow("restricted: 08+0A+0B") << Flags(1, 0, 1, 1) << kExternal << kLocalPort << true
                                          << restricted << 4;
    QTest::newRow("restricted: 08+0A without same mapping") << Flags(1, 0, 1, 0) << kExternal << kLocalPort
                                                            << true << restricted << 4;
    QTest::newRow("full cone: all four") << Flags(1, 1, 1, 1) << kExternal << kLocalPort << true << full << 3;
    QTest::newRow("full cone: 08+09") << Flags(1, 1, 0, 0) << kExternal << kLocalPort << true << full << 3;
    QTest::newRow("08+09+0B without 0A: port restricted") << Flags(1, 1, 0, 1) << kExternal << kLocalPort
                                                          << true << portRestricted << 5;
    // Address the same, port differs: still behind a NAT.
    QTest::newRow("same address, other port") << Flags(1, 0, 0, 0) << kLocal << (kLocalPort + 1) << true
                                              << symmetric << 2;
    QTest::newRow("same port, other address") << Flags(1, 0, 0, 1) << kExternal << kLocalPort << true
                                              << portRestricted << 5;
    // No rule holds: nothing is decided.
    QTest::newRow("nothing yet behind NAT") << Flags(0, 0, 0, 0) << QString() << 0 << false << QString() << -1;
}

void TestNatClassifier::classify()
{
    QFETCH(StunFlags, flags);
    QFETCH(QString, mappedAddress);
    QFETCH(int, mappedPort);
    QFETCH(bool, decided);
    QFETCH(QString, caption);
    QFETCH(int, natMode);

    const auto verdict = ClassifyNat(flags, mappedAddress, mappedPort, kLocal, kLocalPort);
    QCOMPARE(verdict.has_value(), decided);
    if (decided) {
        QCOMPARE(verdict->caption, caption);
        QCOMPARE(int(verdict->natMode), natMode);
    }
}

// The label keeps the last verdict; each reply re-evaluates.
void TestNatClassifier::repliesArrivingOneByOne()
{
    StunFlags flags;
    QString label = UdpBlockedCaption();
    int natMode = 6;
    const auto evaluate = [&](const QString& mapped, int port) {
        if (const auto v = ClassifyNat(flags, mapped, port, kLocal, kLocalPort)) {
            label = v->caption;
            natMode = v->natMode;
        }
    };

    // A datagram that sets no flag decides nothing: the standing caption stays.
    evaluate(QString(), 0);
    QCOMPARE(label, UdpBlockedCaption());
    QCOMPARE(natMode, 6);

    flags.gotMapped = 1;
    evaluate(kExternal, 40000);
    QCOMPARE(natMode, 2);
    flags.sameMapping = 1;
    evaluate(kExternal, 40000);
    QCOMPARE(label, QStringLiteral("Ограниченный конус по порту\r\nPort Restricted Cone"));
    QCOMPARE(natMode, 5);
    flags.changePortReply = 1;
    evaluate(kExternal, 40000);
    QCOMPARE(label, QStringLiteral("Ограниченный конус\r\nRestricted Cone"));
    QCOMPARE(natMode, 4);
    flags.changeIpReply = 1;
    evaluate(kExternal, 40000);
    QCOMPARE(label, QStringLiteral("Полный конус\r\nFull Cone"));
    QCOMPARE(natMode, 3);
}

void TestNatClassifier::udpBlockedCaption()
{
    QCOMPARE(UdpBlockedCaption(), QStringLiteral("Протокол UDP заблокирован\r\nUDP Blocked"));
}

QTEST_GUILESS_MAIN(TestNatClassifier)
#include "test_nat_classifier.moc"
