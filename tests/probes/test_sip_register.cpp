// SPDX-License-Identifier: Apache-2.0
// REGISTER requests and the reading of the SIP server's answers.
#include <QNetworkDatagram>
#include <QRegularExpression>
#include <QTest>
#include <QUdpSocket>

#include "probes/sip_register.h"
#include "support/fake_sip_server.h"

using namespace probes;
using testsupport::FakeSipServer;

namespace {
QStringList Lines(const QByteArray& request)
{
    QString text = QString::fromLatin1(request);
    return text.split(QStringLiteral("\r\n"));
}

platform::InterfaceTable Table(const QStringList& addresses)
{
    platform::InterfaceTable table;
    int index = 1;
    for (const QString& a : addresses) {
        platform::InterfaceEntry e;
        e.Address = a;
        e.Index = index++;
        table.append(e);
    }
    return table;
}
}  // namespace

class TestSipRegister : public QObject {
    Q_OBJECT
private slots:
    void registerRequestLines();
    void newNumberEachDraw();
    void passageRequestLines_data();
    void passageRequestLines();
    void readAnswer_data();
    void readAnswer();
    void failureMessage_data();
    void failureMessage();
    void fakeServerAnswers_data();
    void fakeServerAnswers();
};

void TestSipRegister::registerRequestLines()
{
    const QByteArray request = BuildRegisterRequest(QStringLiteral("203.0.113.10"),
                                                    QStringLiteral("192.168.1.10"), 4711, QStringLiteral("test"));
    const QStringList expected = {
        QStringLiteral("REGISTER sip:203.0.113.10 SIP/2.0"),
        QStringLiteral("Via: SIP/2.0/UDP 192.168.1.10:5060"),
        QStringLiteral("From: <sip:4711@203.0.113.10>"),
        QStringLiteral("To: <sip:test@203.0.113.10>"),
        QStringLiteral("Contact: <sip:test@192.168.1.10:5060>"),
        QStringLiteral("Call-ID: 4711A8AC0495EBF0AACA2BA8BC87B@203.0.113.10"),
        QStringLiteral("CSeq: 1 REGISTER"),
        QStringLiteral("Expires: 500"),
        QStringLiteral("Content-Length: 0"),
        QString(),
        QString(),
    };
    QCOMPARE(Lines(request), expected);
    QVERIFY(request.endsWith("Content-Length: 0\r\n\r\n"));
    QVERIFY(!request.contains("\n\n"));  // every line end is CR LF

    // Zero and the largest number: no leading zeros, no separators.
    QVERIFY(BuildRegisterRequest(QStringLiteral("s"), QStringLiteral("a"), 0).contains("From: <sip:0@s>\r\n"));
    QVERIFY(BuildRegisterRequest(QStringLiteral("s"), QStringLiteral("a"), 9999999)
                .contains("Call-ID: 9999999A8AC0495EBF0AACA2BA8BC87B@s\r\n"));
}

void TestSipRegister::newNumberEachDraw()
{
    QSet<uint32_t> seen;
    for (int i = 0; i < 50; ++i) {
        const uint32_t n = DrawRegisterNumber();
        QVERIFY(n <= 9999999u);
        seen.insert(n);
        const QByteArray request = BuildRegisterRequest(QStringLiteral("203.0.113.10"),
                                                        QStringLiteral("10.0.0.2"), n);
        // The same N in From and Call-ID.
        const QRegularExpression from(QStringLiteral("From: <sip:(\\d+)@"));
        const QRegularExpression callId(QStringLiteral("Call-ID: (\\d+)A8AC0495"));
        const auto f = from.match(QString::fromLatin1(request));
        const auto c = callId.match(QString::fromLatin1(request));
        QVERIFY(f.hasMatch() && c.hasMatch());
        QCOMPARE(f.captured(1), c.captured(1));
        QCOMPARE(f.captured(1), QString::number(n));
    }
    // 50 draws out of ten million: a repeat would be a broken generator.
    QVERIFY(seen.size() >= 49);
}

void TestSipRegister::passageRequestLines_data()
{
    QTest::addColumn<QString>("external");
    QTest::addColumn<QString>("port");
    QTest::addColumn<QString>("via");
    QTest::addColumn<QString>("contact");

    QTest::newRow("external address") << QStringLiteral("198.51.100.7") << QStringLiteral("5060")
                                      << QStringLiteral("Via: SIP/2.0/UDP 198.51.100.7:5060")
                                      << QStringLiteral("Contact: \"Test\" <sip:test@198.51.100.7:5060>");
    QTest::newRow("empty external address") << QString() << QStringLiteral("5070")
                                            << QStringLiteral("Via: SIP/2.0/UDP :5070")
                                            << QStringLiteral("Contact: \"Test\" <sip:test@:5070>");
}

