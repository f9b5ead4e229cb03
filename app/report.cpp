// SPDX-License-Identifier: Apache-2.0
#include "app/report.h"
#include <QCoreApplication>

namespace app {

namespace {

const QString kCrLf = QStringLiteral("\r\n");
QString RealAddress() { return QCoreApplication::translate("Report", "Реальный IP адрес"); }

QString W1() { return QCoreApplication::translate("Report",
    "Внимание компьютер подключен к интернету через NAT и имеет локальный адрес несовместимый с "
    "RFC1918. Это может привести к проблемам при использовании некоторых типов подключения."); }
QString S0() { return QCoreApplication::translate("Report",
    "Для подключения через симметричный UDP фаервол или NAT возможны следующие варианты: "); }
QString S1() { return QCoreApplication::translate("Report",
    "  1. Проброс UDP портов на NATе на данный компьютер или подключаемое устройство (информацию об "
    "используемых портах смотрите в документации на оборудование или ПО, обычно используются 5060 "
    "для сигнализации и 16384-16394 для голосовых пакетов).  В настройках оборудования или ПО "
    "обязательно должен быть указан внешний IP-адрес NATа."); }
QString S2() { return QCoreApplication::translate("Report",
    "  2. Использование специального OutBoundProxy или универсального SIP-прокси типа CommuniGate "
    "Pro. В этом варианте в конфигурации необходимо указать в качестве внешнего адреса, какой либо "
    "адрес из диапазона выделенного RFC 1918 (например, 192.168.1.1)."); }
QString S3() { return QCoreApplication::translate("Report",
    "  3. Использование TURN или ICE технологии, если устройство или ПО поддерживает данный метод "
    "подключения."); }
QString S4() { return QCoreApplication::translate("Report",
    "  В варианте 2 и 3 голосовой трафик будет проходить через прокси или TURN/ICE сервер, что может "
    "негативно повлиять на качество связи."); }
QString SU() { return QCoreApplication::translate("Report",
    "4. Обнаружена поддержка UPnP, если подключаемое устройство или ПО ее поддерживает, то "
    "рекомендуется включить использование UPnP."); }
QString C0() { return QCoreApplication::translate("Report",
    "При использовании конусного NAT-а возможны следующие варианты подключения: "); }
QString C1() { return QCoreApplication::translate("Report", "  1. Использование STUN технологии."); }
QString C5() { return QCoreApplication::translate("Report",
    "  В варианте 3 и 4 голосовой трафик будет проходить через прокси или TURN/ICE сервер, что может "
    "негативно повлиять на качество связи."); }
QString R0() { return QCoreApplication::translate("Report",
    "При использовании NATа с ограниченным конусом возможны следующие варианты подключения: "); }
QString R1() { return QCoreApplication::translate("Report",
    "  1. Использование STUN технологии. Если при работе будут возникать проблемы с односторонней "
    "слышимостью, то необходимо использовать другие варианты подключения."); }
QString A1() { return QCoreApplication::translate("Report",
    "Обнаружена поддержка трансляции протокола SIP на NATе. В данном случае SIP-оборудование или ПО "
    "необходимо настроить обычным образом, как если бы оно было установлено на реальном (публичном) "
    "адресе."); }
QString A2() { return QCoreApplication::translate("Report",
    "Если при данном варианте подключения будут возникать проблемы (иногда бывает при некорректной "
    "реализации обработки SIP на NATе), то рекомендуется отключить на NATе поддержку SIP (SIP ALG) и "
    "запустить тест повторно."); }
QString P0() { return QCoreApplication::translate("Report",
    "Компьютер имеет реальный IP адрес. При  установке на этом компьютере программного телефона его "
    "нужно сконфигурировать без использования STUN сервера в соответствии со стандартными "
    "настройками."); }
QString P1() { return QCoreApplication::translate("Report",
    "Компьютер имеет реальный IP адрес, однако подключен через NAT. При  установке на этом "
    "компьютере программного телефона его нужно сконфигурировать с использованием форварда портов. "
    "В некоторых вариантах возможно использование STUN сервера."); }
QString N6() { return QCoreApplication::translate("Report", "Не удалось провести тестирование NATа."); }
QString PP() { return QCoreApplication::translate("Report",
    "Обнаружен NAT с совпадающим распределением портов. При использовании нескольких "
    "SIP-устройств, расположенных за таким NATом, рекомендуется настраивать их на использование "
    "разных локальных портов для сигнализации."); }

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

// The caption's first word ("Совпадающий", "Случайный", "Неизвестно"), in any language.
QString FirstWord(const QString& caption)
{
    const QString text = TrimBlanks(caption);
    const qsizetype at = text.indexOf(QLatin1Char(' '));
    return at < 0 ? text : text.left(at);
}

QString FirstLine(const QString& caption)
{
    const qsizetype at = caption.indexOf(kCrLf);
    return at < 0 ? caption : caption.left(at);
}

QString Recommendations(const TestRunState& state, const QString& sipSupCaption)
{
    if (state.SipState == kSipTranslated) {
        if (sipSupCaption != RealAddress())
            return A1() + kCrLf + Paragraph(A2());
        return Paragraph(state.NatMode != kNatOpenInternet ? P1() : P0());
    }

    const QString c2 = Renumbered(S1(), QStringLiteral("  1."), QStringLiteral("  2."));
    const QString c3 = Renumbered(S2(), QStringLiteral("  2."), QStringLiteral("  3."));
    const QString c4 = Renumbered(S3(), QStringLiteral("  3."), QStringLiteral("  4."));
    const QString cu = Renumbered(SU(), QStringLiteral("4."), QStringLiteral("5."));
    const bool upnp = state.UpnpFound == 1;

    QString text;
    switch (state.NatMode) {
    case kNatSymmetricFirewall:
    case kNatSymmetric:
        for (const QString& p : {S0(), S1(), S2(), S3(), S4()})
            text += Paragraph(p);
        if (upnp)
            text += Paragraph(SU());
        break;
    case kNatFullCone:
        for (const QString& p : {C0(), C1(), c2, c3, c4, C5()})
            text += Paragraph(p);
        if (upnp)
            text += Paragraph(cu);
        break;
    case kNatRestrictedCone:
    case kNatPortRestrictedCone:
        for (const QString& p : {R0(), R1(), c2, c3, c4, C5()})
            text += Paragraph(p);
        if (upnp)
            text += Paragraph(cu);
        break;
    case kNatUndetermined:
        text += Paragraph(N6());
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
        return QCoreApplication::translate("Report", "Доступ в Интернет отсутствует!") + kCrLf + kCrLf;

    const QString excellent = QCoreApplication::translate("Report", "Качество Интернет канала отличное!");
    const QString good = QCoreApplication::translate("Report", "Качество Интернет канала хорошее!");
    const QString fair = QCoreApplication::translate("Report", "Качество Интернет канала удовлетворительное!");
    const QString poor = QCoreApplication::translate("Report", "Качество Интернет канала неудовлетворительное!");

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
            second = QCoreApplication::translate("Report", "Достаточно большая задержка.");
        } else if (d > 550 && j < 150) {
            grade = fair;
            second = QCoreApplication::translate("Report", "Очень большая задержка.");
        } else if (j > 150 && j < 250) {
            grade = fair;
            second = QCoreApplication::translate("Report", "Наблюдается джиттер.");
        } else if (j > 250) {
            grade = poor;
            second = QCoreApplication::translate("Report", "Очень большой джиттер.");
        }
    } else if (lostPackets == 1 || lostPackets == 2) {
        if (d < 150 && j < 100) {
            grade = good;
            second = QCoreApplication::translate("Report", "Присутствуют ошибки.");
        } else if (d > 150 && d < 250 && j < 150) {
            grade = good;
            second = QCoreApplication::translate("Report", "Присутствуют ошибки.");
        } else if (d > 250 && d < 550 && j < 150) {
            grade = poor;
            second = QCoreApplication::translate("Report", "Достаточно большая задержка и присутствуют ошибки.");
        } else if (d > 550 && j < 150) {
            grade = fair;
            second = QCoreApplication::translate("Report", "Очень большая задержка и присутствуют ошибки.");
        } else if (j > 150 && j < 250) {
            grade = fair;
            second = QCoreApplication::translate("Report", "Наблюдается джиттер и присутствуют ошибки.");
        } else if (j > 250) {
            grade = poor;
            second = QCoreApplication::translate("Report", "Очень большой джиттер и присутствуют ошибки.");
        }
    } else if (lostPackets >= 3) {
        grade = poor;
        second = QCoreApplication::translate("Report", "Очень большой процент ошибок.");
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
            ? QCoreApplication::translate("Report", "Совпадающий порт (Preserves port)")
            : QCoreApplication::translate("Report", " Случайный порт (Random port)");
    }

