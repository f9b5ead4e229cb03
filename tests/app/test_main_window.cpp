// SPDX-License-Identifier: Apache-2.0
// The main window run end to end against loopback fakes: STUN server on
// 127.0.0.2/127.0.0.3, SIP registrar and TCP listener, an SSDP responder,
// a DNS responder, and echoes to loopback.
#include "app/main_window.h"
#include "platform/dns_query.h"
#include "platform/socket_set.h"
#include "platform/user_message.h"
#include "support/fake_dns_server.h"
#include "support/fake_sip_server.h"
#include "support/fake_stun_server.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTimer>
#include <QUdpSocket>
#include <QtTest>

using testsupport::FakeDnsRecord;
using testsupport::FakeDnsServer;
using testsupport::FakeSipServer;
using testsupport::FakeStunServer;

namespace {

const QString kDomain = QStringLiteral("127.0.0.53");  // resolves to itself, inside prefix "127.0.0"

platform::InterfaceTable lanTable()
{
    platform::InterfaceEntry lan;
    lan.Address = QStringLiteral("192.168.1.10");
    lan.Mask = QStringLiteral("255.255.255.0");
    platform::InterfaceEntry lo;
    lo.Address = QStringLiteral("127.0.0.1");
    lo.Mask = QStringLiteral("255.0.0.0");
    return {lan, lo};
}

// Answers every datagram with an SSDP-style HTTP response.
class FakeSsdpResponder : public QObject {
public:
    bool start()
    {
        if (!socket_.bind(QHostAddress(QStringLiteral("127.0.0.2")), 0))
            return false;
        connect(&socket_, &QUdpSocket::readyRead, this, [this] {
            while (socket_.hasPendingDatagrams()) {
                QHostAddress from;
                quint16 fromPort = 0;
                QByteArray data(int(socket_.pendingDatagramSize()), '\0');
                socket_.readDatagram(data.data(), data.size(), &from, &fromPort);
                ++searches;
                socket_.writeDatagram("HTTP/1.1 200 OK\r\nST: urn:schemas-upnp-org:service:WANIPConnection:1\r\n\r\n",
                                      from, fromPort);
            }
        });
        return true;
    }
    quint16 port() const { return socket_.localPort(); }
    int searches = 0;

private:
    QUdpSocket socket_;
};

QString text(const app::Form1a& window, const char* name)
{
    if (qstrcmp(name, "Label2") == 0)
        return window.reportText();
    if (const auto* label = window.findChild<QLabel*>(QString::fromLatin1(name)))
        return label->text();
    if (const auto* edit = window.findChild<QPlainTextEdit*>(QString::fromLatin1(name)))
        return edit->toPlainText();
    return QStringLiteral("<no control %1>").arg(QString::fromLatin1(name));
}

}  // namespace

class TestMainWindow : public QObject {
    Q_OBJECT

    FakeStunServer stun_;
    FakeSipServer sip_;
    FakeSsdpResponder ssdp_;
    std::unique_ptr<FakeDnsServer> dns_;
    QStringList messages_;

    app::MainWindowDependencies loopbackDependencies()
    {
        app::MainWindowDependencies deps;
        auto& e = deps.endpoints;
        e.mainServer = QStringLiteral("127.0.0.2");
        e.secondServer = QStringLiteral("127.0.0.2");
        e.passageServer = QStringLiteral("127.0.0.2");
        e.furtherAddress = QStringLiteral("127.0.0.1");
        e.pingTarget = QStringLiteral("127.0.0.1");
        e.domain = kDomain;
        e.networkPrefix = QStringLiteral("127.0.0");
        e.displayName = QStringLiteral("Tarvolin");
        e.stunPort = stun_.port();
        e.sipPort = sip_.port();
        e.ssdpPort = ssdp_.port();
        e.ssdpGroup.clear();  // nothing leaves the machine
        deps.listInterfaces = lanTable;
        return deps;
    }

    static bool runToEnd(app::Form1a& window)
    {
        QSignalSpy finished(&window, &app::Form1a::testRunFinished);
        return finished.wait(40000);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(stun_.start());
        QVERIFY(sip_.start(QHostAddress(QStringLiteral("127.0.0.2")), 0, true));
        QVERIFY(ssdp_.start());
        dns_ = std::make_unique<FakeDnsServer>();
        QVERIFY(dns_->isListening());
        dns_->setAnswer(QStringLiteral("_sip._udp.") + kDomain, 33,
                        {0, {FakeDnsRecord::Srv(QStringLiteral("_sip._udp.") + kDomain, 10, 10, 5060,
                                                QStringLiteral("sip.") + kDomain)},
                         {},
                         {}});
        platform::SetDnsServerOverride(dns_->address(), dns_->port());
        platform::SetMessageHandler([this](const platform::UserMessage& m) { messages_ << m.text; });
    }

