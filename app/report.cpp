// SPDX-License-Identifier: Apache-2.0
#include "app/report.h"

namespace app {

namespace {

const QString kCrLf = QStringLiteral("\r\n");
const QString kRealAddress = QStringLiteral("Реальный IP адрес");

const QString kW1 = QStringLiteral(
    "Внимание компьютер подключен к интернету через NAT и имеет локальный адрес несовместимый с "
    "RFC1918. Это может привести к проблемам при использовании некоторых типов подключения.");
const QString kS0 = QStringLiteral(
    "Для подключения через симметричный UDP фаервол или NAT возможны следующие варианты: ");
const QString kS1 = QStringLiteral(
    "  1. Проброс UDP портов на NATе на данный компьютер или подключаемое устройство (информацию об "
    "используемых портах смотрите в документации на оборудование или ПО, обычно используются 5060 "
    "для сигнализации и 16384-16394 для голосовых пакетов).  В настройках оборудования или ПО "
    "обязательно должен быть указан внешний IP-адрес NATа.");
const QString kS2 = QStringLiteral(
    "  2. Использование специального OutBoundProxy или универсального SIP-прокси типа CommuniGate "
    "Pro. В этом варианте в конфигурации необходимо указать в качестве внешнего адреса, какой либо "
    "адрес из диапазона выделенного RFC 1918 (например, 192.168.1.1).");
const QString kS3 = QStringLiteral(
    "  3. Использование TURN или ICE технологии, если устройство или ПО поддерживает данный метод "
    "подключения.");
const QString kS4 = QStringLiteral(
    "  В варианте 2 и 3 голосовой трафик будет проходить через прокси или TURN/ICE сервер, что может "
    "негативно повлиять на качество связи.");
const QString kSU = QStringLiteral(
    "4. Обнаружена поддержка UPnP, если подключаемое устройство или ПО ее поддерживает, то "
    "рекомендуется включить использование UPnP.");
const QString kC0 = QStringLiteral(
    "При использовании конусного NAT-а возможны следующие варианты подключения: ");
const QString kC1 = QStringLiteral("  1. Использование STUN технологии.");
const QString kC5 = QStringLiteral(
    "  В варианте 3 и 4 голосовой трафик будет проходить через прокси или TURN/ICE сервер, что может "
    "негативно повлиять на качество связи.");
const QString kR0 = QStringLiteral(
    "При использовании NATа с ограниченным конусом возможны следующие варианты подключения: ");
const QString kR1 = QStringLiteral(
    "  1. Использование STUN технологии. Если при работе будут возникать проблемы с односторонней "
    "слышимостью, то необходимо использовать другие варианты подключения.");
const QString kA1 = QStringLiteral(
    "Обнаружена поддержка трансляции протокола SIP на NATе. В данном случае SIP-оборудование или ПО "
    "необходимо настроить обычным образом, как если бы оно было установлено на реальном (публичном) "
    "адресе.");
const QString kA2 = QStringLiteral(
    "Если при данном варианте подключения будут возникать проблемы (иногда бывает при некорректной "
    "реализации обработки SIP на NATе), то рекомендуется отключить на NATе поддержку SIP (SIP ALG) и "
    "запустить тест повторно.");
const QString kP0 = QStringLiteral(
    "Компьютер имеет реальный IP адрес. При  установке на этом компьютере программного телефона его "
    "нужно сконфигурировать без использования STUN сервера в соответствии со стандартными "
    "настройками.");
const QString kP1 = QStringLiteral(
    "Компьютер имеет реальный IP адрес, однако подключен через NAT. При  установке на этом "
    "компьютере программного телефона его нужно сконфигурировать с использованием форварда портов. "
    "В некоторых вариантах возможно использование STUN сервера.");
const QString kN6 = QStringLiteral("Не удалось провести тестирование NATа.");
const QString kPP = QStringLiteral(
    "Обнаружен NAT с совпадающим распределением портов. При использовании нескольких "
    "SIP-устройств, расположенных за таким NATом, рекомендуется настраивать их на использование "
    "разных локальных портов для сигнализации.");

// text with its leading `from` replaced by `to`.
QString Renumbered(const QString& text, const QString& from, const QString& to)
{
    Q_ASSERT(text.startsWith(from));
    return to + text.mid(from.size());
}

QString Paragraph(const QString& text)
{
    return text + kCrLf + kCrLf;
}

// Blanks (spaces only) removed at both ends.
QString TrimBlanks(const QString& text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text.at(begin) == QLatin1Char(' '))
        ++begin;
    while (end > begin && text.at(end - 1) == QLatin1Char(' '))
        --end;
    return text.mid(begin, end - begin);
}

QString FirstLine(const QString& caption)
{
    const qsizetype at = caption.indexOf(kCrLf);
    return at < 0 ? caption : caption.left(at);
}

QString Recommendations(const TestRunState& state, const QString& sipSupCaption)
{
    if (state.SipState == kSipTranslated) {
        if (sipSupCaption != kRealAddress)
            return kA1 + kCrLf + Paragraph(kA2);
        return Paragraph(state.NatMode != kNatOpenInternet ? kP1 : kP0);
    }

    const QString c2 = Renumbered(kS1, QStringLiteral("  1."), QStringLiteral("  2."));
    const QString c3 = Renumbered(kS2, QStringLiteral("  2."), QStringLiteral("  3."));
    const QString c4 = Renumbered(kS3, QStringLiteral("  3."), QStringLiteral("  4."));
    const QString cu = Renumbered(kSU, QStringLiteral("4."), QStringLiteral("5."));
    const bool upnp = state.UpnpFound == 1;

    QString text;
    switch (state.NatMode) {
    case kNatSymmetricFirewall:
    case kNatSymmetric:
        for (const QString& p : {kS0, kS1, kS2, kS3, kS4})
            text += Paragraph(p);
        if (upnp)
            text += Paragraph(kSU);
        break;
    case kNatFullCone:
        for (const QString& p : {kC0, kC1, c2, c3, c4, kC5})
            text += Paragraph(p);
        if (upnp)
            text += Paragraph(cu);
        break;
    case kNatRestrictedCone:
    case kNatPortRestrictedCone:
        for (const QString& p : {kR0, kR1, c2, c3, c4, kC5})
            text += Paragraph(p);
        if (upnp)
            text += Paragraph(cu);
        break;
    case kNatUndetermined:
        text += Paragraph(kN6);
        break;
    default:
        break;
    }
    return text;
}

}  // namespace