void TestSipRegister::passageRequestLines()
{
    QFETCH(QString, external);
    QFETCH(QString, port);
    QFETCH(QString, via);
    QFETCH(QString, contact);

    const QByteArray request = BuildPassageRegisterRequest(QStringLiteral("203.0.113.10"), external, port, 123);
    const QStringList expected = {
        QStringLiteral("REGISTER sip:203.0.113.10 SIP/2.0"),
        via,
        QStringLiteral("From: <sip:123@203.0.113.10>"),
        QStringLiteral("To: <sip:test@203.0.113.10>"),
        contact,
        QStringLiteral("Call-ID: E1967C7A8AC0495EBF0AACA2BA8BC87B@203.0.113.10"),
        QStringLiteral("CSeq: 28378 REGISTER"),
        QStringLiteral("Expires: 500"),
        QStringLiteral("Content-Length: 0"),
        QString(),
        QString(),
    };
    QCOMPARE(Lines(request), expected);
}

void TestSipRegister::readAnswer_data()
{
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<bool>("isSip");
    QTest::addColumn<bool>("hasReceived");
    QTest::addColumn<QString>("received");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<int>("sipState");

    const QByteArray head = "SIP/2.0 401 Unauthorized\r\nVia: SIP/2.0/UDP 192.168.1.10:5060";
    const QByteArray tail = "\r\nFrom: <sip:1@203.0.113.10>\r\nContent-Length: 0\r\n\r\n";

    QTest::newRow("no received: SIP ALG") << head + tail << true << false << QString()
                                          << QStringLiteral("Присутствует") << 1;
    QTest::newRow("received differs") << head + ";received=198.51.100.7" + tail << true << true
                                      << QStringLiteral("198.51.100.7") << QStringLiteral("Отсутствует") << 2;
    QTest::newRow("received equals main address") << head + ";received=192.168.1.10" + tail << true << true
                                                  << QStringLiteral("192.168.1.10")
                                                  << QStringLiteral("Реальный IP адрес") << 3;
    QTest::newRow("cut at ; before rport") << head + ";received=198.51.100.7;rport=5060" + tail << true << true
                                           << QStringLiteral("198.51.100.7") << QStringLiteral("Отсутствует")
                                           << 2;
    QTest::newRow("main address then rport") << head + ";received=192.168.1.10;rport=5060" + tail << true
                                             << true << QStringLiteral("192.168.1.10")
                                             << QStringLiteral("Реальный IP адрес") << 3;
    QTest::newRow("runs to the end") << head + ";received=198.51.100.7" << true << true
                                     << QStringLiteral("198.51.100.7") << QStringLiteral("Отсутствует") << 2;
    // The ";" of a later line does not cut the value: the CR LF comes first.
    QTest::newRow("CR LF before a later ;") << head + ";received=192.168.1.10" + tail + "X: a;b" << true << true
                                            << QStringLiteral("192.168.1.10")
                                            << QStringLiteral("Реальный IP адрес") << 3;
    QTest::newRow("empty value") << head + ";received=" + tail << true << true << QString()
                                 << QStringLiteral("Отсутствует") << 2;
    // Only the top Via header's own parameter counts, whatever its spelling.
    const QByteArray status = "SIP/2.0 200 OK\r\n";
    const QByteArray via = "Via: SIP/2.0/UDP 192.168.1.10:5060";
    const auto row = [&](const char* name, const QByteArray& message, bool has, const char* value) {
        const QString v = QString::fromLatin1(value);
        QTest::newRow(name) << message << true << has << v
                            << (!has ? QStringLiteral("Присутствует")
                                     : v == QStringLiteral("192.168.1.10") ? QStringLiteral("Реальный IP адрес")
                                                                          : QStringLiteral("Отсутствует"))
                            << (!has ? 1 : v == QStringLiteral("192.168.1.10") ? 3 : 2);
    };
    row("name in capitals", status + via + ";Received=198.51.100.7" + tail, true, "198.51.100.7");
    row("blanks around ; and =", status + via + " ; received = 198.51.100.7 ;rport" + tail, true, "198.51.100.7");
    row("value ends at a comma", status + via + ";received=192.168.1.10,SIP/2.0/UDP 10.1.1.1" + tail, true,
        "192.168.1.10");
    row("value ends at a bare LF", status + via + ";received=192.168.1.10\nFrom: <sip:1@x>\n\n", true,
        "192.168.1.10");
    row("value ends at a blank", status + via + ";received=192.168.1.10 (x)" + tail, true, "192.168.1.10");
    row("compact header name", status + "v : SIP/2.0/UDP 192.168.1.10:5060;received=198.51.100.7" + tail, true,
        "198.51.100.7");
    row("folded Via line", status + via + "\r\n ;received=198.51.100.7" + tail, true, "198.51.100.7");
    row("received of the second via-parm", status + via + ", SIP/2.0/UDP 10.0.0.9;received=198.51.100.7" + tail,
        false, "");
    row("received of the second Via header", status + via + "\r\nVia: SIP/2.0/UDP p;received=198.51.100.7" + tail,
        false, "");
    row("received in another header", status + "To: <sip:x;received=198.51.100.7>\r\n" + via + tail, false, "");
    row("received in the body", status + via + "\r\nContent-Length: 30\r\n\r\nVia: x;received=198.51.100.7",
        false, "");
    row("parameter named received-x", status + via + ";received-x=198.51.100.7" + tail, false, "");
    QTest::newRow("lower-case sip/2.0") << QByteArray("sip/2.0 200 OK\r\n") + tail << false << false << QString()
                                        << QString() << -1;
    QTest::newRow("HTTP answer") << QByteArray("HTTP/1.1 200 OK\r\n\r\n") << false << false << QString()
                                 << QString() << -1;
    QTest::newRow("empty datagram") << QByteArray() << false << false << QString() << QString() << -1;
}