    void cleanupTestCase()
    {
        platform::SetDnsServerOverride(QString(), 0);
        platform::SetMessageHandler({});
    }

    void init()
    {
        messages_.clear();
        sip_.clearRequests();
        stun_.clearRequests();
        stun_.answerAll();
        stun_.setMappedAddress(QStringLiteral("198.51.100.7"), 3333);
        stun_.setAttributeOrder(FakeStunServer::AttributeOrder::Coturn);
        sip_.setAnswer("SIP/2.0 401 Unauthorized", FakeSipServer::Received::WhenDiffers);
        sip_.setSilent(false);
    }

    void wholeRunWritesTheReport()
    {
        app::Form1a window(loopbackDependencies());
        window.Form_Load();
        QCOMPARE(window.windowTitle(), QStringLiteral("Tarvolin  v.1.1.61"));
        QCOMPARE(text(window, "Label2"), QStringLiteral("Идет процесс тестирования..."));
        QVERIFY(runToEnd(window));

        const app::TestRunState& s = window.state();
        QCOMPARE(s.Gateway, QStringLiteral("127.0.0.2"));
        QCOMPARE(int(s.DnsTestPassed), 1);
        QCOMPARE(s.ExternalAddress, QStringLiteral("198.51.100.7"));
        QCOMPARE(int(s.NatMode), int(app::kNatFullCone));
        QCOMPARE(int(s.SipState), int(app::kSipBehindNat));
        QCOMPARE(int(s.Udp5060Passed), 1);
        QCOMPARE(int(s.Tcp5060Passed), 1);
        QCOMPARE(int(s.UpnpFound), 1);
        QCOMPARE(int(s.LostPackets), 0);
        QVERIFY(messages_.isEmpty());

        // Six REGISTERs from port 5060 naming the main address; the 0x0B series went to CHANGED-ADDRESS.
        QCOMPARE(sip_.requests().size(), 6);
        for (const auto& r : sip_.requests()) {
            QCOMPARE(r.fromPort, quint16(5060));
            QVERIFY(r.data.contains("Via: SIP/2.0/UDP 192.168.1.10:5060\r\n"));
        }
        QVERIFY(sip_.tcpConnections() >= 1);
        QCOMPARE(stun_.requestCount(0x08), 7);
        QCOMPARE(stun_.requestCount(0x09), 7);
        QCOMPARE(stun_.requestCount(0x0A), 7);
        QVERIFY(stun_.requestCount(0x0B) >= 7);
        for (const auto& r : stun_.requests()) {
            if (uint8_t(r.data.at(19)) == 0x0B)
                QCOMPARE(r.to, FakeStunServer::alternativeAddress());
        }
        QCOMPARE(ssdp_.searches, 4);

        QCOMPARE(text(window, "IPAdr"), QStringLiteral("198.51.100.7"));
        QCOMPARE(text(window, "NATType"), QStringLiteral("Полный конус\r\nFull Cone"));
        QCOMPARE(text(window, "SIPsup"), QStringLiteral("Отсутствует"));
        QCOMPARE(text(window, "UPnP"), QStringLiteral("Присутствует"));
        QCOMPARE(text(window, "STUN_Port"), QStringLiteral(" Случайный порт (Random port)"));
        QCOMPARE(text(window, "IPs"),
                 QStringLiteral("1 - 192.168.1.10\r\n2 - 127.0.0.1\r\n"
                                "\r\nIP по умолчанию - 192.168.1.10\r\nМаска подсети - 255.255.255.0\r\n"
                                "Основной шлюз 127.0.0.2\r\n"
                                "\r\nОсновной IP адрес\r\nиз диапазона RFC1918\r\n"
                                "\r\nDNS тест - прошел"
                                "\r\n\r\nПорт UDP 5060 - прошел\r\nПорт TCP 5060 - прошел"));

        const QString ping = text(window, "Ping");
        QVERIFY2(ping.startsWith(QStringLiteral("Пинг на Tarvolin\r\n\r\n0 - ")), qPrintable(ping));
        QCOMPARE(ping.count(QStringLiteral(" мс -  [ping OK]\r\n")), 10);
        QVERIFY(ping.contains(QStringLiteral("\r\nИтоговые данные\r\nСредняя задержка - ")));
        QVERIFY(ping.contains(QStringLiteral("Потерянных пакетов - 0\r\n")));

        const QString report = text(window, "Label2");
        const QString head =
            QStringLiteral("Внешний адрес NATа: 198.51.100.7 (Полный конус, Port:Случайный, SIP:Отсутствует, "
                           "UPnP:Присутствует)\r\n"
                           "Интерфейсы: 1-192.168.1.10,  2-127.0.0.1,  \r\n"
                           "(DefIP:192.168.1.10, MSK:255.255.255.0, GW:127.0.0.2, DNS-OK, UDP5060-OK, TCP5060-OK)\r\n"
                           "Задержка:%1, Потери:0, Джиттер:%2% - ")
                .arg(s.AvgDelay)
                .arg(s.Jitter);
        QVERIFY2(report.startsWith(head), qPrintable(report.left(600)));
        const QString verdict = report.mid(head.size());
        QVERIFY(verdict.contains(
            QStringLiteral("\r\n\r\nПри использовании конусного NAT-а возможны следующие варианты подключения: \r\n\r\n"
                           "  1. Использование STUN технологии.\r\n\r\n  2. Проброс UDP портов")));
        QVERIFY(verdict.contains(QStringLiteral("\r\n\r\n5. Обнаружена поддержка UPnP")));
        QVERIFY(!verdict.contains(QStringLiteral("Обнаружен NAT с совпадающим распределением портов")));
        const QString dashes = QString(127, QLatin1Char('-')) + QStringLiteral("\r\n");
        QVERIFY(verdict.contains(QStringLiteral("качество связи.\r\n\r\n5. Обнаружена")));
        const int dashAt = report.indexOf(dashes);
        QVERIFY(dashAt > 0);
        // The system's interface listing follows the dashes, and its file is gone.
        QVERIFY(report.mid(dashAt + dashes.size()).contains(QStringLiteral("127.0.0.1")));
        QVERIFY(!QFile::exists(window.listingFilePath()));
        QVERIFY(!window.timer()->isActive());
    }