QString GradeText(int16_t natMode, int16_t avgDelay, int16_t lostPackets, int16_t jitter)
{
    if (natMode == kNatUndetermined && lostPackets == 10)
        return QStringLiteral("Доступ в Интернет отсутствует!") + kCrLf + kCrLf;

    const QString excellent = QStringLiteral("Качество Интернет канала отличное!");
    const QString good = QStringLiteral("Качество Интернет канала хорошее!");
    const QString fair = QStringLiteral("Качество Интернет канала удовлетворительное!");
    const QString poor = QStringLiteral("Качество Интернет канала неудовлетворительное!");

    QString grade;
    QString second;
    const int d = avgDelay;
    const int j = jitter;
    if (lostPackets == 0) {
        if (d < 150 && j < 100) {
            grade = excellent;
        } else if (d > 150 && d < 250 && j < 150) {
            grade = good;
        } else if (d > 250 && d < 550 && j < 150) {
            grade = fair;
            second = QStringLiteral("Достаточно большая задержка.");
        } else if (d > 550 && j < 150) {
            grade = fair;
            second = QStringLiteral("Очень большая задержка.");
        } else if (j > 150 && j < 250) {
            grade = fair;
            second = QStringLiteral("Наблюдается джиттер.");
        } else if (j > 250) {
            grade = poor;
            second = QStringLiteral("Очень большой джиттер.");
        }
    } else if (lostPackets == 1 || lostPackets == 2) {
        if (d < 150 && j < 100) {
            grade = good;
            second = QStringLiteral("Присутствуют ошибки.");
        } else if (d > 150 && d < 250 && j < 150) {
            grade = good;
            second = QStringLiteral("Присутствуют ошибки.");
        } else if (d > 250 && d < 550 && j < 150) {
            grade = poor;
            second = QStringLiteral("Достаточно большая задержка и присутствуют ошибки.");
        } else if (d > 550 && j < 150) {
            grade = fair;
            second = QStringLiteral("Очень большая задержка и присутствуют ошибки.");
        } else if (j > 150 && j < 250) {
            grade = fair;
            second = QStringLiteral("Наблюдается джиттер и присутствуют ошибки.");
        } else if (j > 250) {
            grade = poor;
            second = QStringLiteral("Очень большой джиттер и присутствуют ошибки.");
        }
    } else if (lostPackets >= 3) {
        grade = poor;
        second = QStringLiteral("Очень большой процент ошибок.");
    }

    if (grade.isEmpty())
        return {};
    QString text = grade + kCrLf;
    if (!second.isEmpty())
        text += second + kCrLf;
    return text + kCrLf;
}

