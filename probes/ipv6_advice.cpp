// SPDX-License-Identifier: Apache-2.0
#include "probes/ipv6_advice.h"

#include <QCoreApplication>
#include <QLocale>

namespace probes {

namespace {

QString Seconds(int s)
{
    return QCoreApplication::translate("Ipv6Advice", "%1 с").arg(QLocale::system().toString(s));
}

QString KeepAliveText(const Ipv6Evidence& e)
{
    if (e.keepAlive6Seconds <= 0)
        return QCoreApplication::translate("Ipv6Advice", "Интервал keep-alive для IPv6 не измерен.");
    QString t = QCoreApplication::translate("Ipv6Advice", "Keep-alive для IPv6 — не реже чем раз в %1").arg(Seconds(e.keepAlive6Seconds));
    if (e.keepAlive4Seconds <= 0)
        return t + QLatin1Char('.');
    if (e.keepAlive4Seconds == e.keepAlive6Seconds)
        return t + QCoreApplication::translate("Ipv6Advice", ", как и для IPv4.");
    return t + QCoreApplication::translate("Ipv6Advice", " (для IPv4 — %1).").arg(Seconds(e.keepAlive4Seconds));
}

}  // namespace

Ipv6Advice AdviseFamily(const Ipv6Evidence& e)
{
    Ipv6Advice a;
    // Only ULA or link-local addresses still reach the provider through a
    // prefix translation or NAT66: then the answers say so.
    const bool reached = e.stunAnswered.value_or(false) || e.providerReachable.value_or(false);
    if (!e.defaultRoute || (!e.globalAddress && !reached)) {
        a.family = FamilyChoice::Ipv4;
        a.verdict = QCoreApplication::translate("Ipv6Advice", "IPv6 недоступен");
        a.why = !e.defaultRoute ? QCoreApplication::translate("Ipv6Advice", "У компьютера нет маршрута IPv6 по умолчанию: телефон будет работать по IPv4.")
                                : QCoreApplication::translate("Ipv6Advice", "У компьютера нет глобального адреса IPv6: телефон будет работать по IPv4.");
        return a;
    }
    // The provider is there over IPv6 (AAAA records) but does not answer: a
    // phone that prefers IPv6 waits for timeouts before it falls back.
    const bool stunFailed = e.stunAnswered == std::optional<bool>(false);
    const bool providerFailed = e.providerReachable == std::optional<bool>(false);
    if ((e.aaaaTargets && providerFailed) || (stunFailed && e.providerReachable != std::optional<bool>(true))) {
        a.family = FamilyChoice::Ipv4;
        a.verdict = QCoreApplication::translate("Ipv6Advice", "IPv6 не работает");
        a.why = QCoreApplication::translate("Ipv6Advice", "Серверы провайдера недостижимы по IPv6, хотя IPv6 на компьютере настроен. "
                               "Отключите IPv6 в телефоне или используйте IPv4-адрес сервера.");
        return a;
    }
    if (!e.stunAnswered && !e.providerReachable) {
        a.family = FamilyChoice::Either;
        a.verdict = QCoreApplication::translate("Ipv6Advice", "IPv6 не проверен");
        a.why = QCoreApplication::translate("Ipv6Advice", "IPv6 на компьютере настроен, но у провайдера не задан адрес IPv6: "
                               "проверить работу телефона по IPv6 нечем.");
        return a;
    }
    if (e.translation && e.translation->kind == Ipv6Translation::Nat66) {
        a.family = FamilyChoice::Either;
        a.verdict = QCoreApplication::translate("Ipv6Advice", "IPv6 работает через NAT66");
        a.why = QCoreApplication::translate("Ipv6Advice", "Адрес IPv6 транслируется так же, как в IPv4, поэтому у IPv6 нет преимуществ: "
                               "подходит любой протокол. ") + KeepAliveText(e);
        return a;
    }
    a.family = FamilyChoice::Ipv6;
    a.verdict = QCoreApplication::translate("Ipv6Advice", "IPv6 работает");
    a.why = e.translation && e.translation->kind == Ipv6Translation::Npt
                ? QCoreApplication::translate("Ipv6Advice", "Префикс меняется без изменения порта (NPTv6), SIP и RTP работают как без трансляции. ")
                : QCoreApplication::translate("Ipv6Advice", "Адрес телефона виден серверу без трансляции. ");
    if (e.inboundOpen)
        a.why += QCoreApplication::translate("Ipv6Advice", "Входящие пакеты IPv6 не фильтруются, keep-alive для межсетевого экрана не нужен.");
    else
        a.why += QCoreApplication::translate("Ipv6Advice", "Нужно только поддерживать открытым межсетевой экран маршрутизатора. ") + KeepAliveText(e);
    return a;
}

QString FamilyChoiceName(FamilyChoice f)
{
    switch (f) {
    case FamilyChoice::Ipv6:
        return QStringLiteral("ipv6");
    case FamilyChoice::Ipv4:
        return QStringLiteral("ipv4");
    case FamilyChoice::Either:
        break;
    }
    return QStringLiteral("either");
}

}  // namespace probes
