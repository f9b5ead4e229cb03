// SPDX-License-Identifier: Apache-2.0
// The verdict of a test run: captions, recommendations, grade and summary.
#include <QTest>

#include "app/report.h"

using namespace app;

namespace {

const QString kCrLf = QStringLiteral("\r\n");
const QString kDashes = QString(127, QLatin1Char('-')) + QStringLiteral("\r\n");

const QString kW1 = QStringLiteral(
    "Внимание компьютер подключен к интернету через NAT и имеет локальный адрес"
    " несовместимый с RFC1918. Это может привести к проблемам при использовании"
    " некоторых типов подключения.");
const QString kS0 = QStringLiteral(
    "Для подключения через симметричный UDP фаервол или NAT возможны следующие"
    " варианты: ");
const QString kS1 = QStringLiteral(
    "  1. Проброс UDP портов на NATе на данный компьютер или подключаемое устройство"
    " (информацию об используемых портах смотрите в документации на оборудование или"
    " ПО, обычно используются 5060 для сигнализации и 16384-16394 для голосовых"
    " пакетов).  В настройках оборудования или ПО обязательно должен быть указан"
    " внешний IP-адрес NATа.");
const QString kS2 = QStringLiteral(
    "  2. Использование специального OutBoundProxy или универсального SIP-прокси типа"
    " CommuniGate Pro. В этом варианте в конфигурации необходимо указать в качестве"
    " внешнего адреса, какой либо адрес из диапазона выделенного RFC 1918 (например,"
    " 192.168.1.1).");
const QString kS3 = QStringLiteral(
    "  3. Использование TURN или ICE технологии, если устройство или ПО поддерживает"
    " данный метод подключения.");
const QString kS4 = QStringLiteral(
    "  В варианте 2 и 3 голосовой трафик будет проходить через прокси или TURN/ICE"
    " сервер, что может негативно повлиять на качество связи.");
const QString kSU = QStringLiteral(
    "4. Обнаружена поддержка UPnP, если подключаемое устройство или ПО ее"
    " поддерживает, то рекомендуется включить использование UPnP.");
const QString kC0 = QStringLiteral(
    "При использовании конусного NAT-а возможны следующие варианты подключения: ");
const QString kC1 = QStringLiteral("  1. Использование STUN технологии.");
const QString kC5 = QStringLiteral(
    "  В варианте 3 и 4 голосовой трафик будет проходить через прокси или TURN/ICE"
    " сервер, что может негативно повлиять на качество связи.");
const QString kR0 = QStringLiteral(
    "При использовании NATа с ограниченным конусом возможны следующие варианты"
    " подключения: ");
const QString kR1 = QStringLiteral(
    "  1. Использование STUN технологии. Если при работе будут возникать проблемы с"
    " односторонней слышимостью, то необходимо использовать другие варианты"
    " подключения.");
const QString kA1 = QStringLiteral(
    "Обнаружена поддержка трансляции протокола SIP на NATе. В данном случае"
    " SIP-оборудование или ПО необходимо настроить обычным образом, как если бы оно"
    " было установлено на реальном (публичном) адресе.");
const QString kA2 = QStringLiteral(
    "Если при данном варианте подключения будут возникать проблемы (иногда бывает при"
    " некорректной реализации обработки SIP на NATе), то рекомендуется отключить на"
    " NATе поддержку SIP (SIP ALG) и запустить тест повторно.");
const QString kP0 = QStringLiteral(
    "Компьютер имеет реальный IP адрес. При  установке на этом компьютере"
    " программного телефона его нужно сконфигурировать без использования STUN сервера"
    " в соответствии со стандартными настройками.");
const QString kP1 = QStringLiteral(
    "Компьютер имеет реальный IP адрес, однако подключен через NAT. При  установке на"
    " этом компьютере программного телефона его нужно сконфигурировать с"
    " использованием форварда портов. В некоторых вариантах возможно использование"
    " STUN сервера.");
const QString kN6 = QStringLiteral("Не удалось провести тестирование NATа.");
const QString kPP = QStringLiteral(
    "Обнаружен NAT с совпадающим распределением портов. При использовании нескольких"
    " SIP-устройств, расположенных за таким NATом, рекомендуется настраивать их на"
    " использование разных локальных портов для сигнализации.");
const QString kC2 = QStringLiteral("  2.") + kS1.mid(4);
const QString kC3 = QStringLiteral("  3.") + kS2.mid(4);
const QString kC4 = QStringLiteral("  4.") + kS3.mid(4);
const QString kCU = QStringLiteral("5.") + kSU.mid(2);

const QString kExcellent = QStringLiteral("Качество Интернет канала отличное!\r\n\r\n");
const QString kRealAddressText = QStringLiteral("Данный компьютер имеет реальный IP адрес.\r\n\r\n");

QString P(const QString& paragraph)
{
    return paragraph + kCrLf + kCrLf;
}

platform::InterfaceTable Table(const QStringList& addresses)
{
    platform::InterfaceTable table;
    int index = 1;
    for (const QString& a : addresses) {
        platform::InterfaceEntry e;
        e.Address = a;
        e.Index = index++;
        e.Mask = QStringLiteral("255.255.255.0");
        table.append(e);
    }
    return table;
}

// A finished run behind a port restricted cone NAT without SIP translation,
// an excellent line and a random port.
ReportInput NatRun()
{
    ReportInput in;
    TestRunState& s = in.state;
    s.InterfaceAddress = QStringLiteral("192.168.1.10");
    s.MainAddress = QStringLiteral("192.168.1.10");
    s.MainMask = QStringLiteral("255.255.255.0");
    s.Gateway = QStringLiteral("192.168.1.1");
    s.AddressClass = 1;
    s.ExternalAddress = QStringLiteral("198.51.100.7");
    s.StunMappedAddress = s.ExternalAddress;
    s.MappedPort = 40001;
    s.NatMode = kNatPortRestrictedCone;
    s.SipState = kSipBehindNat;
    s.UpnpFound = 0;
    s.DnsTestPassed = 1;
    s.Udp5060Passed = 1;
    s.Tcp5060Passed = 0;
    s.AvgDelay = 30;
    s.LostPackets = 0;
    s.Jitter = 20;
    in.probeLocalPort = 40000;
    in.table = Table({QStringLiteral("192.168.1.10"), QStringLiteral("127.0.0.1")});
    in.ipAdrCaption = QStringLiteral("198.51.100.7");
    in.natTypeCaption = QStringLiteral("Ограниченный конус по порту\r\nPort Restricted Cone");
    in.stunPortCaption = QStringLiteral("Неизвестно");
    in.sipSupCaption = QStringLiteral("Отсутствует");
    in.upnpCaption = QStringLiteral("Отсутствует");
    in.ipsCaption = QStringLiteral("1 - 192.168.1.10\r\n2 - 127.0.0.1\r\n");
    return in;
}

// The part of the report between the grade and the line of dashes.
QString VerdictOf(const QString& report, const QString& grade)
{
    const qsizetype start = report.indexOf(QStringLiteral("% - ") + grade);
    const qsizetype end = report.lastIndexOf(kDashes);
    if (start < 0 || end < 0)
        return QStringLiteral("<layout not found>");
    const qsizetype from = start + 4 + grade.size();
    return report.mid(from, end - from);
}

}  // namespace