ReportOutput ComposeReport(const ReportInput& input)
{
    const TestRunState& s = input.state;
    ReportOutput out;

    // Port allocation.
    out.stunPortCaption = input.stunPortCaption;
    if (input.probeLocalPort > 0) {
        out.stunPortCaption = s.MappedPort == input.probeLocalPort
            ? QStringLiteral("Совпадающий порт (Preserves port)")
            : QStringLiteral(" Случайный порт (Random port)");
    }

    // Port 5060 lines of the interface group.
    out.ipsCaption = input.ipsCaption + kCrLf + kCrLf
        + (s.Udp5060Passed == 1 ? QStringLiteral("Порт UDP 5060 - прошел")
                                : QStringLiteral("Порт UDP 5060 - не прошел"))
        + kCrLf
        + (s.Tcp5060Passed == 1 ? QStringLiteral("Порт TCP 5060 - прошел")
                                : QStringLiteral("Порт TCP 5060 - не прошел"));

    out.sipSupCaption = input.sipSupCaption;
    QString text;

    // Verdict.
    if (s.InterfaceAddress.isEmpty()) {
        text = QStringLiteral("Компьютер не подключен к сети");
    } else if (s.ExternalAddress.isEmpty()) {
        text = QStringLiteral("Не удалось определить внешний адрес NATа!");
    } else {
        if (!input.table.isEmpty() && input.table.at(0).Address == QStringLiteral("0.0.0.0"))
            text = QStringLiteral("Ошибка при конфигурации основного сетевого интерфейса (IP 0.0.0.0)!")
                + kCrLf + kCrLf;
        if (s.ExternalAddress == s.MainAddress) {
            text = QStringLiteral("Данный компьютер имеет реальный IP адрес.") + kCrLf + kCrLf;
            out.sipSupCaption = kRealAddress;
        }
        if (out.sipSupCaption != kRealAddress && s.AddressClass == 0)
            text += Paragraph(kW1);
        text += Recommendations(s, out.sipSupCaption);
        if (input.probeLocalPort > 0 && input.probeLocalPort == s.MappedPort)
            text += Paragraph(kPP);
        text = GradeText(s.NatMode, s.AvgDelay, s.LostPackets, s.Jitter) + text;
    }

    // Summary, in front: the NAT line, the interface lines, the figures line.
    const QString figures = QStringLiteral("Задержка:") + QString::number(s.AvgDelay)
        + QStringLiteral(", Потери:") + QString::number(s.LostPackets)
        + QStringLiteral(", Джиттер:") + QString::number(s.Jitter) + QStringLiteral("% - ");

    QString interfaces = QStringLiteral("Интерфейсы: ");
    for (qsizetype i = 0; i < input.table.size(); ++i)
        interfaces += QString::number(i + 1) + QStringLiteral("-") + input.table.at(i).Address
            + QStringLiteral(",  ");
    interfaces += kCrLf + QStringLiteral("(DefIP:") + s.MainAddress + QStringLiteral(", MSK:")
        + s.MainMask + QStringLiteral(", GW:") + s.Gateway + QStringLiteral(", ")
        + (s.DnsTestPassed == 1 ? QStringLiteral("DNS-OK") : QStringLiteral("DNS-NO"))
        + QStringLiteral(", ")
        + (s.Udp5060Passed == 1 ? QStringLiteral("UDP5060-OK, ") : QStringLiteral("UDP5060-NO, "))
        + (s.Tcp5060Passed == 1 ? QStringLiteral("TCP5060-OK") : QStringLiteral("TCP5060-NO"))
        + QStringLiteral(")") + kCrLf;

    const QString nat = QStringLiteral("Внешний адрес NATа: ") + input.ipAdrCaption
        + QStringLiteral(" (") + FirstLine(input.natTypeCaption) + QStringLiteral(", Port:")
        + TrimBlanks(out.stunPortCaption.left(11)) + QStringLiteral(", SIP:") + out.sipSupCaption
        + QStringLiteral(", UPnP:") + input.upnpCaption + QStringLiteral(")") + kCrLf;

    out.reportText = nat + interfaces + figures + text + QString(127, QLatin1Char('-')) + kCrLf;
    return out;
}

}  // namespace app
