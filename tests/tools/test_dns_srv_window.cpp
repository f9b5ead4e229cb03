// SPDX-License-Identifier: Apache-2.0
#include "platform/dns_query.h"
#include "support/fake_dns_server.h"
#include "tools/dns_srv_window.h"

#include <QComboBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest>

#include <memory>

using testsupport::FakeDnsAnswer;
using testsupport::FakeDnsRecord;
using testsupport::FakeDnsServer;

Q_DECLARE_METATYPE(FakeDnsAnswer)

namespace {

const QString kDomain = QStringLiteral("zone.test");
const QString kQuery = QStringLiteral("_sip._udp.zone.test");

probes::ProviderEndpoints endpoints()
{
    probes::ProviderEndpoints e = probes::ProviderEndpoints::builtIn();
    e.domain = kDomain;
    e.publicSipDomains = {QStringLiteral("one.test"), QStringLiteral("two.test"), QStringLiteral("three.test")};
    return e;
}

QString head(int number, int type, const QString& owner)
{
    return QStringLiteral("Entrie: \t\t%1\r\nType: \t\t%2\r\nRR Name: \t%3\r\n").arg(number).arg(type).arg(owner);
}

}  // namespace

class TestDnsSrvWindow : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();

    void presetsOnLoad();
    void listing_data();
    void listing();
    void failuresShowTheStatus_data();
    void failuresShowTheStatus();
    void secondQueryReplacesTheFirst();

private:
    void query(tools::Form3& window, const QString& name);
    std::unique_ptr<FakeDnsServer> m_dns;
};

void TestDnsSrvWindow::initTestCase()
{
    m_dns = std::make_unique<FakeDnsServer>();
    QVERIFY(m_dns->isListening());
    platform::SetDnsServerOverride(m_dns->address(), m_dns->port());
}

void TestDnsSrvWindow::cleanupTestCase()
{
    platform::SetDnsServerOverride(QString(), 53);
    m_dns.reset();
}

void TestDnsSrvWindow::query(tools::Form3& window, const QString& name)
{
    window.findChild<QComboBox*>(QStringLiteral("Combo2"))->setEditText(name);
    window.findChild<QPushButton*>(QStringLiteral("Command1"))->click();
}

void TestDnsSrvWindow::presetsOnLoad()
{
    tools::Form3 window(endpoints());
    QCOMPARE(window.windowTitle(), QStringLiteral("Тест DNS SRV"));
    auto* combo = window.findChild<QComboBox*>(QStringLiteral("Combo2"));
    QVERIFY(combo && combo->isEditable());
    QStringList items;
    for (int i = 0; i < combo->count(); ++i)
        items << combo->itemText(i);
    QCOMPARE(items, QStringList({QStringLiteral("_sip._udp.zone.test"), QStringLiteral("_sip._tcp.zone.test"),
                                 QStringLiteral("_sip._tls.zone.test"), QStringLiteral("_stun._udp.zone.test"),
                                 QStringLiteral("_stun._udp.one.test"), QStringLiteral("_stun._udp.two.test"),
                                 QStringLiteral("_stun._udp.three.test")}));
    QCOMPARE(combo->currentText(), QStringLiteral("_sip._udp.zone.test"));
    QCOMPARE(window.findChild<QPushButton*>(QStringLiteral("Command1"))->text(), QStringLiteral("Запрос"));
    QCOMPARE(window.findChild<QPushButton*>(QStringLiteral("Command4"))->text(), QStringLiteral("Закрыть"));
    QVERIFY(window.findChild<QPlainTextEdit*>(QStringLiteral("Text2"))->toPlainText().isEmpty());
    QVERIFY(window.listingText().isEmpty());
}