void TestSipRegister::readAnswer()
{
    QFETCH(QByteArray, answer);
    QFETCH(bool, isSip);
    QFETCH(bool, hasReceived);
    QFETCH(QString, received);
    QFETCH(QString, caption);
    QFETCH(int, sipState);

    const SipAnswer read = ReadSipAnswer(answer);
    QCOMPARE(read.isSip, isSip);
    QCOMPARE(read.hasReceived, hasReceived);
    QCOMPARE(read.received, received);
    if (isSip) {
        const SipVerdict verdict = JudgeSipAnswer(read, QStringLiteral("192.168.1.10"));
        QCOMPARE(verdict.caption, caption);
        QCOMPARE(int(verdict.sipState), sipState);
    }
}

void TestSipRegister::failureMessage_data()
{
    QTest::addColumn<QStringList>("addresses");
    QTest::addColumn<bool>("notConnected");

    QTest::newRow("only loopback") << QStringList{QStringLiteral("127.0.0.1")} << true;
    QTest::newRow("0.0.0.0 then loopback") << QStringList{QStringLiteral("0.0.0.0"), QStringLiteral("127.0.0.1")}
                                           << true;
    QTest::newRow("0.0.0.0 without entry 2") << QStringList{QStringLiteral("0.0.0.0")} << false;
    QTest::newRow("0.0.0.0 then an address") << QStringList{QStringLiteral("0.0.0.0"), QStringLiteral("10.0.0.2")}
                                             << false;
    QTest::newRow("address then loopback") << QStringList{QStringLiteral("10.0.0.2"), QStringLiteral("127.0.0.1")}
                                           << false;
    QTest::newRow("empty table") << QStringList{} << false;
}

void TestSipRegister::failureMessage()
{
    QFETCH(QStringList, addresses);
    QFETCH(bool, notConnected);
    const QString message = SendSipFailureMessage(Table(addresses));
    if (notConnected)
        QCOMPARE(message, QStringLiteral("Компьютер не подключен к сети."));
    else
        QCOMPARE(message, QStringLiteral("Ошибка открытия порта 5060 !!!\r\nВозможно порт занят другой программой."));
}

void TestSipRegister::fakeServerAnswers_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("via");
    QTest::addColumn<int>("sipState");

    QTest::newRow("translated Via") << int(FakeSipServer::Received::Never) << QStringLiteral("192.168.1.10") << 1;
    QTest::newRow("source differs from Via") << int(FakeSipServer::Received::WhenDiffers)
                                             << QStringLiteral("192.168.1.10") << 2;
    QTest::newRow("Via matches the source") << int(FakeSipServer::Received::WhenDiffers)
                                            << QStringLiteral("127.0.0.1") << 1;
    QTest::newRow("received always, equal to Via") << int(FakeSipServer::Received::Always)
                                                   << QStringLiteral("127.0.0.1") << 3;
}

void TestSipRegister::fakeServerAnswers()
{
    QFETCH(int, mode);
    QFETCH(QString, via);
    QFETCH(int, sipState);

    FakeSipServer server;
    QVERIFY(server.start(QHostAddress(QStringLiteral("127.0.0.2"))));
    server.setAnswer("SIP/2.0 401 Unauthorized", static_cast<FakeSipServer::Received>(mode), QString(),
                     ";rport=5060");

    QUdpSocket client;
    QVERIFY(client.bind(QHostAddress(QStringLiteral("127.0.0.1")), 0));
    const QByteArray request = BuildRegisterRequest(QStringLiteral("127.0.0.2"), via, DrawRegisterNumber());
    client.writeDatagram(request, server.address(), server.port());
    QVERIFY(QTest::qWaitFor([&] { return client.hasPendingDatagrams(); }, 2000));
    const QByteArray answer = client.receiveDatagram().data();

    QCOMPARE(server.requests().size(), 1);
    QCOMPARE(server.requests().first().data, request);
    const SipAnswer read = ReadSipAnswer(answer);
    QVERIFY(read.isSip);
    QCOMPARE(int(JudgeSipAnswer(read, via).sipState), sipState);
}

QTEST_GUILESS_MAIN(TestSipRegister)
#include "test_sip_register.moc"