class TestReport : public QObject {
    Q_OBJECT
private slots:
    void wholeReportOfANatRun();
    void notConnected();
    void noStunAnswer();
    void gradeBands_data();
    void gradeBands();
    void noInternetAccess();
    void recommendations_data();
    void recommendations();
    void realAddress_data();
    void realAddress();
    void addressZeroFirstEntry();
    void publicAddressBehindNat();
    void portAllocation_data();
    void portAllocation();
    void port5060Lines_data();
    void port5060Lines();
    void summaryFlags();
};

void TestReport::wholeReportOfANatRun()
{
    ReportInput in = NatRun();
    in.state.UpnpFound = 1;
    in.upnpCaption = QStringLiteral("Присутствует");
    const ReportOutput out = ComposeReport(in);

    const QString expected =
        QStringLiteral("Внешний адрес NATа: 198.51.100.7 (Ограниченный конус по порту, Port:Случайный, "
                       "SIP:Отсутствует, UPnP:Присутствует)\r\n")
        + QStringLiteral("Интерфейсы: 1-192.168.1.10,  2-127.0.0.1,  \r\n")
        + QStringLiteral("(DefIP:192.168.1.10, MSK:255.255.255.0, GW:192.168.1.1, DNS-OK, UDP5060-OK, TCP5060-NO)\r\n")
        + QStringLiteral("Задержка:30, Потери:0, Джиттер:20% - Качество Интернет канала отличное!\r\n\r\n")
        + P(kR0) + P(kR1) + P(kC2) + P(kC3) + P(kC4) + P(kC5) + P(kCU) + kDashes;
    QCOMPARE(out.reportText, expected);
    QCOMPARE(out.stunPortCaption, QStringLiteral(" Случайный порт (Random port)"));
    QCOMPARE(out.sipSupCaption, QStringLiteral("Отсутствует"));
    QVERIFY(kC2.startsWith(QStringLiteral("  2. Проброс UDP портов")));
    QVERIFY(kCU.startsWith(QStringLiteral("5. Обнаружена поддержка UPnP")));
    QCOMPARE(kDashes.count(QLatin1Char('-')), 127);
}

