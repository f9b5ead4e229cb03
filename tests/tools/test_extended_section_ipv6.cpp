// SPDX-License-Identifier: Apache-2.0
// The IPv6 section run against a STUN responder on ::1, with the system's
// IPv6 facts given by the test: what it says without IPv6, without a server,
// with a silent server, and with a server that sees the address as sent or
// translated.
#include <QTest>

#include "support/rfc5780_server.h"
#include "tools/extended_section_ipv6.h"

#include <QHostAddress>
#include <QJsonObject>
#include <QSignalSpy>
#include <QNetworkDatagram>
#include <QUdpSocket>

using namespace tools;

namespace {

// XOR-MAPPED-ADDRESS with the IPv6 family (RFC 8489 section 14.2).
QByteArray XorMapped6(const QByteArray& request, const QHostAddress& address, int port)
{
    QByteArray v;
    v.append(char(0)).append(char(2));
    const int x = port ^ 0x2112;
    v.append(char(x >> 8)).append(char(x & 0xFF));
    const Q_IPV6ADDR raw = address.toIPv6Address();
    for (int i = 0; i < 16; ++i)
        v.append(char(raw.c[i] ^ uchar(request[4 + i])));  // cookie, then transaction ID
    return QByteArray::fromHex("00200014") + v;
}

// Answers Binding Requests on [::1]:port, honouring RESPONSE-PORT; the mapped
// address it reports is the sender's unless told otherwise.
class Responder6 {
public:
    Responder6()
    {
        socket_.bind(QHostAddress(QStringLiteral("::1")), 0);
        QObject::connect(&socket_, &QUdpSocket::readyRead, [this] { serve(); });
    }
    int port() const { return socket_.localPort(); }
    std::optional<QHostAddress> mappedAddress;
    int portShift = 0;
    bool silent = false;
    int requests = 0;

private:
    void serve()
    {
        while (socket_.hasPendingDatagrams()) {
            const QNetworkDatagram d = socket_.receiveDatagram();
            ++requests;
            if (silent || d.data().size() < 20)
                continue;
            const testsupport::StunRequestFields f = testsupport::ReadStunRequest(d.data());
            const QByteArray attributes
                = XorMapped6(d.data(), mappedAddress.value_or(d.senderAddress()), d.senderPort() + portShift);
            QByteArray response = QByteArray::fromHex("0101");
            response.append(char(0)).append(char(attributes.size()));
            response += d.data().mid(4, 16) + attributes;
            socket_.writeDatagram(response, d.senderAddress(), quint16(f.responsePort.value_or(d.senderPort())));
        }
    }
    QUdpSocket socket_;
};

platform::Ipv6SystemFacts Facts(bool route, const QString& address, uint32_t flags = 0)
{
    platform::Ipv6SystemFacts f;
    f.readable = true;
    f.hasDefaultRoute = route;
    f.defaultInterface = route ? 1 : 0;
    f.defaultInterfaceName = route ? QStringLiteral("lo") : QString();
    f.addresses << platform::Ipv6InterfaceAddress{1, QStringLiteral("fe80::1"), 64, 0, 253}
                << platform::Ipv6InterfaceAddress{1, address, 64, flags, 0};
    return f;
}

}  // namespace

class TestExtendedSectionIpv6 : public QObject {
    Q_OBJECT
private slots:
    void run_data();
    void run();
};