    void restartStartsFromCleanResults()
    {
        app::Form1a window(loopbackDependencies());
        window.Form_Load();
        QVERIFY(runToEnd(window));
        QCOMPARE(window.state().ExternalAddress, QStringLiteral("198.51.100.7"));
        const QString firstIps = text(window, "IPs");

        // Nothing answers the second run.
        stun_.setAnsweredTestBytes({});
        sip_.setSilent(true);
        dns_->setNxDomain(QStringLiteral("_sip._udp.") + kDomain, 33);
        window.RestartTest();

        const app::TestRunState& s = window.state();
        QCOMPARE(int(s.NatMode), 0);
        QCOMPARE(s.ExternalAddress, QString());
        QCOMPARE(s.StunMappedAddress, QString());
        QCOMPARE(int(s.StunGotMapped + s.StunChangeIpReply + s.StunChangePortReply + s.StunSameMapping), 0);
        QCOMPARE(int(s.SipState), 0);
        QCOMPARE(int(s.UpnpFound), 0);
        QCOMPARE(int(s.DnsTestPassed), 0);
        QCOMPARE(int(s.Udp5060Passed + s.Tcp5060Passed), 0);
        QCOMPARE(text(window, "NATType"), QStringLiteral("Неопределенный"));
        QCOMPARE(text(window, "IPAdr"), QStringLiteral("Неопределенный"));
        QCOMPARE(text(window, "SIPsup"), QStringLiteral("Отсутствует"));
        QCOMPARE(text(window, "UPnP"), QStringLiteral("Отсутствует"));
        QCOMPARE(text(window, "STUN_Port"), QStringLiteral("Неизвестно"));
        QCOMPARE(text(window, "Label2"), QStringLiteral("Идет процесс тестирования..."));
        // The listing is rebuilt from scratch: the survey part only, DNS now failing.
        QVERIFY(text(window, "IPs").endsWith(QStringLiteral("\r\nDNS тест - не прошел")));
        QCOMPARE(text(window, "IPs").count(QStringLiteral("1 - 192.168.1.10")), 1);
        QVERIFY(firstIps.contains(QStringLiteral("Порт UDP 5060")));
        QVERIFY(!text(window, "IPs").contains(QStringLiteral("Порт UDP 5060")));

        QVERIFY(runToEnd(window));
        const QString report = text(window, "Label2");
        QVERIFY2(report.contains(QStringLiteral("% - Не удалось определить внешний адрес NATа!")),
                 qPrintable(report.left(600)));
        QVERIFY(report.contains(QStringLiteral("DNS-NO, UDP5060-NO, TCP5060-OK)")));
        QVERIFY(!report.contains(QStringLiteral("198.51.100.7")));
        dns_->setAnswer(QStringLiteral("_sip._udp.") + kDomain, 33,
                        {0, {FakeDnsRecord::Srv(QStringLiteral("_sip._udp.") + kDomain, 10, 10, 5060,
                                                QStringLiteral("sip.") + kDomain)},
                         {},
                         {}});
    }