void TestDnsSrvWindow::listing_data()
{
    QTest::addColumn<FakeDnsAnswer>("answer");
    QTest::addColumn<QString>("text");

    const QString host = QStringLiteral("sip.zone.test");
    const QString srv = head(1, 33, kQuery) + QStringLiteral("Host Name: \tsip.zone.test\r\nHost Port: \t5060\r\n\r\n");
    {
        FakeDnsAnswer a;
        a.answer = {FakeDnsRecord::Srv(kQuery, 10, 5, 5060, host)};
        a.additional = {FakeDnsRecord::A(host, QStringLiteral("198.51.100.5"))};
        QTest::newRow("SRV with the target's address")
            << a
            << head(1, 33, kQuery) + QStringLiteral("Host Name: \tsip.zone.test\r\nHost Port: \t5060\r\n\r\n") +
                   head(2, 1, host) + QStringLiteral("IP Addresse: \t198.51.100.5\r\n\r\n");
    }
    {
        FakeDnsAnswer a;
        a.answer = {FakeDnsRecord::Srv(kQuery, 0, 0, 65535, host), FakeDnsRecord::Srv(kQuery, 1, 0, 5061, host)};
        a.authority = {FakeDnsRecord::Soa(kDomain, QStringLiteral("ns1.zone.test"),
                                          QStringLiteral("hostmaster.zone.test"), 4294967295u, 7200, 900,
                                          1209600, 3600)};
        QTest::newRow("two SRV and an SOA")
            << a
            << head(1, 33, kQuery) + QStringLiteral("Host Name: \tsip.zone.test\r\nHost Port: \t65535\r\n\r\n") +
                   head(2, 33, kQuery) + QStringLiteral("Host Name: \tsip.zone.test\r\nHost Port: \t5061\r\n\r\n") +
                   head(3, 6, kDomain) +
                   QStringLiteral("SOA Admin: \thostmaster.zone.test\r\nSOA Server: \tns1.zone.test\r\n"
                                  "SOA SerialNumber: \t4294967295\r\nSOA Retrys: \t900 Sek\r\n"
                                  "SOA Refresh: \t7200 Sek\r\nSOA Expired: \t1209600 Sek\r\n"
                                  "SOA Default TTL: \t3600 Sek\r\n\r\n");
    }
    {
        FakeDnsAnswer a;
        a.answer = {FakeDnsRecord::Srv(kQuery, 0, 0, 5060, host),
                    FakeDnsRecord::Mx(kQuery, 10, QStringLiteral("mail.zone.test")),
                    FakeDnsRecord::Txt(kQuery, {QByteArray("v=spf1 -all")}),
                    FakeDnsRecord::Ns(kQuery, QStringLiteral("ns2.zone.test")),
                    FakeDnsRecord::Ptr(kQuery, QStringLiteral("ptr.zone.test"))};
        QTest::newRow("MX, TXT, NS, PTR")
            << a
            << srv + head(2, 15, kQuery) + QStringLiteral("MX Record: \tmail.zone.test\r\n\r\n") +
                   head(3, 16, kQuery) + QStringLiteral("TEXT Record: \tv=spf1 -all\r\n\r\n") +
                   head(4, 2, kQuery) + QStringLiteral("NameServer: \tns2.zone.test\r\n\r\n") +
                   head(5, 12, kQuery) + QStringLiteral("HostName: \tptr.zone.test\r\n\r\n");
    }
    {
        FakeDnsAnswer a;
        a.answer = {FakeDnsRecord::Srv(kQuery, 0, 0, 5060, host),
                    FakeDnsRecord::Cname(kQuery, QStringLiteral("real.zone.test")),
                    FakeDnsRecord::Aaaa(kQuery, QStringLiteral("2001:db8::5")),
                    FakeDnsRecord::Raw(kQuery, 257, QByteArray("\x00\x05issueca.test", 14)),
                    FakeDnsRecord::Raw(kQuery, 65280, QByteArray("\x01", 1))};
        QTest::newRow("other types, unsigned")
            << a
            << srv + head(2, 5, kQuery) + QStringLiteral("RR Menge: \treal.zone.test\r\n\r\n") +
                   head(3, 28, kQuery) + QStringLiteral("RR Menge: \t2001:db8::5\r\n\r\n") + head(4, 257, kQuery) +
                   QStringLiteral("RR Menge: \t\r\n\r\n") + head(5, 65280, kQuery) +
                   QStringLiteral("RR Menge: \t\r\n\r\n");
    }
    {
        // Text that would start lines of its own is shown escaped on its one line.
        FakeDnsAnswer a;
        a.answer = {FakeDnsRecord::Srv(kQuery, 0, 0, 5060, host),
                    FakeDnsRecord::Txt(kQuery, {QByteArray("ok\r\nEntrie: \t\t9\x7f\\x\xe2\x80\xa8.")})};
        QTest::newRow("TXT with control characters")
            << a
            << srv + head(2, 16, kQuery)
                   + QStringLiteral("TEXT Record: \tok\\013\\010Entrie: \\009\\009" "9\\127\\\\x\\u2028.\r\n\r\n");
    }
}