void TestExtendedSectionIpv6::run_data()
{
    QTest::addColumn<bool>("route");
    QTest::addColumn<QString>("address");     // the global (or ULA) address of the facts
    QTest::addColumn<bool>("server");         // the STUN server's IPv6 address is set
    QTest::addColumn<bool>("silent");
    QTest::addColumn<QString>("mapped");      // "" : the sender's own
    QTest::addColumn<int>("portShift");
    QTest::addColumn<QString>("translation"); // "" : none judged
    QTest::addColumn<QString>("family");
    QTest::addColumn<QStringList>("says");    // parts of the text, in order
    QTest::addColumn<int>("maxMs");

    QTest::newRow("no IPv6 on the computer")
        << false << "fd00::5" << true << false << "" << 0 << "" << "ipv4"
        << QStringList{"IPv6 на компьютере нет"} << 1000;
    QTest::newRow("server address not set")
        << true << "2001:db8:1::5" << false << false << "" << 0 << "" << "either"
        << QStringList{"постоянные: 2001:db8:1::5", "адрес IPv6 сервера не задан", "IPv6 не проверен"} << 1000;
    QTest::newRow("server silent")
        << true << "2001:db8:1::5" << true << true << "" << 0 << "" << "ipv4"
        << QStringList{"ответа нет", "IPv6 не работает", "Отключите IPv6"} << 5000;
    QTest::newRow("address seen as sent")
        << true << "2001:db8:1::5" << true << false << "" << 0 << "none" << "ipv6"
        << QStringList{"временные (RFC 8981): 2001:db8:1::5", "сервер видит [::1]:", "Трансляция адресов: нет",
                       "IPv6 — Фильтрация входящих пакетов", "сервер не поддерживает этот тест",
                       "IPv6 — Время жизни", "IPv6 работает"}
        << 15000;
    QTest::newRow("translated with another port")
        << true << "2001:db8:1::5" << true << false << "2001:db8:ffff::99" << 7 << "nat66" << "either"
        << QStringList{"сервер видит [2001:db8:ffff::99]:", "NAT66", "порт меняется", "IPv6 работает через NAT66"}
        << 15000;
}

void TestExtendedSectionIpv6::run()
{
    QFETCH(bool, route);
    QFETCH(QString, address);
    QFETCH(bool, server);
    QFETCH(bool, silent);
    QFETCH(QString, mapped);
    QFETCH(int, portShift);
    QFETCH(QString, translation);
    QFETCH(QString, family);
    QFETCH(QStringList, says);
    QFETCH(int, maxMs);

    Responder6 responder;
    responder.silent = silent;
    responder.portShift = portShift;
    if (!mapped.isEmpty())
        responder.mappedAddress = QHostAddress(mapped);

    Ipv6SectionConfig config;
    config.stunServer = server ? QStringLiteral("0:0::1") : QString();  // written otherwise on purpose
    config.stunPort = responder.port();
    config.lifetime = probes::LifetimeSearch{1, 2};
    config.resendAfterMs = {300};
    config.requestTimeoutMs = 1000;
    config.echoes = 0;  // the echo socket depends on the machine's ping_group_range
    const platform::Ipv6SystemFacts facts = Facts(route, address, translation == "none" ? 0x01 : 0);
    config.readFacts = [facts] { return facts; };

    Ipv6SectionRun run;
    QSignalSpy finished(&run, &Ipv6SectionRun::finished);
    QElapsedTimer clock;
    clock.start();
    run.start(config);
    QVERIFY(finished.wait(maxMs + 5000));
    QCOMPARE(finished.size(), 1);
    QVERIFY2(clock.elapsed() < maxMs, qPrintable(QString::number(clock.elapsed())));
    QVERIFY(!run.running());

    const QString text = run.text();
    qsizetype at = 0;
    for (const QString& part : says) {
        const qsizetype found = text.indexOf(part, at);
        QVERIFY2(found >= 0, qPrintable(part + QStringLiteral("\n---\n") + text));
        at = found + part.size();
    }
    const QJsonObject json = run.json();
    QCOMPARE(json.value("family").toString(), family);
    QCOMPARE(json.value("stun").toObject().value("translation").toString(), translation);
    QCOMPARE(json.value("available").toBool(), route);
    // Nothing is asked when there is no IPv6 or no server; a silent server is asked again.
    QCOMPARE(responder.requests > 0, route && server);
    if (silent)
        QCOMPARE(responder.requests, 2);
    if (!translation.isEmpty())
        QVERIFY(json.value("firewall").toObject().contains("lifetime"));
}

QTEST_MAIN(TestExtendedSectionIpv6)
#include "test_extended_section_ipv6.moc"