void TestReport::notConnected()
{
    ReportInput in = NatRun();
    in.state.InterfaceAddress.clear();
    in.state.MainAddress.clear();
    in.state.MainMask.clear();
    in.state.Gateway = QStringLiteral("неопределенный");
    in.state.DnsTestPassed = 0;
    in.state.Udp5060Passed = 0;
    in.state.ExternalAddress.clear();
    in.state.NatMode = kNatUndetermined;
    in.state.LostPackets = 10;
    in.table = Table({QStringLiteral("127.0.0.1")});
    in.ipAdrCaption = QStringLiteral("Неопределен");
    in.natTypeCaption = QStringLiteral("Протокол UDP заблокирован\r\nUDP Blocked");
    in.probeLocalPort = 0;

    const ReportOutput out = ComposeReport(in);
    const QString expected =
        QStringLiteral("Внешний адрес NATа: Неопределен (Протокол UDP заблокирован, Port:Неизвестно, "
                       "SIP:Отсутствует, UPnP:Отсутствует)\r\n")
        + QStringLiteral("Интерфейсы: 1-127.0.0.1,  \r\n")
        + QStringLiteral("(DefIP:, MSK:, GW:неопределенный, DNS-NO, UDP5060-NO, TCP5060-NO)\r\n")
        + QStringLiteral("Задержка:30, Потери:10, Джиттер:20% - Компьютер не подключен к сети") + kDashes;
    QCOMPARE(out.reportText, expected);
    QCOMPARE(out.stunPortCaption, QStringLiteral("Неизвестно"));
}

void TestReport::noStunAnswer()
{
    ReportInput in = NatRun();
    in.state.ExternalAddress.clear();
    in.state.NatMode = kNatUndetermined;
    in.state.MappedPort = 0;
    const ReportOutput out = ComposeReport(in);
    QVERIFY2(out.reportText.endsWith(QStringLiteral("Джиттер:20% - Не удалось определить внешний адрес NATа!")
                                     + kDashes),
             qPrintable(out.reportText));
    // No grade and no recommendation.
    QVERIFY(!out.reportText.contains(QStringLiteral("Качество")));
    QVERIFY(!out.reportText.contains(kN6));
}

