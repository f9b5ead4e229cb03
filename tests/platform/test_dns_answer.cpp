// SPDX-License-Identifier: Apache-2.0
// Reading DNS answer messages as they come off the wire.
#include "platform/dns_query.h"
#include "platform/dns_records.h"

#include <QtTest>

using platform::DnsEntry;

namespace {

// "_sip._udp.zone.test" as DNS labels.
QByteArray Name()
{
    return QByteArray("\x04_sip\x04_udp\x04zone\x04test\x00", 21);
}

QByteArray U16(int v)
{
    return QByteArray(1, char(v >> 8)) + QByteArray(1, char(v & 0xFF));
}

// One SRV record (priority 10, weight 5, port 5060, target "sip.zone.test")
// of the given class.
QByteArray SrvRecord(int rclass)
{
    const QByteArray target("\x03sip\x04zone\x04test\x00", 15);
    const QByteArray rdata = U16(10) + U16(5) + U16(5060) + target;
    return Name() + U16(33) + U16(rclass) + QByteArray("\x00\x00\x01\x2c", 4) + U16(rdata.size()) + rdata;
}

// A response (ID 0x1234, QR RD RA) to the SRV question with these answers.
QByteArray Answer(const QList<QByteArray>& records)
{
    QByteArray m = U16(0x1234) + U16(0x8180) + U16(1) + U16(records.size()) + U16(0) + U16(0);
    m += Name() + U16(33) + U16(1);
    for (const QByteArray& r : records)
        m += r;
    return m;
}

}  // namespace

class TestDnsAnswer : public QObject {
    Q_OBJECT
private slots:
    void recordClass_data()
    {
        QTest::addColumn<QByteArray>("message");
        QTest::addColumn<int>("status");
        QTest::addColumn<int>("entries");
        QTest::newRow("SRV of class IN") << Answer({SrvRecord(1)}) << 0 << 1;
        QTest::newRow("SRV of class CH only") << Answer({SrvRecord(3)}) << -1 << 0;
        QTest::newRow("SRV of class HS only") << Answer({SrvRecord(4)}) << -1 << 0;
        QTest::newRow("class CH beside class IN: only IN listed") << Answer({SrvRecord(3), SrvRecord(1)}) << 0 << 1;
    }
    void recordClass()
    {
        QFETCH(QByteArray, message);
        QFETCH(int, status);
        QFETCH(int, entries);
        QVector<DnsEntry> list;
        int32_t count = 0;
        // An exact-size copy: sanitizer builds catch any read past the message.
        const QByteArray exact(message.constData(), message.size());
        QCOMPARE(platform::ParseDnsAnswer(reinterpret_cast<const unsigned char*>(exact.constData()), int(exact.size()),
                                          33, list, count),
                 status);
        QCOMPARE(int(count), entries);
        if (entries > 0)
            QCOMPARE(list.first().SrvPort, 5060);
    }

    // The SIP server check's reader: the same rule, and nothing from a
    // message that turns out malformed after a good record.
    void records_data()
    {
        QTest::addColumn<QByteArray>("message");
        QTest::addColumn<int>("status");
        QTest::addColumn<int>("records");
        const QByteArray cut = Name() + U16(33) + U16(1) + QByteArray("\x00\x00\x01\x2c", 4) + U16(4) + U16(10) + U16(5);
        QTest::newRow("SRV of class IN") << Answer({SrvRecord(1)}) << 0 << 1;
        QTest::newRow("SRV of class CH only") << Answer({SrvRecord(3)}) << 0 << 0;
        QTest::newRow("class CH beside class IN") << Answer({SrvRecord(3), SrvRecord(1)}) << 0 << 1;
        QTest::newRow("good record, then one cut short") << Answer({SrvRecord(1), cut}) << 9502 << 0;
    }
    void records()
    {
        QFETCH(QByteArray, message);
        QFETCH(int, status);
        QFETCH(int, records);
        const QByteArray exact(message.constData(), message.size());
        const platform::DnsRecordSet set = platform::ReadDnsRecords(
            reinterpret_cast<const unsigned char*>(exact.constData()), int(exact.size()), platform::kDnsTypeSrv);
        QCOMPARE(set.status, status);
        QCOMPARE(int(set.srv.size()), records);
    }
};

QTEST_APPLESS_MAIN(TestDnsAnswer)
#include "test_dns_answer.moc"