    // Port 5060 lines of the interface group.
    out.ipsCaption = input.ipsCaption + kCrLf + kCrLf
        + (s.Udp5060Passed == 1 ? QCoreApplication::translate("Report", "Порт UDP 5060 - прошел")
                                : QCoreApplication::translate("Report", "Порт UDP 5060 - не прошел"))
        + kCrLf
        + (s.Tcp5060Passed == 1 ? QCoreApplication::translate("Report", "Порт TCP 5060 - прошел")
                                : QCoreApplication::translate("Report", "Порт TCP 5060 - не прошел"));

    out.sipSupCaption = input.sipSupCaption;
    QString text;

    // Verdict.
    if (s.InterfaceAddress.isEmpty()) {
        text = QCoreApplication::translate("Report", "Компьютер не подключен к сети");
    } else if (s.ExternalAddress.isEmpty()) {
        text = QCoreApplication::translate("Report", "Не удалось определить внешний адрес NATа!");
    } else {
        if (!input.table.isEmpty() && input.table.at(0).Address == QStringLiteral("0.0.0.0"))
            text = QCoreApplication::translate("Report", "Ошибка при конфигурации основного сетевого интерфейса (IP 0.0.0.0)!")
                + kCrLf + kCrLf;
        if (s.ExternalAddress == s.MainAddress) {
            text = QCoreApplication::translate("Report", "Данный компьютер имеет реальный IP адрес.") + kCrLf + kCrLf;
            out.sipSupCaption = RealAddress();
        }
        if (out.sipSupCaption != RealAddress() && s.AddressClass == 0)
            text += Paragraph(W1());
        text += Recommendations(s, out.sipSupCaption);
        if (input.probeLocalPort > 0 && input.probeLocalPort == s.MappedPort)
            text += Paragraph(PP());
        text = GradeText(s.NatMode, s.AvgDelay, s.LostPackets, s.Jitter) + text;
    }

    // Summary, in front: the NAT line, the interface lines, the figures line.
    const QString figures = QCoreApplication::translate("Report", "Задержка:") + QString::number(s.AvgDelay)
        + QCoreApplication::translate("Report", ", Потери:") + QString::number(s.LostPackets)
        + QCoreApplication::translate("Report", ", Джиттер:") + QString::number(s.Jitter) + QStringLiteral("% - ");

    QString interfaces = QCoreApplication::translate("Report", "Интерфейсы: ");
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

    const QString nat = QCoreApplication::translate("Report", "Внешний адрес NATа: ") + input.ipAdrCaption
        + QStringLiteral(" (") + FirstLine(input.natTypeCaption) + QStringLiteral(", Port:")
        + FirstWord(out.stunPortCaption) + QStringLiteral(", SIP:") + out.sipSupCaption
        + QStringLiteral(", UPnP:") + input.upnpCaption + QStringLiteral(")") + kCrLf;

    out.reportText = nat + interfaces + figures + text + QString(127, QLatin1Char('-')) + kCrLf;
    return out;
}

}  // namespace app