void TestReport::gradeBands_data()
{
    QTest::addColumn<int>("lost");
    QTest::addColumn<int>("delay");
    QTest::addColumn<int>("jitter");
    QTest::addColumn<QString>("grade");

    const QString excellent = QStringLiteral("Качество Интернет канала отличное!\r\n");
    const QString good = QStringLiteral("Качество Интернет канала хорошее!\r\n");
    const QString fair = QStringLiteral("Качество Интернет канала удовлетворительное!\r\n");
    const QString poor = QStringLiteral("Качество Интернет канала неудовлетворительное!\r\n");
    const auto two = [](const QString& first, const char* second) {
        return first + QString::fromUtf8(second) + QStringLiteral("\r\n\r\n");
    };

    // No losses.
    QTest::newRow("0: 30/20 excellent") << 0 << 30 << 20 << excellent + kCrLf;
    QTest::newRow("0: 149/99 excellent") << 0 << 149 << 99 << excellent + kCrLf;
    QTest::newRow("0: delay 150 in no row") << 0 << 150 << 20 << QString();
    QTest::newRow("0: 151/20 good") << 0 << 151 << 20 << good + kCrLf;
    QTest::newRow("0: 249/149 good") << 0 << 249 << 149 << good + kCrLf;
    QTest::newRow("0: delay 250 in no row") << 0 << 250 << 20 << QString();
    QTest::newRow("0: 400/20 big delay") << 0 << 400 << 20 << two(fair, "Достаточно большая задержка.");
    QTest::newRow("0: delay 550 in no row") << 0 << 550 << 20 << QString();
    QTest::newRow("0: 551/20 very big delay") << 0 << 551 << 20 << two(fair, "Очень большая задержка.");
    QTest::newRow("0: jitter 100 in no row") << 0 << 30 << 100 << QString();
    QTest::newRow("0: 30/120 in no row") << 0 << 30 << 120 << QString();
    QTest::newRow("0: jitter 150 in no row") << 0 << 30 << 150 << QString();
    QTest::newRow("0: 200/150 in no row") << 0 << 200 << 150 << QString();
    QTest::newRow("0: 30/151 jitter") << 0 << 30 << 151 << two(fair, "Наблюдается джиттер.");
    QTest::newRow("0: 600/200 jitter") << 0 << 600 << 200 << two(fair, "Наблюдается джиттер.");
    QTest::newRow("0: jitter 250 in no row") << 0 << 30 << 250 << QString();
    QTest::newRow("0: 30/251 big jitter") << 0 << 30 << 251 << two(poor, "Очень большой джиттер.");

    // One or two losses.
    QTest::newRow("1: 30/20 good") << 1 << 30 << 20 << two(good, "Присутствуют ошибки.");
    QTest::newRow("2: 200/140 good") << 2 << 200 << 140 << two(good, "Присутствуют ошибки.");
    QTest::newRow("1: delay 150 in no row") << 1 << 150 << 20 << QString();
    QTest::newRow("2: 300/10 big delay")
        << 2 << 300 << 10 << two(poor, "Достаточно большая задержка и присутствуют ошибки.");
    QTest::newRow("2: delay 250 in no row") << 2 << 250 << 10 << QString();
    QTest::newRow("2: 600/10 very big delay")
        << 2 << 600 << 10 << two(fair, "Очень большая задержка и присутствуют ошибки.");
    QTest::newRow("2: delay 550 in no row") << 2 << 550 << 10 << QString();
    QTest::newRow("1: jitter 100 in no row") << 1 << 30 << 100 << QString();
    QTest::newRow("1: 30/200 jitter") << 1 << 30 << 200 << two(fair, "Наблюдается джиттер и присутствуют ошибки.");
    QTest::newRow("1: jitter 150 in no row") << 1 << 30 << 150 << QString();
    QTest::newRow("2: jitter 250 in no row") << 2 << 30 << 250 << QString();
    QTest::newRow("2: 30/300 big jitter")
        << 2 << 30 << 300 << two(poor, "Очень большой джиттер и присутствуют ошибки.");

    // Three or more.
    QTest::newRow("3 losses") << 3 << 30 << 20 << two(poor, "Очень большой процент ошибок.");
    QTest::newRow("4 losses, any figures") << 4 << 150 << 250 << two(poor, "Очень большой процент ошибок.");
    QTest::newRow("10 losses, NAT found") << 10 << 0 << 0 << two(poor, "Очень большой процент ошибок.");
}

