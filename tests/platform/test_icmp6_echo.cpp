// SPDX-License-Identifier: Apache-2.0
// ICMPv6 echo replies told from everything else, and an echo to ::1.
#include <QTest>

#include "platform/icmp6_echo.h"

#include <QSignalSpy>

class TestIcmp6Echo : public QObject {
    Q_OBJECT
private slots:
    void reply_data();
    void reply();
    void loopback();
};

void TestIcmp6Echo::reply_data()
{
    QTest::addColumn<QByteArray>("datagram");
    QTest::addColumn<QString>("from");
    QTest::addColumn<int>("sequence");
    const QByteArray reply = QByteArray::fromHex("81000000abcd0102") + "payload";
    const QString target = QStringLiteral("2001:db8:1::10");
    QTest::newRow("reply from the target") << reply << target << 0x0102;
    QTest::newRow("same address written in full") << reply << QStringLiteral("2001:0db8:0001:0:0:0:0:0010") << 0x0102;
    QTest::newRow("reply from another host") << reply << QStringLiteral("2001:db8:1::11") << -1;
    QTest::newRow("IPv4 sender") << reply << QStringLiteral("203.0.113.10") << -1;
    QTest::newRow("echo request, not a reply") << QByteArray::fromHex("80000000abcd0102") << target << -1;
    QTest::newRow("destination unreachable") << QByteArray::fromHex("01040000000000006000") << target << -1;
    QTest::newRow("reply with a code") << QByteArray::fromHex("81010000abcd0102") << target << -1;
    QTest::newRow("seven bytes") << QByteArray::fromHex("81000000abcd01") << target << -1;
    QTest::newRow("header only") << QByteArray::fromHex("81000000abcdffff") << target << 0xFFFF;
}

void TestIcmp6Echo::reply()
{
    QFETCH(QByteArray, datagram);
    QFETCH(QString, from);
    QFETCH(int, sequence);
    QCOMPARE(platform::Icmp6ReplySequence(datagram, from, QStringLiteral("2001:db8:1::10")), sequence);
}

void TestIcmp6Echo::loopback()
{
    platform::Icmp6Echo echo;
    if (!echo.open())
        QSKIP("no ICMPv6 datagram socket here (net.ipv4.ping_group_range)");
    QSignalSpy replied(&echo, &platform::Icmp6Echo::replied);
    QVERIFY(echo.send(QStringLiteral("::1"), 7, QByteArray(56, 'x')));
    QVERIFY(replied.wait(2000));
    QCOMPARE(replied.first().first().toInt(), 7);
    QVERIFY(!echo.send(QStringLiteral("127.0.0.1"), 8, QByteArray()));
}

QTEST_GUILESS_MAIN(TestIcmp6Echo)
#include "test_icmp6_echo.moc"
