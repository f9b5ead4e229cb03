// SPDX-License-Identifier: Apache-2.0
#include "probes/extended_summary.h"

#include <QJsonArray>
#include <QLocale>
#include <algorithm>
#include <QCoreApplication>

namespace probes {

namespace {

QString Word(const QJsonObject& o, const char* key)
{
    return o.value(QLatin1String(key)).toString();
}

SummaryRow Row(const char* key, const QString& name, Mark mark, const QString& result)
{
    return {QString::fromLatin1(key), name, mark, result};
}

// Mapping and filtering share their words (RFC 4787 sections 4.1 and 5).
SummaryRow BehaviourRow(const char* key, const QString& name, const QString& behaviour, bool mapping)
{
    if (behaviour == QLatin1String("no-nat"))
        return Row(key, name, Mark::Green, QCoreApplication::translate("ExtendedSummary", "NAT нет"));
    if (behaviour == QLatin1String("endpoint-independent"))
        return Row(key, name, Mark::Green, QCoreApplication::translate("ExtendedSummary", "не зависит от адресата"));
    if (behaviour == QLatin1String("address-dependent") || behaviour == QLatin1String("address-and-port-dependent")) {
        const QString what = behaviour == QLatin1String("address-dependent") ? QCoreApplication::translate("ExtendedSummary", "зависит от адреса")
                                                                              : QCoreApplication::translate("ExtendedSummary", "зависит от адреса и порта");
        // A mapping per destination makes the STUN address useless for the
        // provider's server; a filter only needs the phone to send first.
        return Row(key, name, Mark::Yellow,
                   what + (mapping ? QCoreApplication::translate("ExtendedSummary", ": STUN не поможет, нужен outbound proxy")
                                   : QCoreApplication::translate("ExtendedSummary", ": телефон должен отправлять первым")));
    }
    return Row(key, name, Mark::Grey, QCoreApplication::translate("ExtendedSummary", "не измерено"));
}

SummaryRow HairpinRow(const QString& result)
{
    const QString name = QString::fromUtf8(QT_TRANSLATE_NOOP("ExtendedSummary", "Петля через NAT"));
    if (result == QLatin1String("supported") || result == QLatin1String("no-nat"))
        return Row("hairpin", name, Mark::Green,
                   result == QLatin1String("no-nat") ? QCoreApplication::translate("ExtendedSummary", "NAT нет") : QCoreApplication::translate("ExtendedSummary", "поддерживается"));
    if (result == QLatin1String("supported-other-port"))
        return Row("hairpin", name, Mark::Yellow, QCoreApplication::translate("ExtendedSummary", "поддерживается, с другим внешним портом"));
    if (result == QLatin1String("not-supported"))
        return Row("hairpin", name, Mark::Yellow,
                   QCoreApplication::translate("ExtendedSummary", "не поддерживается: звонки между телефонами этой сети через сервер"));
    if (result == QLatin1String("internal-source"))
        return Row("hairpin", name, Mark::Red, QCoreApplication::translate("ExtendedSummary", "виден внутренний адрес: возможен односторонний звук"));
    return Row("hairpin", name, Mark::Grey, QCoreApplication::translate("ExtendedSummary", "не измерено"));
}

SummaryRow RtpPairRow(const QJsonObject& o)
{
    const QString name = QString::fromUtf8(QT_TRANSLATE_NOOP("ExtendedSummary", "Пара портов RTP/RTCP"));
    if (!Word(o, "result").isEmpty())
        return Row("rtp-pair", name, Mark::Grey, QCoreApplication::translate("ExtendedSummary", "не измерено"));
    if (o.value(QStringLiteral("preserved")).toBool())
        return Row("rtp-pair", name, Mark::Green, QCoreApplication::translate("ExtendedSummary", "порты сохраняются"));
    if (o.value(QStringLiteral("parityKept")).toBool() && o.value(QStringLiteral("adjacent")).toBool())
        return Row("rtp-pair", name, Mark::Green, QCoreApplication::translate("ExtendedSummary", "пара сохраняется"));
    return Row("rtp-pair", name, Mark::Yellow, QCoreApplication::translate("ExtendedSummary", "пара не сохраняется: включите rtcp-mux на телефоне"));
}

SummaryRow LifetimeRow(const QJsonObject& o)
{
    const QString name = QString::fromUtf8(QT_TRANSLATE_NOOP("ExtendedSummary", "Время жизни отображения"));
    const QString result = Word(o, "result");
    const int keepAlive = o.value(QStringLiteral("keepAliveSeconds")).toInt();
    const QLocale locale = QLocale::system();
    if (result == QLatin1String("no-binding"))
        return Row("lifetime", name, Mark::Green, QCoreApplication::translate("ExtendedSummary", "ничто не хранит отображение: keep-alive не нужен"));
    if (result == QLatin1String("at-least-cap"))
        return Row("lifetime", name, Mark::Green,
                   QCoreApplication::translate("ExtendedSummary", "не меньше %1 с").arg(locale.toString(o.value(QStringLiteral("lastAliveSeconds")).toInt())));
    if ((result == QLatin1String("measured") || result == QLatin1String("below-first-step")) && keepAlive > 0) {
        // Bindings that die within the first step lose calls between two keep-alives.
        const Mark mark = result == QLatin1String("below-first-step") ? Mark::Red : Mark::Yellow;
        return Row("lifetime", name, mark, QCoreApplication::translate("ExtendedSummary", "keep-alive не реже чем раз в %1 с").arg(locale.toString(keepAlive)));
    }
    return Row("lifetime", name, Mark::Grey, QCoreApplication::translate("ExtendedSummary", "не измерено"));
}

SummaryRow NatRow(const QString& verdict)
{
    const QString name = QString::fromUtf8(QT_TRANSLATE_NOOP("ExtendedSummary", "Число NAT на пути"));
    if (verdict == QLatin1String("single"))
        return Row("nat", name, Mark::Green, QCoreApplication::translate("ExtendedSummary", "один NAT"));
    if (verdict == QLatin1String("none"))
        return Row("nat", name, Mark::Green, QCoreApplication::translate("ExtendedSummary", "NAT не обнаружен"));
    if (verdict == QLatin1String("double"))
        return Row("nat", name, Mark::Yellow, QCoreApplication::translate("ExtendedSummary", "двойной NAT"));
    if (verdict == QLatin1String("cgnat"))
        return Row("nat", name, Mark::Yellow, QCoreApplication::translate("ExtendedSummary", "NAT оператора (CGNAT): входящие звонки только через keep-alive"));
    return Row("nat", name, Mark::Grey, QCoreApplication::translate("ExtendedSummary", "не удалось определить"));
}

SummaryRow PortsRow(const QJsonObject& paths)
{
    const QString name = QString::fromUtf8(QT_TRANSLATE_NOOP("ExtendedSummary", "Управление портами"));
    QStringList found;
    if (paths.value(QStringLiteral("upnpIgd")).toObject().value(QStringLiteral("answered")).toBool())
        found << QStringLiteral("UPnP IGD");
    if (paths.value(QStringLiteral("natPmp")).toBool())
        found << QStringLiteral("NAT-PMP");
    if (paths.value(QStringLiteral("pcp")).toBool())
        found << QStringLiteral("PCP");
    // Not needed for SIP through the provider's server: no protocol is no fault.
    if (found.isEmpty())
        return Row("ports", name, Mark::Grey, QCoreApplication::translate("ExtendedSummary", "маршрутизатор не предлагает"));
    return Row("ports", name, Mark::Green, found.join(QStringLiteral(", ")));
}

SummaryRow VoiceRow(const QJsonObject& v)
{
    const QString name = QString::fromUtf8(QT_TRANSLATE_NOOP("ExtendedSummary", "Качество голосового тракта"));
    if (v.value(QStringLiteral("sent")).toInt() <= 0)
        return Row("voice", name, Mark::Grey, QCoreApplication::translate("ExtendedSummary", "не измерено"));
    if (!v.value(QStringLiteral("rated")).toBool())
        return Row("voice", name, Mark::Red, QCoreApplication::translate("ExtendedSummary", "вернулось меньше половины пакетов"));
    const double mos = v.value(QStringLiteral("MOS")).toDouble();
    const QString text = QStringLiteral("MOS %1").arg(QLocale::system().toString(mos, 'f', 2));
    // G.107 Annex B: R 80 (MOS 4.0) and above satisfies, below 60 (MOS 3.1) many are dissatisfied.
    if (mos >= 4.0)
        return Row("voice", name, Mark::Green, text + QCoreApplication::translate("ExtendedSummary", ", хорошо"));
    if (mos >= 3.1)
        return Row("voice", name, Mark::Yellow, text + QCoreApplication::translate("ExtendedSummary", ", удовлетворительно"));
    return Row("voice", name, Mark::Red, text + QCoreApplication::translate("ExtendedSummary", ", плохо"));
}

SummaryRow DnsRow(const QJsonObject& d)
{
    const QString name = QString::fromUtf8(QT_TRANSLATE_NOOP("ExtendedSummary", "SIP-серверы домена"));
    const QJsonArray targets = d.value(QStringLiteral("targets")).toArray();
    int checked = 0, answered = 0;
    for (const QJsonValue& t : targets) {
        checked += t.toObject().value(QStringLiteral("checked")).toBool() ? 1 : 0;
        answered += t.toObject().value(QStringLiteral("answered")).toBool() ? 1 : 0;
    }
    if (answered > 0)
        return Row("dns", name, Mark::Green, QCoreApplication::translate("ExtendedSummary", "отвечают: %1 из %2").arg(answered).arg(checked));
    if (checked > 0)
        return Row("dns", name, Mark::Red, QCoreApplication::translate("ExtendedSummary", "ни один сервер не ответил"));
    return Row("dns", name, Mark::Grey, QCoreApplication::translate("ExtendedSummary", "серверы не найдены"));
}

// The IPv6 section's advice (extendedNat.ipv6): green when a phone can use
// IPv6, red when IPv6 is there but broken, grey when there is none to judge.
SummaryRow Ipv6Row(const QJsonObject& ipv6)
{
    const QString name = QStringLiteral("IPv6");
    const QString verdict = ipv6.value(QStringLiteral("verdict")).toString();
    const QString family = ipv6.value(QStringLiteral("family")).toString();
    if (verdict.isEmpty())
        return Row("ipv6", name, Mark::Grey, QCoreApplication::translate("ExtendedSummary", "не проверен"));
    if (family == QLatin1String("ipv6"))
        return Row("ipv6", name, Mark::Green, verdict);
    if (family == QLatin1String("either"))
        return Row("ipv6", name, ipv6.value(QStringLiteral("stun")).toObject().value(QStringLiteral("answered")).toBool()
                                     ? Mark::Yellow : Mark::Grey, verdict);
    return Row("ipv6", name, ipv6.value(QStringLiteral("available")).toBool() ? Mark::Red : Mark::Grey, verdict);
}

// What the mirror on the provider's server saw (extendedNat.sipPath).
SummaryRow SipPathRow(const QJsonObject& sip)
{
    const QString name = QString::fromUtf8(QT_TRANSLATE_NOOP("ExtendedSummary", "SIP через маршрутизатор"));
    if (!sip.value(QStringLiteral("supported")).toBool())
        return Row("sip", name, Mark::Grey, QCoreApplication::translate("ExtendedSummary", "сервер не поддерживает проверку"));
    bool changed = false, alg = false;
    for (const QJsonValue& check : sip.value(QStringLiteral("checks")).toArray()) {
        for (const char* message : {"invite", "register"}) {
            for (const QJsonValue& d : check.toObject().value(QLatin1String(message)).toArray()) {
                changed = true;
                alg = alg || d.toObject().value(QStringLiteral("toExternalAddress")).toBool();
            }
        }
    }
    if (alg)
        return Row("sip", name, Mark::Red, QCoreApplication::translate("ExtendedSummary", "маршрутизатор переписывает SIP (SIP ALG)"));
    if (changed)
        return Row("sip", name, Mark::Yellow, QCoreApplication::translate("ExtendedSummary", "SIP изменяется по пути"));
    return Row("sip", name, Mark::Green, QCoreApplication::translate("ExtendedSummary", "SIP проходит без изменений"));
}

}  // namespace

QString MarkName(Mark mark)
{
    switch (mark) {
    case Mark::Green: return QStringLiteral("green");
    case Mark::Yellow: return QStringLiteral("yellow");
    case Mark::Red: return QStringLiteral("red");
    case Mark::Grey: break;
    }
    return QStringLiteral("grey");
}

QString MarkText(Mark mark)
{
    switch (mark) {
    case Mark::Green: return QCoreApplication::translate("ExtendedSummary", "в порядке");
    case Mark::Yellow: return QCoreApplication::translate("ExtendedSummary", "нужна настройка");
    case Mark::Red: return QCoreApplication::translate("ExtendedSummary", "проблема");
    case Mark::Grey: break;
    }
    return QCoreApplication::translate("ExtendedSummary", "нет данных");
}

ExtendedSummary SummarizeExtended(const QJsonObject& f)
{
    ExtendedSummary s;
    auto member = [&f](const char* key) { return f.value(QLatin1String(key)).toObject(); };
    if (f.contains(QStringLiteral("mapping")))
        s.rows << BehaviourRow("mapping", QString::fromUtf8(QT_TRANSLATE_NOOP("ExtendedSummary", "Отображение адресов")), Word(member("mapping"), "behaviour"), true);
    if (f.contains(QStringLiteral("filtering")))
        s.rows << BehaviourRow("filtering", QString::fromUtf8(QT_TRANSLATE_NOOP("ExtendedSummary", "Фильтрация входящих")), Word(member("filtering"), "behaviour"),
                               false);
    if (f.contains(QStringLiteral("hairpin")))
        s.rows << HairpinRow(Word(member("hairpin"), "result"));
    if (f.contains(QStringLiteral("rtp-pair")))
        s.rows << RtpPairRow(member("rtp-pair"));
    if (f.contains(QStringLiteral("lifetime")))
        s.rows << LifetimeRow(member("lifetime"));
    const QJsonObject paths = member("paths");
    if (paths.contains(QStringLiteral("natVerdict")))
        s.rows << NatRow(Word(paths, "natVerdict"));
    if (paths.contains(QStringLiteral("upnpIgd")))
        s.rows << PortsRow(paths);
    if (paths.contains(QStringLiteral("voice")))
        s.rows << VoiceRow(paths.value(QStringLiteral("voice")).toObject());
    if (paths.contains(QStringLiteral("sipDns")))
        s.rows << DnsRow(paths.value(QStringLiteral("sipDns")).toObject());
    if (f.contains(QStringLiteral("sipPath")))
        s.rows << SipPathRow(member("sipPath"));
    if (f.contains(QStringLiteral("ipv6")))
        s.rows << Ipv6Row(member("ipv6"));

    // The action: the first that applies, most harmful first.
    auto row = [&s](const char* key) -> const SummaryRow* {
        for (const SummaryRow& r : s.rows)
            if (r.key == QLatin1String(key))
                return &r;
        return nullptr;
    };
    const SummaryRow* lifetime = row("lifetime");
    const SummaryRow* dns = row("dns");
    const SummaryRow* voice = row("voice");
    const SummaryRow* mapping = row("mapping");
    const SummaryRow* hairpin = row("hairpin");
    const SummaryRow* nat = row("nat");
    const SummaryRow* rtp = row("rtp-pair");
    const SummaryRow* sip = row("sip");
    const SummaryRow* ipv6 = row("ipv6");
    if (sip && sip->mark == Mark::Red)
        s.action = QCoreApplication::translate("ExtendedSummary", "Отключите SIP ALG на маршрутизаторе");
    else if (dns && dns->mark == Mark::Red)
        s.action = QCoreApplication::translate("ExtendedSummary", "Серверы провайдера не отвечают: проверьте, не блокирует ли их маршрутизатор или сеть");
    else if (lifetime && lifetime->mark != Mark::Grey && lifetime->mark != Mark::Green)
        s.action = QCoreApplication::translate("ExtendedSummary", "Настройте keep-alive не реже чем раз в %1 с")
                       .arg(QLocale::system().toString(member("lifetime").value(QStringLiteral("keepAliveSeconds")).toInt()));
    else if (hairpin && hairpin->mark == Mark::Red)
        s.action = QCoreApplication::translate("ExtendedSummary", "Для звонков внутри сети используйте SIP-прокси провайдера, а не прямые адреса");
    else if (mapping && mapping->mark == Mark::Yellow)
        s.action = QCoreApplication::translate("ExtendedSummary", "Отключите STUN на телефоне и используйте outbound proxy провайдера");
    else if (voice && voice->mark == Mark::Red)
        s.action = QCoreApplication::translate("ExtendedSummary", "Линия теряет или задерживает слишком много пакетов: обратитесь к провайдеру Интернета");
    else if (nat && nat->mark == Mark::Yellow)
        s.action = QCoreApplication::translate("ExtendedSummary", "Включите на телефоне keep-alive: за двумя NAT входящие звонки держатся только на нём");
    else if (rtp && rtp->mark == Mark::Yellow)
        s.action = QCoreApplication::translate("ExtendedSummary", "Включите rtcp-mux на телефоне");
    else if (ipv6 && ipv6->mark == Mark::Red)
        s.action = QCoreApplication::translate("ExtendedSummary", "Отключите IPv6 в телефоне: серверы провайдера по IPv6 недоступны");
    else if (s.rows.isEmpty() || std::all_of(s.rows.cbegin(), s.rows.cend(), [](const SummaryRow& r) { return r.mark == Mark::Grey; }))
        s.action = QCoreApplication::translate("ExtendedSummary", "Измерить не удалось: см. подробности ниже");
    else
        s.action = QCoreApplication::translate("ExtendedSummary", "Всё в порядке");
    return s;
}

QString ShownRowName(const QString& name)
{
    return QCoreApplication::translate("ExtendedSummary", name.toUtf8().constData());
}

QJsonObject SummaryJson(const ExtendedSummary& summary)
{
    QJsonArray rows;
    for (const SummaryRow& r : summary.rows)
        rows.append(QJsonObject{{QStringLiteral("key"), r.key},
                                {QStringLiteral("name"), r.name},
                                {QStringLiteral("mark"), MarkName(r.mark)},
                                {QStringLiteral("markText"), MarkText(r.mark)},
                                {QStringLiteral("result"), r.result}});
    return QJsonObject{{QStringLiteral("action"), summary.action}, {QStringLiteral("rows"), rows}};
}

}  // namespace probes