void TestReport::gradeBands()
{
    QFETCH(int, lost);
    QFETCH(int, delay);
    QFETCH(int, jitter);
    QFETCH(QString, grade);

    ReportInput in = NatRun();
    in.state.LostPackets = static_cast<int16_t>(lost);
    in.state.AvgDelay = static_cast<int16_t>(delay);
    in.state.Jitter = static_cast<int16_t>(jitter);
    const QString report = ComposeReport(in).reportText;

    // The grade continues the figures line and is followed by the verdict.
    const QString figures = QStringLiteral("Задержка:%1, Потери:%2, Джиттер:%3% - ").arg(delay).arg(lost).arg(jitter);
    QVERIFY2(report.contains(figures + grade + kR0), qPrintable(report));
}

void TestReport::noInternetAccess()
{
    ReportInput in = NatRun();
    in.state.NatMode = kNatUndetermined;
    in.state.LostPackets = 10;
    const QString report = ComposeReport(in).reportText;
    QVERIFY2(report.contains(QStringLiteral("Потери:10, Джиттер:20% - Доступ в Интернет отсутствует!\r\n\r\n")
                             + P(kN6) + kDashes),
             qPrintable(report));
}

void TestReport::recommendations_data()
{
    QTest::addColumn<int>("natMode");
    QTest::addColumn<int>("sipState");
    QTest::addColumn<int>("upnp");
    QTest::addColumn<QString>("verdict");

    const QString symmetric = P(kS0) + P(kS1) + P(kS2) + P(kS3) + P(kS4);
    const QString cone = P(kC0) + P(kC1) + P(kC2) + P(kC3) + P(kC4) + P(kC5);
    const QString restricted = P(kR0) + P(kR1) + P(kC2) + P(kC3) + P(kC4) + P(kC5);

    QTest::newRow("firewall") << 1 << 2 << 0 << symmetric;
    QTest::newRow("firewall, UPnP") << 1 << 2 << 1 << symmetric + P(kSU);
    QTest::newRow("symmetric NAT") << 2 << 0 << 0 << symmetric;
    QTest::newRow("symmetric NAT, UPnP") << 2 << 2 << 1 << symmetric + P(kSU);
    QTest::newRow("full cone") << 3 << 2 << 0 << cone;
    QTest::newRow("full cone, UPnP") << 3 << 2 << 1 << cone + P(kCU);
    QTest::newRow("restricted cone") << 4 << 2 << 0 << restricted;
    QTest::newRow("restricted cone, UPnP") << 4 << 2 << 1 << restricted + P(kCU);
    QTest::newRow("port restricted cone") << 5 << 0 << 0 << restricted;
    QTest::newRow("port restricted cone, UPnP") << 5 << 3 << 1 << restricted + P(kCU);
    QTest::newRow("not determined") << 6 << 2 << 1 << P(kN6);
    QTest::newRow("open Internet") << 0 << 2 << 1 << QString();
    // SIP translation on the NAT replaces the NAT type's recommendations.
    QTest::newRow("SIP translation, symmetric") << 2 << 1 << 1 << kA1 + kCrLf + P(kA2);
    QTest::newRow("SIP translation, cone") << 3 << 1 << 0 << kA1 + kCrLf + P(kA2);
}

void TestReport::recommendations()
{
    QFETCH(int, natMode);
    QFETCH(int, sipState);
    QFETCH(int, upnp);
    QFETCH(QString, verdict);

    ReportInput in = NatRun();
    in.state.NatMode = static_cast<int16_t>(natMode);
    in.state.SipState = static_cast<int16_t>(sipState);
    in.state.UpnpFound = static_cast<int16_t>(upnp);
    const ReportOutput out = ComposeReport(in);
    QCOMPARE(VerdictOf(out.reportText, kExcellent), verdict);
    QCOMPARE(out.sipSupCaption, in.sipSupCaption);
}

