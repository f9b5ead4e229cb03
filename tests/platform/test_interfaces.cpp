// SPDX-License-Identifier: Apache-2.0
#include "platform/interfaces.h"

#include <QtTest>

#include <arpa/inet.h>

using namespace platform;

namespace {
// The value the system stores for a dotted address (network byte order).
uint32_t stored(const char* dotted)
{
    in_addr address{};
    inet_aton(dotted, &address);
    return address.s_addr;
}
}  // namespace

class TestInterfaces : public QObject {
    Q_OBJECT
private slots:
    void dottedAddress_data();
    void dottedAddress();
    void machineTableListsLoopbackLast();
    void listInterfacesMatchesRows();
    void rowsKeepTheirOrder();
};

void TestInterfaces::dottedAddress_data()
{
    QTest::addColumn<quint32>("value");
    QTest::addColumn<QString>("text");

    QTest::newRow("10.0.0.1 as stored") << quint32(stored("10.0.0.1")) << "10.0.0.1";
    QTest::newRow("mask 255.255.255.0") << quint32(stored("255.255.255.0")) << "255.255.255.0";
    QTest::newRow("lowest byte first") << quint32(0x0100000Au) << "10.0.0.1";
    QTest::newRow("zero") << quint32(0u) << "0.0.0.0";
    QTest::newRow("all ones (-1)") << quint32(static_cast<uint32_t>(-1)) << "255.255.255.255";
    QTest::newRow("negative, high byte 0x80") << quint32(static_cast<uint32_t>(INT32_MIN)) << "0.0.0.128";
    QTest::newRow("negative mixed") << quint32(static_cast<uint32_t>(int32_t(-16776961))) << "255.0.0.255";
    QTest::newRow("octets 128..254") << quint32(stored("128.200.254.129")) << "128.200.254.129";
}

void TestInterfaces::dottedAddress()
{
    QFETCH(quint32, value);
    QFETCH(QString, text);
    QCOMPARE(DottedAddress(value), text);
}

void TestInterfaces::machineTableListsLoopbackLast()
{
    QVector<AddressRow> rows;
    const int count = ReadAddressTable(rows);
    QCOMPARE(count, rows.size());
    QVERIFY2(count > 0, "every machine has at least the loopback address");

    int firstLoopback = -1;
    bool sawLocalhost = false;
    for (int i = 0; i < rows.size(); ++i) {
        const AddressRow& row = rows.at(i);
        if (row.loopback && firstLoopback < 0)
            firstLoopback = i;
        if (!row.loopback)
            QVERIFY2(firstLoopback < 0, qPrintable(QStringLiteral("real interface %1 after loopback")
                                                   .arg(DottedAddress(row.address))));
        if (row.address == stored("127.0.0.1")) {
            sawLocalhost = true;
            QVERIFY(row.loopback);
            QCOMPARE(DottedAddress(row.mask), QStringLiteral("255.0.0.0"));
        }
        QVERIFY2(row.index > 0, "every address belongs to a numbered interface");
        if (!row.loopback) {
            QVERIFY((row.address & row.mask) == (row.broadcast & row.mask) || row.broadcast == 0);
        }
    }
    QVERIFY(sawLocalhost);
    QVERIFY(firstLoopback >= 0);
}

void TestInterfaces::listInterfacesMatchesRows()
{
    QVector<AddressRow> rows;
    ReadAddressTable(rows);
    const InterfaceTable table = ListInterfaces();
    QCOMPARE(table.size(), rows.size());
    for (int i = 0; i < rows.size(); ++i) {
        QCOMPARE(table.at(i).Address, DottedAddress(rows.at(i).address));
        QCOMPARE(table.at(i).Index, static_cast<int32_t>(rows.at(i).index));
        QCOMPARE(table.at(i).Mask, DottedAddress(rows.at(i).mask));
    }
    QCOMPARE(table.last().Address.left(4), QStringLiteral("127."));
    if (table.size() > 1)
        QVERIFY(!table.first().Address.startsWith(QStringLiteral("127.")));
}

void TestInterfaces::rowsKeepTheirOrder()
{
    QVector<AddressRow> rows(3);
    rows[0] = {stored("127.0.0.1"), 1, stored("255.0.0.0"), 0, true};
    rows[1] = {stored("192.168.1.10"), 2, stored("255.255.255.0"), stored("192.168.1.255"), false};
    rows[2] = {stored("10.0.0.1"), 0x80000001u, stored("255.255.0.0"), 0, false};

    const InterfaceTable table = InterfacesFromRows(rows);
    QCOMPARE(table.size(), 3);
    QCOMPARE(table[0].Address, QStringLiteral("127.0.0.1"));
    QCOMPARE(table[0].Index, 1);
    QCOMPARE(table[0].Mask, QStringLiteral("255.0.0.0"));
    QCOMPARE(table[0].Broadcast, QStringLiteral("0.0.0.0"));
    QCOMPARE(table[1].Address, QStringLiteral("192.168.1.10"));
    QCOMPARE(table[1].Index, 2);
    QCOMPARE(table[1].Mask, QStringLiteral("255.255.255.0"));
    QCOMPARE(table[1].Broadcast, QStringLiteral("192.168.1.255"));
    QCOMPARE(table[2].Address, QStringLiteral("10.0.0.1"));
    QCOMPARE(table[2].Index, static_cast<int32_t>(0x80000001u));  // copied unchanged
    QCOMPARE(table[2].Mask, QStringLiteral("255.255.0.0"));
}

QTEST_GUILESS_MAIN(TestInterfaces)
#include "test_interfaces.moc"