void TestDnsSrvWindow::listing()
{
    QFETCH(FakeDnsAnswer, answer);
    QFETCH(QString, text);
    m_dns->setAnswer(kQuery, 33, answer);

    tools::Form3 window(endpoints());
    window.findChild<QPushButton*>(QStringLiteral("Command1"))->click();
    QCOMPARE(window.listingText(), text);
    QCOMPARE(window.findChild<QPlainTextEdit*>(QStringLiteral("Text2"))->toPlainText(),
             QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
}

void TestDnsSrvWindow::failuresShowTheStatus_data()
{
    QTest::addColumn<int>("setup");
    QTest::addColumn<QString>("text");

    QTest::newRow("name does not exist") << 0 << QStringLiteral("Error: 9003");
    QTest::newRow("no SRV records") << 1 << QStringLiteral("Error: 9501");
    QTest::newRow("answer without records") << 2 << QStringLiteral("Error: -1");
    QTest::newRow("server failure") << 3 << QStringLiteral("Error: 9002");
}

void TestDnsSrvWindow::failuresShowTheStatus()
{
    QFETCH(int, setup);
    QFETCH(QString, text);
    const QString name = QStringLiteral("_sip._tcp.") + kDomain;
    switch (setup) {
    case 0:
        m_dns->setNxDomain(name, 33);
        break;
    case 1:
        m_dns->setNoData(name, 33,
                         FakeDnsRecord::Soa(kDomain, QStringLiteral("ns1.zone.test"),
                                            QStringLiteral("hostmaster.zone.test"), 1, 2, 3, 4, 5));
        break;
    case 2:
        m_dns->setEmpty(name, 33);
        break;
    case 3: {
        FakeDnsAnswer a;
        a.rcode = 2;
        m_dns->setAnswer(name, 33, a);
        break;
    }
    }
    tools::Form3 window(endpoints());
    window.findChild<QComboBox*>(QStringLiteral("Combo2"))->setCurrentIndex(1);
    window.findChild<QPushButton*>(QStringLiteral("Command1"))->click();
    QCOMPARE(window.listingText(), text);
    QCOMPARE(window.findChild<QPlainTextEdit*>(QStringLiteral("Text2"))->toPlainText(), text);
}

void TestDnsSrvWindow::secondQueryReplacesTheFirst()
{
    FakeDnsAnswer a;
    a.answer = {FakeDnsRecord::Srv(kQuery, 0, 0, 5060, QStringLiteral("sip.zone.test"))};
    m_dns->setAnswer(kQuery, 33, a);
    const QString typed = QStringLiteral("_stun._udp.typed.test");
    FakeDnsAnswer b;
    b.answer = {FakeDnsRecord::Srv(typed, 0, 0, 3478, QStringLiteral("stun.typed.test"))};
    m_dns->setAnswer(typed, 33, b);
    m_dns->setNxDomain(QStringLiteral("_sip._udp.missing.test"), 33);

    tools::Form3 window(endpoints());
    query(window, kQuery);
    QVERIFY(window.listingText().contains(QStringLiteral("Host Port: \t5060")));

    // A name typed into the box is asked for as it stands.
    query(window, typed);
    QCOMPARE(window.listingText(),
             head(1, 33, typed) + QStringLiteral("Host Name: \tstun.typed.test\r\nHost Port: \t3478\r\n\r\n"));

    query(window, QStringLiteral("_sip._udp.missing.test"));
    QCOMPARE(window.listingText(), QStringLiteral("Error: 9003"));
    query(window, kQuery);
    QCOMPARE(window.listingText().count(QStringLiteral("Entrie: ")), 1);
}

QTEST_MAIN(TestDnsSrvWindow)
#include "test_dns_srv_window.moc"