void TestReport::realAddress_data()
{
    QTest::addColumn<int>("natMode");
    QTest::addColumn<int>("sipState");
    QTest::addColumn<int>("addressClass");
    QTest::addColumn<QString>("verdict");

    // External address equal to the main address: the real-address text, no W1
    // even for a public address, and SIP answers without ";received=" give P0/P1.
    QTest::newRow("SIP 1, open Internet: P0") << 0 << 1 << 0 << kRealAddressText + P(kP0);
    QTest::newRow("SIP 1, firewall: P1") << 1 << 1 << 0 << kRealAddressText + P(kP1);
    QTest::newRow("SIP 1, full cone: P1") << 3 << 1 << 1 << kRealAddressText + P(kP1);
    QTest::newRow("SIP 3, firewall") << 1 << 3 << 0
                                     << kRealAddressText + P(kS0) + P(kS1) + P(kS2) + P(kS3) + P(kS4);
    QTest::newRow("no SIP answer, open Internet") << 0 << 0 << 0 << kRealAddressText;
}

void TestReport::realAddress()
{
    QFETCH(int, natMode);
    QFETCH(int, sipState);
    QFETCH(int, addressClass);
    QFETCH(QString, verdict);

    ReportInput in = NatRun();
    in.state.MainAddress = QStringLiteral("198.51.100.7");
    in.state.InterfaceAddress = in.state.MainAddress;
    in.state.ExternalAddress = in.state.MainAddress;
    in.state.AddressClass = static_cast<int16_t>(addressClass);
    in.state.NatMode = static_cast<int16_t>(natMode);
    in.state.SipState = static_cast<int16_t>(sipState);
    in.sipSupCaption = QStringLiteral("Присутствует");
    const ReportOutput out = ComposeReport(in);

    QCOMPARE(out.sipSupCaption, QStringLiteral("Реальный IP адрес"));
    QCOMPARE(VerdictOf(out.reportText, kExcellent), verdict);
    // The NAT line shows the changed caption.
    QVERIFY2(out.reportText.startsWith(QStringLiteral("Внешний адрес NATа: 198.51.100.7 ("))
                 && out.reportText.contains(QStringLiteral(", SIP:Реальный IP адрес, UPnP:Отсутствует)\r\n")),
             qPrintable(out.reportText));
}

void TestReport::addressZeroFirstEntry()
{
    const QString zeroText =
        QStringLiteral("Ошибка при конфигурации основного сетевого интерфейса (IP 0.0.0.0)!\r\n\r\n");
    ReportInput in = NatRun();
    in.table = Table({QStringLiteral("0.0.0.0"), QStringLiteral("192.168.1.10"), QStringLiteral("127.0.0.1")});
    ReportOutput out = ComposeReport(in);
    QCOMPARE(VerdictOf(out.reportText, kExcellent),
             zeroText + P(kR0) + P(kR1) + P(kC2) + P(kC3) + P(kC4) + P(kC5));
    QVERIFY(out.reportText.contains(QStringLiteral("Интерфейсы: 1-0.0.0.0,  2-192.168.1.10,  3-127.0.0.1,  \r\n")));

    // A real address replaces that text.
    in.state.MainAddress = in.state.ExternalAddress;
    in.state.NatMode = kNatOpenInternet;
    out = ComposeReport(in);
    QCOMPARE(VerdictOf(out.reportText, kExcellent), kRealAddressText);
}

void TestReport::publicAddressBehindNat()
{
    ReportInput in = NatRun();
    in.state.AddressClass = 0;
    QCOMPARE(VerdictOf(ComposeReport(in).reportText, kExcellent),
             P(kW1) + P(kR0) + P(kR1) + P(kC2) + P(kC3) + P(kC4) + P(kC5));

    // A "real address" caption set by a SIP answer also keeps W1 away.
    in.sipSupCaption = QStringLiteral("Реальный IP адрес");
    in.state.SipState = kSipRealAddress;
    QCOMPARE(VerdictOf(ComposeReport(in).reportText, kExcellent),
             P(kR0) + P(kR1) + P(kC2) + P(kC3) + P(kC4) + P(kC5));
}