    // Datagrams from anyone but the server that must answer change nothing,
    // and nothing is sent to the address a forged STUN answer names.
    void strangersAnswersChangeNothing_data()
    {
        QTest::addColumn<QByteArray>("datagram");
        QTest::addColumn<bool>("toProbeSocket");
        QByteArray stun(44, '\0');
        stun[0] = 0x01;
        stun[1] = 0x01;
        stun[3] = 24;
        stun[19] = 0x08;
        const QByteArray mapped = QByteArray::fromHex("000100080001abcd0a000001");        // 10.0.0.1:43981
        const QByteArray changed = QByteArray::fromHex("0005000800010d967f000006");       // 127.0.0.6:3478
        stun.replace(20, 12, mapped);
        stun.replace(32, 12, changed);
        QTest::newRow("Binding Response naming a third address") << stun << true;
        QByteArray changePort = stun;
        changePort[19] = 0x0A;
        QTest::newRow("change-port answer") << changePort << true;
        QTest::newRow("SIP answer") << QByteArray("SIP/2.0 200 OK\r\nVia: SIP/2.0/UDP 192.168.1.10:5060\r\n\r\n")
                                    << false;
    }
    void strangersAnswersChangeNothing()
    {
        QFETCH(QByteArray, datagram);
        QFETCH(bool, toProbeSocket);
        QUdpSocket third;
        QVERIFY(third.bind(QHostAddress(QStringLiteral("127.0.0.6")), 3478));
        QUdpSocket stranger;
        QVERIFY(stranger.bind(QHostAddress(QStringLiteral("127.0.0.5")), 0));
        stun_.setAnsweredTestBytes({});
        sip_.setSilent(true);

        app::Form1a window(loopbackDependencies());
        window.Form_Load();
        window.timer()->stop();  // the probes alone, no test run
        window.SendSIP();
        window.SendStun();
        const quint16 port = toProbeSocket ? quint16(platform::ProbeLocalPort()) : quint16(5060);
        for (int i = 0; i < 5; ++i)
            stranger.writeDatagram(datagram, QHostAddress(QStringLiteral("127.0.0.1")), port);
        QTest::qWait(500);

        const app::TestRunState& s = window.state();
        QCOMPARE(int(s.StunGotMapped + s.StunChangeIpReply + s.StunChangePortReply + s.StunSameMapping), 0);
        QCOMPARE(s.ExternalAddress, QString());
        QCOMPARE(int(s.Udp5060Passed), 0);
        QCOMPARE(int(s.SipState), 0);
        QCOMPARE(int(s.NatMode), int(app::kNatUndetermined));
        QCOMPARE(text(window, "SIPsup"), QStringLiteral("Отсутствует"));
        QVERIFY(!third.hasPendingDatagrams());
    }

    // A restart on a machine that has lost its network keeps no earlier main address.
    void restartWithoutNetworkForgetsTheMainAddress()
    {
        app::MainWindowDependencies deps = loopbackDependencies();
        int listings = 0;
        deps.listInterfaces = [&listings] {
            if (listings++ == 0)
                return lanTable();
            platform::InterfaceEntry lo;
            lo.Address = QStringLiteral("127.0.0.1");
            lo.Mask = QStringLiteral("255.0.0.0");
            return platform::InterfaceTable{lo};
        };
        app::Form1a window(deps);
        window.Form_Load();
        QCOMPARE(window.state().InterfaceAddress, QStringLiteral("192.168.1.10"));
        window.RestartTest();
        window.timer()->stop();
        QCOMPARE(window.state().InterfaceAddress, QString());
        QCOMPARE(window.state().MainAddress, QString());
        QCOMPARE(window.state().MainMask, QString());
        QVERIFY(!text(window, "IPs").contains(QStringLiteral("IP по умолчанию")));
    }

