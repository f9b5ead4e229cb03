// SPDX-License-Identifier: Apache-2.0
#include "probes/double_nat.h"

#include <QHostAddress>

namespace probes {

namespace {

bool InNet(uint32_t a, uint32_t net, int bits)
{
    const uint32_t mask = bits == 0 ? 0 : ~uint32_t(0) << (32 - bits);
    return (a & mask) == (net & mask);
}

QString Shown(const QString& address, bool answered = false)
{
    if (answered && (address.isEmpty() || address == QLatin1String("0.0.0.0")))
        return QStringLiteral("не сообщён");
    if (address.isEmpty())
        return QStringLiteral("нет ответа");
    return address + QStringLiteral(" (") + AddressClassText(ClassifyAddress(address)) + QStringLiteral(")");
}

// The gateway's own idea of its external address: the IGD's, else NAT-PMP's.
QString GatewayAddress(const NatEvidence& e)
{
    for (const QString& a : {e.igdExternalAddress, e.natPmpExternalAddress})
        switch (ClassifyAddress(a)) {
        case AddressClass::Private:
        case AddressClass::Shared:
        case AddressClass::Public:
            return a;
        default:
            break;  // 0.0.0.0 and the like: the gateway has no usable address
        }
    return {};
}

}  // namespace

AddressClass ClassifyAddress(const QString& dotted)
{
    QHostAddress h;
    if (!h.setAddress(dotted) || h.protocol() != QHostAddress::IPv4Protocol)
        return AddressClass::Invalid;
    const uint32_t a = h.toIPv4Address();
    if (a == 0)
        return AddressClass::Invalid;
    if (InNet(a, 0x0A000000, 8) || InNet(a, 0xAC100000, 12) || InNet(a, 0xC0A80000, 16))
        return AddressClass::Private;   // RFC 1918 section 3
    if (InNet(a, 0x64400000, 10))
        return AddressClass::Shared;    // RFC 6598 section 7
    if (InNet(a, 0x00000000, 8) || InNet(a, 0x7F000000, 8) || InNet(a, 0xA9FE0000, 16)
        || InNet(a, 0xE0000000, 3))
        return AddressClass::Special;   // this network, loopback, link-local, multicast and above
    return AddressClass::Public;
}

QString AddressClassText(AddressClass c)
{
    switch (c) {
    case AddressClass::Private: return QStringLiteral("частный, RFC 1918");
    case AddressClass::Shared: return QStringLiteral("адрес NAT оператора, RFC 6598");
    case AddressClass::Special: return QStringLiteral("служебный");
    case AddressClass::Public: return QStringLiteral("публичный");
    case AddressClass::Invalid: break;
    }
    return QStringLiteral("неверный адрес");
}

NatVerdictResult JudgeNat(const NatEvidence& e)
{
    const AddressClass local = ClassifyAddress(e.localAddress);
    const bool mapped = ClassifyAddress(e.stunMappedAddress) != AddressClass::Invalid;
    if (mapped && e.stunMappedAddress == e.localAddress && local == AddressClass::Public)
        return {NatVerdict::None, QStringLiteral("STUN-сервер видит адрес самого компьютера")};

    const QString gateway = GatewayAddress(e);
    if (!gateway.isEmpty()) {
        switch (ClassifyAddress(gateway)) {
        case AddressClass::Shared:
            return {NatVerdict::Carrier,
                    QStringLiteral("внешний адрес маршрутизатора ") + gateway
                        + QStringLiteral(" из диапазона NAT оператора 100.64.0.0/10")};
        case AddressClass::Private:
            return {NatVerdict::Double, QStringLiteral("внешний адрес маршрутизатора ") + gateway
                                            + QStringLiteral(" частный: за ним ещё один NAT")};
        default:
            break;
        }
        if (mapped && e.stunMappedAddress != gateway)
            return {NatVerdict::Carrier,
                    QStringLiteral("маршрутизатор имеет публичный адрес ") + gateway
                        + QStringLiteral(", а STUN-сервер видит другой адрес ") + e.stunMappedAddress
                        + QStringLiteral(": адрес заменяет ещё один NAT у оператора")};
        return {NatVerdict::Single, QStringLiteral("внешний адрес маршрутизатора публичный")
                                        + QString(mapped ? QStringLiteral(" и совпадает с адресом, который видит STUN-сервер")
                                                         : QString())};
    }

    // Without the gateway's word only the routers beyond the first one tell:
    // the first that answered, behind a computer that is itself behind a NAT.
    const bool behindNat = (mapped && e.stunMappedAddress != e.localAddress)
        || local == AddressClass::Private || local == AddressClass::Shared;
    if (behindNat) {
        for (int i = 1; i < e.hops.size(); ++i) {
            const QString& hop = e.hops[i];
            switch (ClassifyAddress(hop)) {
            case AddressClass::Shared:
                return {NatVerdict::Carrier, QStringLiteral("маршрутизатор на шаге %1 (%2) в диапазоне NAT оператора 100.64.0.0/10")
                                                 .arg(i + 1).arg(hop)};
            case AddressClass::Private:
                return {NatVerdict::Double, QStringLiteral("маршрутизатор на шаге %1 (%2) имеет частный адрес: "
                                                           "за вашим маршрутизатором ещё одна частная сеть")
                                                .arg(i + 1).arg(hop)};
            case AddressClass::Public:
                return {NatVerdict::Single, QStringLiteral("маршрутизатор на шаге %1 (%2) имеет публичный адрес")
                                                .arg(i + 1).arg(hop)};
            default:
                break;
            }
        }
    }
    return {NatVerdict::Unknown,
            QStringLiteral("маршрутизатор не сообщил свой внешний адрес, а узлы за ним не ответили")};
}

QString NatVerdictText(NatVerdict v)
{
    switch (v) {
    case NatVerdict::None: return QStringLiteral("NAT не обнаружен");
    case NatVerdict::Single: return QStringLiteral("один NAT");
    case NatVerdict::Double: return QStringLiteral("двойной NAT");
    case NatVerdict::Carrier: return QStringLiteral("NAT оператора (CGNAT)");
    case NatVerdict::Unknown: break;
    }
    return QStringLiteral("не удалось определить");
}

QString NatVerdictAdvice(NatVerdict v)
{
    switch (v) {
    case NatVerdict::None:
        return QStringLiteral("Компьютер подключен к Интернету напрямую: SIP-телефон настраивается без STUN "
                              "и без проброса портов.");
    case NatVerdict::Single:
        return QStringLiteral("Между телефоном и Интернетом один маршрутизатор с NAT: помогают STUN, "
                              "проброс портов или UPnP на этом маршрутизаторе.");
    case NatVerdict::Double:
        return QStringLiteral("Ваш маршрутизатор подключен через ещё один маршрутизатор с NAT (например, модем "
                              "провайдера). Проброс портов и UPnP на вашем маршрутизаторе не открывают порты "
                              "снаружи: переведите внешний маршрутизатор в режим моста или настройте проброс "
                              "на обоих. Иначе входящие звонки возможны только при регистрации с частыми "
                              "keep-alive или через SIP-прокси.");
    case NatVerdict::Carrier:
        return QStringLiteral("Провайдер Интернета выдал маршрутизатору адрес своей внутренней сети (NAT "
                              "оператора). Входящие соединения снаружи невозможны, проброс портов и UPnP не "
                              "помогут: телефон должен держать регистрацию частыми keep-alive, для голоса "
                              "нужен SIP-прокси или TURN. Публичный адрес можно заказать у провайдера Интернета.");
    case NatVerdict::Unknown:
        break;
    }
    return QStringLiteral("Число NAT на пути определить не удалось.");
}

QString NatFindingText(const NatEvidence& e, const NatVerdictResult& r)
{
    QStringList lines;
    lines << QStringLiteral("Адрес компьютера: ") + Shown(e.localAddress);
    lines << QStringLiteral("Внешний адрес по UPnP IGD: ") + Shown(e.igdExternalAddress, e.igdAnswered);
    lines << QStringLiteral("Внешний адрес по NAT-PMP: ") + Shown(e.natPmpExternalAddress, e.natPmpAnswered);
    lines << QStringLiteral("Адрес, который видит STUN-сервер: ") + Shown(e.stunMappedAddress);
    for (int i = 0; i < e.hops.size(); ++i)
        lines << QStringLiteral("Узел %1: ").arg(i + 1) + Shown(e.hops[i]);
    lines << QStringLiteral("Вывод: ") + NatVerdictText(r.verdict) + QStringLiteral(" — ") + r.reason
            + QLatin1Char('.');
    lines << NatVerdictAdvice(r.verdict);
    return lines.join(QStringLiteral("\r\n"));
}

}  // namespace probes