void TestReport::portAllocation_data()
{
    QTest::addColumn<int>("localPort");
    QTest::addColumn<int>("mappedPort");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("natLinePort");
    QTest::addColumn<bool>("pp");

    QTest::newRow("preserved") << 40000 << 40000 << QStringLiteral("Совпадающий порт (Preserves port)")
                               << QStringLiteral(", Port:Совпадающий, ") << true;
    QTest::newRow("random") << 40000 << 40001 << QStringLiteral(" Случайный порт (Random port)")
                            << QStringLiteral(", Port:Случайный, ") << false;
    QTest::newRow("no local port") << 0 << 0 << QStringLiteral("Неизвестно") << QStringLiteral(", Port:Неизвестно, ")
                                   << false;
}

void TestReport::portAllocation()
{
    QFETCH(int, localPort);
    QFETCH(int, mappedPort);
    QFETCH(QString, caption);
    QFETCH(QString, natLinePort);
    QFETCH(bool, pp);

    ReportInput in = NatRun();
    in.probeLocalPort = localPort;
    in.state.MappedPort = mappedPort;
    const ReportOutput out = ComposeReport(in);
    QCOMPARE(out.stunPortCaption, caption);
    const QString natLine = out.reportText.left(out.reportText.indexOf(kCrLf));
    QVERIFY2(natLine.contains(natLinePort), qPrintable(natLine));
    const QString restricted = P(kR0) + P(kR1) + P(kC2) + P(kC3) + P(kC4) + P(kC5);
    QCOMPARE(VerdictOf(out.reportText, kExcellent), pp ? restricted + P(kPP) : restricted);
}

void TestReport::port5060Lines_data()
{
    QTest::addColumn<int>("udp");
    QTest::addColumn<int>("tcp");
    QTest::addColumn<QString>("lines");
    QTest::addColumn<QString>("flags");

    QTest::newRow("both passed") << 1 << 1 << QStringLiteral("Порт UDP 5060 - прошел\r\nПорт TCP 5060 - прошел")
                                 << QStringLiteral("UDP5060-OK, TCP5060-OK)");
    QTest::newRow("none passed") << 0 << 0
                                 << QStringLiteral("Порт UDP 5060 - не прошел\r\nПорт TCP 5060 - не прошел")
                                 << QStringLiteral("UDP5060-NO, TCP5060-NO)");
    QTest::newRow("TCP only") << 0 << 1 << QStringLiteral("Порт UDP 5060 - не прошел\r\nПорт TCP 5060 - прошел")
                              << QStringLiteral("UDP5060-NO, TCP5060-OK)");
}

void TestReport::port5060Lines()
{
    QFETCH(int, udp);
    QFETCH(int, tcp);
    QFETCH(QString, lines);
    QFETCH(QString, flags);

    ReportInput in = NatRun();
    in.state.Udp5060Passed = static_cast<int16_t>(udp);
    in.state.Tcp5060Passed = static_cast<int16_t>(tcp);
    const ReportOutput out = ComposeReport(in);
    QCOMPARE(out.ipsCaption, in.ipsCaption + kCrLf + kCrLf + lines);
    QVERIFY(out.reportText.contains(flags + kCrLf));
}

void TestReport::summaryFlags()
{
    ReportInput in = NatRun();
    in.state.DnsTestPassed = 0;
    in.table.clear();
    in.natTypeCaption = QStringLiteral("Неопределен");  // no second line
    const QString report = ComposeReport(in).reportText;
    QVERIFY2(report.startsWith(QStringLiteral("Внешний адрес NATа: 198.51.100.7 (Неопределен, Port:Случайный, "
                                              "SIP:Отсутствует, UPnP:Отсутствует)\r\nИнтерфейсы: \r\n(DefIP:192.168.1.10, "
                                              "MSK:255.255.255.0, GW:192.168.1.1, DNS-NO, UDP5060-OK, TCP5060-NO)\r\n"
                                              "Задержка:30, Потери:0, Джиттер:20% - ")),
             qPrintable(report));
}

QTEST_GUILESS_MAIN(TestReport)
#include "test_report.moc"