    // The verdict compares the mapped port with the port the run's requests
    // left from, even when another socket set was opened meanwhile.
    void portVerdictUsesTheRunsOwnSocket()
    {
        app::Form1a window(loopbackDependencies());
        window.Form_Load();
        window.timer()->stop();
        const int runPort = platform::ProbeLocalPort();
        stun_.setMappedAddress(QStringLiteral("198.51.100.7"), quint16(runPort));
        window.SendStun();
        QTRY_COMPARE_WITH_TIMEOUT(int(window.state().StunGotMapped), 1, 5000);
        platform::SetProbeLocalPort(runPort == 40000 ? 40001 : 40000);  // as a tool window's own set would
        QSignalSpy finished(&window, &app::Form1a::testRunFinished);
        window.timer()->setInterval(10);  // the waiting state: the next tick writes the verdict
        window.timer()->start();
        QVERIFY(finished.wait(5000));
        QCOMPARE(text(window, "STUN_Port"), QStringLiteral("Совпадающий порт (Preserves port)"));
    }

    // The TCP probe goes to port 5060 itself; only an established connection counts.
    void tcpFlagNeedsAnAcceptedConnection_data()
    {
        QTest::addColumn<bool>("listening");
        QTest::newRow("listener on 127.0.0.4:5060") << true;
        QTest::newRow("nothing listens") << false;
    }
    void tcpFlagNeedsAnAcceptedConnection()
    {
        QFETCH(bool, listening);
        QTcpServer listener;
        if (listening)
            QVERIFY(listener.listen(QHostAddress(QStringLiteral("127.0.0.4")), 5060));
        app::MainWindowDependencies deps = loopbackDependencies();
        deps.endpoints.mainServer = QStringLiteral("127.0.0.4");
        deps.endpoints.secondServer = QStringLiteral("127.0.0.4");
        deps.endpoints.sipPort = 5060;
        app::Form1a window(deps);
        window.Form_Load();
        window.timer()->stop();  // the probe alone, no test run
        window.SendSIP();
        if (listening) {
            QTRY_COMPARE_WITH_TIMEOUT(int(window.state().Tcp5060Passed), 1, 5000);
            QVERIFY(listener.hasPendingConnections() || listener.waitForNewConnection(1000));
        } else {
            QTest::qWait(500);
            QCOMPARE(int(window.state().Tcp5060Passed), 0);
        }
        QCOMPARE(int(window.state().Udp5060Passed), 0);
    }

    void takenPortIsReportedAndTheRunCompletes()
    {
        QUdpSocket squatter;
        QVERIFY(squatter.bind(QHostAddress::AnyIPv4, 5060));
        // A real message box runs an event loop while it is open: the test run
        // must not start inside the load sequence.
        platform::SetMessageHandler([this](const platform::UserMessage& m) {
            messages_ << m.text;
            QTest::qWait(100);
        });
        app::Form1a window(loopbackDependencies());
        window.Form_Load();
        QCOMPARE(messages_, QStringList{QStringLiteral("Порт 5060 занят другой программой !!!")});
        QCOMPARE(text(window, "Ping"), QString());
        QVERIFY(text(window, "IPs").endsWith(QStringLiteral("\r\nDNS тест - прошел")));

        QVERIFY(runToEnd(window));
        platform::SetMessageHandler([this](const platform::UserMessage& m) { messages_ << m.text; });
        // Port 5060 belongs to another program: the SIP probe says so and sends nothing.
        QCOMPARE(messages_.value(1),
                 QStringLiteral("Ошибка открытия порта 5060 !!!\r\nВозможно порт занят другой программой."));
        QCOMPARE(sip_.requests().size(), 0);
        QVERIFY(text(window, "IPs").endsWith(QStringLiteral("\r\n\r\nПорт UDP 5060 - не прошел\r\nПорт TCP 5060 - не прошел")));
        QVERIFY(window.reportText().startsWith(QStringLiteral("Внешний адрес NATа: 198.51.100.7")));
    }
};

QTEST_MAIN(TestMainWindow)
#include "test_main_window.moc"
