// SPDX-License-Identifier: Apache-2.0
#include "app/startup_survey.h"

#include <QtTest>

using platform::InterfaceEntry;
using platform::InterfaceTable;

namespace {
InterfaceEntry entry(const QString& address, const QString& mask = QStringLiteral("255.0.0.0"))
{
    InterfaceEntry e;
    e.Address = address;
    e.Mask = mask;
    return e;
}

// The survey's text as Form_Load writes it from the listing up to the class lines.
QString composeSurvey(const InterfaceTable& table, int16_t* addressClass = nullptr)
{
    QString text = app::InterfaceListing(table);
    QString mainAddress;
    const int main = app::MainInterfacePosition(table);
    if (main >= 0) {
        text += app::MainInterfaceLines(table[main]);
        mainAddress = table[main].Address;
    }
    const int16_t cls = app::AddressClassOf(mainAddress);
    if (addressClass)
        *addressClass = cls;
    return text + app::AddressClassLines(cls);
}
}  // namespace

class TestStartupSurvey : public QObject {
    Q_OBJECT
private slots:
    void surveyText_data()
    {
        QTest::addColumn<InterfaceTable>("table");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<int>("addressClass");

        QTest::newRow("loopback first, then LAN")
            << InterfaceTable{entry("127.0.0.1"), entry("192.168.0.5", "255.255.255.0")}
            << QStringLiteral("1 - 127.0.0.1\r\n2 - 192.168.0.5\r\n"
                              "\r\nIP по умолчанию - 192.168.0.5\r\nМаска подсети - 255.255.255.0\r\n"
                              "\r\nОсновной IP адрес\r\nиз диапазона RFC1918\r\n")
            << 1;
        QTest::newRow("LAN first, loopback last")
            << InterfaceTable{entry("10.1.2.3", "255.255.0.0"), entry("127.0.0.1")}
            << QStringLiteral("1 - 10.1.2.3\r\n2 - 127.0.0.1\r\n"
                              "\r\nIP по умолчанию - 10.1.2.3\r\nМаска подсети - 255.255.0.0\r\n"
                              "\r\nОсновной IP адрес\r\nиз диапазона RFC1918\r\n")
            << 1;
        QTest::newRow("only loopback and 0.0.0.0")
            << InterfaceTable{entry("0.0.0.0"), entry("127.0.0.1")}
            << QStringLiteral("1 - 0.0.0.0\r\n2 - 127.0.0.1\r\n"
                              "\r\nОсновной IP адрес\r\nиз общего диапазона\r\n")
            << 0;
        QTest::newRow("public address")
            << InterfaceTable{entry("127.0.0.1"), entry("198.51.100.10", "255.255.255.0")}
            << QStringLiteral("1 - 127.0.0.1\r\n2 - 198.51.100.10\r\n"
                              "\r\nIP по умолчанию - 198.51.100.10\r\nМаска подсети - 255.255.255.0\r\n"
                              "\r\nОсновной IP адрес\r\nиз общего диапазона\r\n")
            << 0;
        QTest::newRow("empty table") << InterfaceTable{}
                                     << QStringLiteral("\r\nОсновной IP адрес\r\nиз общего диапазона\r\n") << 0;
    }
    void surveyText()
    {
        QFETCH(InterfaceTable, table);
        QFETCH(QString, expected);
        QFETCH(int, addressClass);
        int16_t cls = -1;
        QCOMPARE(composeSurvey(table, &cls), expected);
        QCOMPARE(int(cls), addressClass);
    }

    void addressClass_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<int>("expected");
        QTest::newRow("10.") << "10.0.0.1" << 1;
        QTest::newRow("10 without dot") << "100.64.0.1" << 0;
        QTest::newRow("101.") << "101.0.0.1" << 0;
        QTest::newRow("172.15") << "172.15.0.1" << 0;
        QTest::newRow("172.16") << "172.16.0.1" << 1;
        QTest::newRow("172.24") << "172.24.9.9" << 1;
        QTest::newRow("172.31") << "172.31.255.1" << 1;
        QTest::newRow("172.32") << "172.32.0.1" << 0;
        QTest::newRow("172.3 short") << "172.3.0.1" << 0;
        QTest::newRow("192.168") << "192.168.1.1" << 1;
        QTest::newRow("192.169") << "192.169.1.1" << 0;
        QTest::newRow("empty") << "" << 0;
    }
    void addressClass()
    {
        QFETCH(QString, address);
        QFETCH(int, expected);
        QCOMPARE(int(app::AddressClassOf(address)), expected);
    }

    void gatewayAndDns_data()
    {
        QTest::addColumn<QString>("firstHop");
        QTest::addColumn<QString>("line");
        QTest::newRow("router answered") << "192.168.1.1" << QStringLiteral("Основной шлюз 192.168.1.1\r\n");
        QTest::newRow("no answer") << "" << QStringLiteral("Основной шлюз неопределенный\r\n");
        QTest::newRow("blanks only") << "   " << QStringLiteral("Основной шлюз неопределенный\r\n");
    }
    void gatewayAndDns()
    {
        QFETCH(QString, firstHop);
        QFETCH(QString, line);
        QCOMPARE(app::GatewayLine(app::GatewayFromFirstHop(firstHop)), line);
    }

    void dnsTest()
    {
        QVERIFY(app::DomainInsideProvider("203.0.113.10", "203.0.1"));
        QVERIFY(!app::DomainInsideProvider("255.255.255.255", "203.0.1"));
        QVERIFY(!app::DomainInsideProvider("198.51.100.1", "203.0.1"));
        QCOMPARE(app::DnsTestLine(1), QStringLiteral("\r\nDNS тест - прошел"));
        QCOMPARE(app::DnsTestLine(0), QStringLiteral("\r\nDNS тест - не прошел"));
    }

    void caption() { QCOMPARE(app::WindowCaption(), QStringLiteral("Tarvolin  v.1.1.61")); }
};

QTEST_APPLESS_MAIN(TestStartupSurvey)
#include "test_startup_survey.moc"
