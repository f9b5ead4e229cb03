// SPDX-License-Identifier: Apache-2.0
#include "probes/ipv6_findings.h"

#include "probes/ping_statistics.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QLocale>
#include <algorithm>
#include <array>

namespace probes {

namespace {

const QString kCrLf = QStringLiteral("\r\n");

QString Listed(const QStringList& addresses)
{
    return addresses.isEmpty() ? QCoreApplication::translate("ExtendedFindings", "нет") : addresses.join(QStringLiteral(", "));
}

QString TranslationText(const Ipv6Findings& f)
{
    if (f.stunServer.isEmpty())
        return QCoreApplication::translate("Ipv6Findings", "Трансляция адресов: ") + Ipv6ServerUnset() + QLatin1Char('.');
    const QString asked = QCoreApplication::translate("Ipv6Findings", "Запрос STUN Binding по IPv6 к %1 с %2: ").arg(f.stunServer, f.source.text());
    if (!f.stunAnswered || !f.mapped)
        return asked + QCoreApplication::translate("Ipv6Findings", "ответа нет.");
    QString line = asked + QCoreApplication::translate("Ipv6Findings", "сервер видит %1.").arg(f.mapped->text()) + kCrLf;
    if (!f.translation)
        return line + QCoreApplication::translate("Ipv6Findings", "Трансляция адресов: не определена (сервер назвал адрес не IPv6).");
    switch (f.translation->kind) {
    case Ipv6Translation::None:
        return line + QCoreApplication::translate("Ipv6Findings", "Трансляция адресов: нет, адрес и порт телефона видны серверу как есть.");
    case Ipv6Translation::Npt:
        return line + QCoreApplication::translate("Ipv6Findings", "Трансляция адресов: NPTv6 (RFC 6296) — меняется только префикс сети, "
                                     "порт сохраняется; SIP и RTP работают как без трансляции.");
    case Ipv6Translation::Nat66:
        break;
    }
    return line + QCoreApplication::translate("Ipv6Findings", "Трансляция адресов: NAT66 — адрес заменяется, как в IPv4, порт %1; "
                                 "телефону нужны те же меры, что за NAT IPv4 (STUN, keep-alive).")
                      .arg(f.translation->portPreserved ? QCoreApplication::translate("Ipv6Findings", "сохраняется") : QCoreApplication::translate("Ipv6Findings", "меняется"));
}

QString EchoText(const Ipv6Findings& f)
{
    if (f.echoTarget.isEmpty())
        return {};
    const QString asked = QCoreApplication::translate("Ipv6Findings", "Эхо-запросы ICMPv6 к %1: ").arg(f.echoTarget);
    if (!f.echoSocket)
        return asked + QCoreApplication::translate("Ipv6Findings", "система не дала открыть сокет ICMPv6.");
    const EchoFigures e = SummariseEchoes(f.echoRoundTrips);
    const QLocale locale = QLocale::system();
    QString line = asked + QCoreApplication::translate("Ipv6Findings", "ответов %1 из %2").arg(e.answered).arg(f.echoRoundTrips.size());
    if (e.averageMs)
        line += QCoreApplication::translate("Ipv6Findings", ", средняя задержка %1 мс").arg(locale.toString(*e.averageMs));
    if (e.jitterMs)
        line += QCoreApplication::translate("Ipv6Findings", ", джиттер %1 мс").arg(locale.toString(*e.jitterMs));
    return line + QLatin1Char('.');
}

QString SipCheckLine(const TargetCheck& c)
{
    const QLocale locale = QLocale::system();
    const QString place = QStringLiteral("%1 [%2]:%3").arg(TransportName(c.target.transport), c.target.address,
                                                           QString::number(c.target.port));
    QString result;
    if (!c.checked)
        result = QCoreApplication::translate("Ipv6Section", "не проверялся");
    else if (c.answered && c.target.transport == SipTransport::Udp)
        result = QCoreApplication::translate("Ipv6Section", "ответ %1 на OPTIONS за %2 мс")
                     .arg(c.sipStatus).arg(locale.toString(c.ms));
    else if (c.answered && c.target.transport == SipTransport::Tls)
        result = QCoreApplication::translate("Ipv6Section", "соединение TLS за %1 мс").arg(locale.toString(c.ms));
    else if (c.answered)
        result = QCoreApplication::translate("Ipv6Section", "соединение TCP за %1 мс").arg(locale.toString(c.ms));
    else if (const QString silent = QCoreApplication::translate("Ipv6Section", "нет ответа");
             c.detail.isEmpty() || c.detail == silent)
        result = silent;
    else
        result = QCoreApplication::translate("Ipv6Section", "нет ответа (%1)").arg(c.detail);
    return QStringLiteral("  %1 (%2): %3").arg(place, c.target.host, result);
}

QString SipChecksText(const Ipv6Findings& f)
{
    QStringList lines;
    lines << QCoreApplication::translate("Ipv6Section",
                                         "Серверы SIP провайдера по IPv6 (записи AAAA, RFC 3263), OPTIONS по UDP "
                                         "и соединения TCP и TLS:");
    for (const TargetCheck& c : f.sipChecks)
        lines << SipCheckLine(c);
    return lines.join(kCrLf);
}

}  // namespace

QVector<SipTarget> Ipv6SipTargets(const QVector<TargetCheck>& dnsChecks)
{
    QVector<SipTarget> targets;
    for (const TargetCheck& c : dnsChecks) {
        const SipTarget& t = c.target;
        if (!t.ipv6 || t.address.isEmpty())
            continue;
        const bool seen = std::any_of(targets.cbegin(), targets.cend(), [&t](const SipTarget& o) {
            return o.transport == t.transport && o.address == t.address && o.port == t.port;
        });
        if (!seen)
            targets << t;
    }
    return targets;
}

std::optional<bool> ProviderReachableOverIpv6(const Ipv6Findings& f, int echoesWanted)
{
    const bool echoesDone = !f.echoTarget.isEmpty() && f.echoSocket && echoesWanted > 0
                            && f.echoRoundTrips.size() >= echoesWanted;
    const bool echoAnswered = std::any_of(f.echoRoundTrips.cbegin(), f.echoRoundTrips.cend(),
                                          [](int ms) { return ms >= 0; });
    const bool sipAnswered = std::any_of(f.sipChecks.cbegin(), f.sipChecks.cend(),
                                         [](const TargetCheck& c) { return c.checked && c.answered; });
    if (echoAnswered || sipAnswered)
        return true;
    const bool sipDone = !f.sipChecks.isEmpty()
                         && std::all_of(f.sipChecks.cbegin(), f.sipChecks.cend(),
                                        [](const TargetCheck& c) { return c.checked; });
    if (echoesDone || sipDone)
        return false;
    return std::nullopt;
}

EchoFigures SummariseEchoes(const QList<int>& roundTrips)
{
    // The main test's series is ten echoes; a round trip of 0 ms counts as
    // 1 ms here, since 0 means "lost" to its summary.
    std::array<int16_t, 10> rtt{};
    EchoFigures e;
    for (int i = 0; i < roundTrips.size() && i < 10; ++i) {
        if (roundTrips[i] < 0) {
            ++e.lost;
            continue;
        }
        ++e.answered;
        rtt[static_cast<size_t>(i)] = probes::CappedRoundTrip(static_cast<uint32_t>(std::max(1, roundTrips[i])));
    }
    if (e.answered == 0)
        return e;
    const probes::PingSeriesResult r = probes::SummarizePingSeries(rtt, static_cast<int16_t>(10 - e.answered), -1, -1);
    if (r.avgDelay >= 0)
        e.averageMs = r.avgDelay;
    if (r.jitter >= 0)
        e.jitterMs = r.jitter;
    return e;
}

bool Ipv6Absent(const Ipv6Findings& f)
{
    return f.systemReadable && !f.defaultRoute && !f.addresses.hasGlobal();
}

QString TranslationName(Ipv6Translation t)
{
    switch (t) {
    case Ipv6Translation::None:
        return QStringLiteral("none");
    case Ipv6Translation::Npt:
        return QStringLiteral("nptv6");
    case Ipv6Translation::Nat66:
        break;
    }
    return QStringLiteral("nat66");
}

QString Ipv6SectionText(const Ipv6Findings& f)
{
    if (!f.systemReadable)
        return QCoreApplication::translate("Ipv6Findings", "Сведения об IPv6 недоступны: система не ответила на запрос адресов и маршрутов.");
    if (Ipv6Absent(f))
        return QCoreApplication::translate("Ipv6Findings", "IPv6 на компьютере нет (нет маршрута IPv6 по умолчанию и глобальных адресов): "
                              "телефон будет работать по IPv4.");
    QStringList lines;
    lines << QCoreApplication::translate("Ipv6Findings", "Маршрут IPv6 по умолчанию: ")
                 + (f.defaultRoute ? QCoreApplication::translate("Ipv6Findings", "есть, через %1").arg(f.interfaceName) : QCoreApplication::translate("ExtendedFindings", "нет"));
    lines << QCoreApplication::translate("Ipv6Findings", "Глобальные адреса, временные (RFC 8981): ") + Listed(f.addresses.temporary);
    lines << QCoreApplication::translate("Ipv6Findings", "Глобальные адреса, постоянные: ") + Listed(f.addresses.stable);
    if (!f.addresses.hasGlobal())
        lines << QCoreApplication::translate("Ipv6Findings", "Только локальные адреса: ULA (fc00::/7) — %1, локальные для канала — %2.")
                     .arg(Listed(f.addresses.uniqueLocal), Listed(f.addresses.linkLocal));
    lines << TranslationText(f);
    if (!f.echoTarget.isEmpty())
        lines << EchoText(f);
    if (!f.sipChecks.isEmpty())
        lines << SipChecksText(f);
    QString text = lines.join(kCrLf);
    if (!f.natFindings.isEmpty())
        text += kCrLf + kCrLf + FindingsText(f.natFindings);
    if (f.stopped)
        return text + kCrLf + kCrLf + QCoreApplication::translate("ExtendedNatWindow", "Тест остановлен.");
    return text + kCrLf + kCrLf + QCoreApplication::translate("DoubleNat", "Вывод: ") + f.advice.verdict + QStringLiteral(". ") + f.advice.why;
}

QJsonObject Ipv6SectionJson(const Ipv6Findings& f)
{
    QJsonObject o;
    o[QStringLiteral("available")] = !Ipv6Absent(f) && f.systemReadable;
    o[QStringLiteral("defaultRoute")] = f.defaultRoute;
    o[QStringLiteral("interface")] = f.interfaceName;
    o[QStringLiteral("temporaryAddresses")] = QJsonArray::fromStringList(f.addresses.temporary);
    o[QStringLiteral("stableAddresses")] = QJsonArray::fromStringList(f.addresses.stable);
    o[QStringLiteral("uniqueLocalAddresses")] = QJsonArray::fromStringList(f.addresses.uniqueLocal);
    o[QStringLiteral("linkLocalAddresses")] = QJsonArray::fromStringList(f.addresses.linkLocal);
    QJsonObject stun;
    stun[QStringLiteral("server")] = f.stunServer;
    stun[QStringLiteral("answered")] = f.stunAnswered;
    if (f.stunAnswered) {
        stun[QStringLiteral("source")] = f.source.text();
        if (f.mapped)
            stun[QStringLiteral("mapped")] = f.mapped->text();
    }
    if (f.translation) {
        stun[QStringLiteral("translation")] = TranslationName(f.translation->kind);
        stun[QStringLiteral("portPreserved")] = f.translation->portPreserved;
    }
    o[QStringLiteral("stun")] = stun;
    if (!f.echoTarget.isEmpty()) {
        QJsonObject echo;
        const EchoFigures e = SummariseEchoes(f.echoRoundTrips);
        echo[QStringLiteral("target")] = f.echoTarget;
        echo[QStringLiteral("sent")] = f.echoSocket ? int(f.echoRoundTrips.size()) : 0;
        echo[QStringLiteral("answered")] = e.answered;
        if (e.averageMs)
            echo[QStringLiteral("averageMs")] = *e.averageMs;
        if (e.jitterMs)
            echo[QStringLiteral("jitterMs")] = *e.jitterMs;
        o[QStringLiteral("echoes")] = echo;
    }
    QJsonArray sip;
    for (const TargetCheck& c : f.sipChecks) {
        QJsonObject t;
        t[QStringLiteral("transport")] = TransportName(c.target.transport);
        t[QStringLiteral("host")] = c.target.host;
        t[QStringLiteral("address")] = c.target.address;
        t[QStringLiteral("port")] = c.target.port;
        t[QStringLiteral("checked")] = c.checked;
        t[QStringLiteral("answered")] = c.answered;
        if (c.answered) {
            t[QStringLiteral("ms")] = c.ms;
            if (c.target.transport == SipTransport::Udp)
                t[QStringLiteral("sipStatus")] = c.sipStatus;
        }
        if (c.target.transport == SipTransport::Tls && c.answered)
            t[QStringLiteral("tlsVerified")] = c.tlsVerified;
        t[QStringLiteral("detail")] = c.detail;
        sip.append(t);
    }
    o[QStringLiteral("sipTargets")] = sip;
    o[QStringLiteral("firewall")] = FindingsJson(f.natFindings);
    o[QStringLiteral("family")] = FamilyChoiceName(f.advice.family);
    o[QStringLiteral("verdict")] = f.advice.verdict;
    o[QStringLiteral("stopped")] = f.stopped;
    return o;
}

}  // namespace probes
