// SPDX-License-Identifier: Apache-2.0
#include "probes/double_nat.h"

#include <QHostAddress>

#include <optional>
#include <QCoreApplication>

namespace probes {

namespace {

struct Range {
    uint32_t net;
    int bits;
    AddressClass cls;
};

// The first row that holds the address decides.
constexpr Range kRanges[] = {
    {0x00000000, 8, AddressClass::Special},   // "this network", RFC 1122 section 3.2.1.3
    {0x0A000000, 8, AddressClass::Private},   // RFC 1918 section 3
    {0x64400000, 10, AddressClass::Shared},   // shared address space, RFC 6598 section 7
    {0x7F000000, 8, AddressClass::Special},   // loopback, RFC 1122 section 3.2.1.3
    {0xA9FE0000, 16, AddressClass::Special},  // link-local, RFC 3927 section 2.1
    {0xAC100000, 12, AddressClass::Private},  // RFC 1918 section 3
    {0xC0000000, 29, AddressClass::DsLite},   // DS-Lite B4 and AFTR, RFC 6333 section 5.7
    {0xC0000000, 24, AddressClass::Special},  // IETF protocol assignments, RFC 6890 section 2.2.2
    {0xC0A80000, 16, AddressClass::Private},  // RFC 1918 section 3
    {0xE0000000, 3, AddressClass::Special},   // multicast (RFC 5771) and reserved (RFC 1112 section 4)
};

bool InNet(uint32_t a, uint32_t net, int bits)
{
    const uint32_t mask = bits == 0 ? 0 : ~uint32_t(0) << (32 - bits);
    return (a & mask) == (net & mask);
}

bool IsNonPublic(AddressClass c)
{
    return c == AddressClass::Private || c == AddressClass::Shared || c == AddressClass::DsLite;
}

bool IsCarrierSpace(AddressClass c)
{
    return c == AddressClass::Shared || c == AddressClass::DsLite;
}

QString Shown(const QString& address, bool answered = false)
{
    if (answered && (address.isEmpty() || address == QLatin1String("0.0.0.0")))
        return QCoreApplication::translate("DoubleNat", "не сообщён");
    if (address.isEmpty())
        return QCoreApplication::translate("DoubleNat", "нет ответа");
    return address + QStringLiteral(" (") + AddressClassText(ClassifyAddress(address)) + QStringLiteral(")");
}

QString HopShown(const HopAnswer& h)
{
    switch (h.kind) {
    case HopKind::None: return QCoreApplication::translate("DoubleNat", "нет ответа");
    case HopKind::TimeExceeded: return Shown(h.address);
    case HopKind::PortUnreachable: return Shown(h.address) + QCoreApplication::translate("DoubleNat", ", сам адрес назначения");
    case HopKind::Unreachable: break;
    }
    return Shown(h.address) + QCoreApplication::translate("DoubleNat", ", недоступно: ") + UnreachableText(h.code);
}

// The gateway's own idea of its external address: the IGD's, else NAT-PMP's.
QString GatewayAddress(const NatEvidence& e)
{
    for (const QString& a : {e.igdExternalAddress, e.natPmpExternalAddress}) {
        const AddressClass c = ClassifyAddress(a);
        if (IsNonPublic(c) || c == AddressClass::Public)
            return a;  // 0.0.0.0 and the like: the gateway has no usable address
    }
    return {};
}

// Carrier or double NAT from the addresses between the two translations.
NatVerdictResult ByAddressesBetween(const QStringList& between, const QString& evidence, NatEvidenceKind kind)
{
    for (const QString& a : between)
        if (IsCarrierSpace(ClassifyAddress(a)))
            return {NatVerdict::Carrier,
                    evidence + QCoreApplication::translate("DoubleNat", "; между NAT адрес ") + a + QStringLiteral(" (")
                        + AddressClassText(ClassifyAddress(a)) + QCoreApplication::translate("DoubleNat", "): второй NAT у оператора"),
                    kind};
    for (const QString& a : between)
        if (ClassifyAddress(a) == AddressClass::Private)
            return {NatVerdict::Double,
                    evidence + QCoreApplication::translate("DoubleNat", "; между NAT частный адрес ") + a
                        + QCoreApplication::translate("DoubleNat", ": второй NAT может быть и вашим, и провайдера"),
                    kind};
    return {NatVerdict::Double,
            evidence + QCoreApplication::translate("DoubleNat", "; адреса между NAT не видны: второй NAT может быть и вашим, и провайдера"),
            kind};
}

// Where the STUN address lives, from datagrams sent to it with TTL 1, 2, ...
std::optional<NatVerdictResult> ByLocation(const NatEvidence& e)
{
    if (e.located.isEmpty() || e.stunMappedAddress.isEmpty())
        return std::nullopt;
    bool failed = false;
    const QVector<HopAnswer> path = HopList(e.located, e.stunMappedAddress, &failed);
    const HopAnswer first = path.value(0);
    if (first.kind == HopKind::PortUnreachable)
        return NatVerdictResult{NatVerdict::Single,
                                QCoreApplication::translate("DoubleNat", "адрес ") + e.stunMappedAddress
                                    + QCoreApplication::translate("DoubleNat", ", который видит STUN-сервер, принадлежит первому маршрутизатору: "
                                                     "он ответил на датаграмму к этому адресу сам"),
                                NatEvidenceKind::Location, 1};
    if (first.kind != HopKind::TimeExceeded)
        return std::nullopt;
    // The first router passed the datagram on: the address is not its own.
    int natHop = 0;
    QStringList between;
    for (int i = 1; i < path.size(); ++i) {
        if (path[i].kind == HopKind::PortUnreachable)
            natHop = i + 1;
        else if (path[i].kind == HopKind::TimeExceeded)
            between << path[i].address;
    }
    if (natHop > 0 && natHop - 1 < e.hops.size() && e.hops[natHop - 1].kind == HopKind::TimeExceeded)
        between << e.hops[natHop - 1].address;  // the NAT's inside address on the way to the STUN server
    QString evidence = QCoreApplication::translate("DoubleNat", "первый маршрутизатор (") + first.address
        + QCoreApplication::translate("DoubleNat", ") передал дальше датаграмму к адресу ") + e.stunMappedAddress
        + QCoreApplication::translate("DoubleNat", ", который видит STUN-сервер: этот адрес не его, его выдаёт NAT дальше");
    if (natHop > 0)
        evidence += QCoreApplication::translate("DoubleNat", ", на шаге %1").arg(natHop);
    NatVerdictResult r = ByAddressesBetween(between, evidence, NatEvidenceKind::Location);
    r.natHop = natHop;
    return r;
}

QString HopsHint(const NatEvidence& e)
{
    QStringList nonPublic;
    for (int i = 1; i < e.hops.size(); ++i)
        if (IsNonPublic(ClassifyAddress(e.hops[i].address)))
            nonPublic << QCoreApplication::translate("DoubleNat", "%1 на шаге %2").arg(e.hops[i].address).arg(i + 1);
    if (nonPublic.isEmpty())
        return {};
    return QCoreApplication::translate("DoubleNat", ". На пути есть узлы с непубличными адресами (") + nonPublic.join(QStringLiteral(", "))
        + QCoreApplication::translate("DoubleNat", "), но провайдеры нумеруют так и свои маршрутизаторы без трансляции адресов: "
                         "это лишь подсказка");
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
    for (const Range& r : kRanges)
        if (InNet(a, r.net, r.bits))
            return r.cls;
    return AddressClass::Public;
}

QString AddressClassText(AddressClass c)
{
    switch (c) {
    case AddressClass::Private: return QCoreApplication::translate("DoubleNat", "частный, RFC 1918");
    case AddressClass::Shared: return QCoreApplication::translate("DoubleNat", "общий адрес оператора, RFC 6598");
    case AddressClass::DsLite: return QCoreApplication::translate("DoubleNat", "адрес DS-Lite, RFC 6333");
    case AddressClass::Special: return QCoreApplication::translate("DoubleNat", "служебный");
    case AddressClass::Public: return QCoreApplication::translate("DoubleNat", "публичный");
    case AddressClass::Invalid: break;
    }
    return QCoreApplication::translate("DoubleNat", "неверный адрес");
}

QVector<HopAnswer> HopList(const QVector<HopAnswer>& perTtl, const QString& destination, bool* failed)
{
    QVector<HopAnswer> out;
    *failed = false;
    for (const HopAnswer& h : perTtl) {
        out << h;
        // RFC 792: port unreachable (type 3 code 3) comes from the host that
        // has the address; from anyone else it is an unreachable like the rest.
        if (h.kind == HopKind::PortUnreachable && h.address == destination)
            return out;
        if (h.kind == HopKind::PortUnreachable || h.kind == HopKind::Unreachable) {
            out.last().kind = HopKind::Unreachable;
            *failed = true;
            return out;
        }
    }
    return out;
}

QString UnreachableText(int code)
{
    switch (code) {
    case 0: return QCoreApplication::translate("DoubleNat", "сеть недоступна (код 0)");
    case 1: return QCoreApplication::translate("DoubleNat", "узел недоступен (код 1)");
    case 2: return QCoreApplication::translate("DoubleNat", "протокол недоступен (код 2)");
    case 3: return QCoreApplication::translate("DoubleNat", "порт недоступен (код 3)");
    case 4: return QCoreApplication::translate("DoubleNat", "нужна фрагментация (код 4)");
    case 9:
    case 10:
    case 13: return QCoreApplication::translate("DoubleNat", "запрещено администратором (код %1)").arg(code);  // RFC 1812 section 5.2.7.1
    default: break;
    }
    return QCoreApplication::translate("DoubleNat", "код %1").arg(code);
}

NatVerdictResult JudgeNat(const NatEvidence& e)
{
    const AddressClass local = ClassifyAddress(e.localAddress);
    const bool mapped = ClassifyAddress(e.stunMappedAddress) != AddressClass::Invalid;
    if (mapped && e.stunMappedAddress == e.localAddress && local == AddressClass::Public)
        return {NatVerdict::None, QCoreApplication::translate("DoubleNat", "STUN-сервер видит адрес самого компьютера"), NatEvidenceKind::OwnAddress};

    const QString gateway = GatewayAddress(e);
    const AddressClass gatewayClass = ClassifyAddress(gateway);
    if (!gateway.isEmpty() && mapped && gateway == e.stunMappedAddress)
        return {NatVerdict::Single,
                QCoreApplication::translate("DoubleNat", "внешний адрес маршрутизатора ") + gateway
                    + QCoreApplication::translate("DoubleNat", " совпадает с адресом, который видит STUN-сервер"),
                NatEvidenceKind::Gateway};
    if (mapped && IsNonPublic(gatewayClass))
        return ByAddressesBetween({gateway},
                                  QCoreApplication::translate("DoubleNat", "внешний адрес маршрутизатора ") + gateway
                                      + QCoreApplication::translate("DoubleNat", " не публичный, а STUN-сервер видит адрес ")
                                      + e.stunMappedAddress + QCoreApplication::translate("DoubleNat", ": его заменяет ещё один NAT"),
                                  NatEvidenceKind::Gateway);
    if (!mapped && gatewayClass == AddressClass::Public)
        return {NatVerdict::Single, QCoreApplication::translate("DoubleNat", "внешний адрес маршрутизатора ") + gateway + QCoreApplication::translate("DoubleNat", " публичный"),
                NatEvidenceKind::Gateway};

    if (const std::optional<NatVerdictResult> located = ByLocation(e))
        return *located;

    const QString hint = HopsHint(e);
    if (mapped && gatewayClass == AddressClass::Public)
        return {NatVerdict::Unknown,
                QCoreApplication::translate("DoubleNat", "маршрутизатор сообщает внешний адрес ") + gateway
                    + QCoreApplication::translate("DoubleNat", ", а STUN-сервер видит другой, ") + e.stunMappedAddress
                    + QCoreApplication::translate("DoubleNat", ": так бывает и при втором NAT, и при маршрутизаторе с несколькими "
                                     "подключениями, и при VPN")
                    + hint,
                NatEvidenceKind::Nothing};
    if (!mapped && IsNonPublic(gatewayClass))
        return {NatVerdict::Unknown,
                QCoreApplication::translate("DoubleNat", "внешний адрес маршрутизатора ") + gateway
                    + QCoreApplication::translate("DoubleNat", " не публичный, но STUN-сервер не ответил, сравнить не с чем") + hint,
                NatEvidenceKind::Nothing};
    return {NatVerdict::Unknown,
            QCoreApplication::translate("DoubleNat", "маршрутизатор не сообщил свой внешний адрес, а где находится адрес, который видит "
                           "STUN-сервер, определить не удалось")
                + hint,
            NatEvidenceKind::Nothing};
}

QString NatEvidenceKey(NatEvidenceKind k)
{
    switch (k) {
    case NatEvidenceKind::OwnAddress: return QStringLiteral("own-address");
    case NatEvidenceKind::Gateway: return QStringLiteral("gateway");
    case NatEvidenceKind::Location: return QStringLiteral("location");
    case NatEvidenceKind::None:
    case NatEvidenceKind::Nothing: break;
    }
    return QStringLiteral("none");
}

QString NatVerdictText(NatVerdict v)
{
    switch (v) {
    case NatVerdict::None: return QCoreApplication::translate("DoubleNat", "NAT не обнаружен");
    case NatVerdict::Single: return QCoreApplication::translate("DoubleNat", "один NAT");
    case NatVerdict::Double: return QCoreApplication::translate("DoubleNat", "двойной NAT");
    case NatVerdict::Carrier: return QCoreApplication::translate("DoubleNat", "NAT оператора (CGNAT)");
    case NatVerdict::Unknown: break;
    }
    return QCoreApplication::translate("DoubleNat", "не удалось определить");
}

QString NatVerdictAdvice(NatVerdict v)
{
    switch (v) {
    case NatVerdict::None:
        return QCoreApplication::translate("DoubleNat", "Компьютер подключен к Интернету напрямую: SIP-телефон настраивается без STUN "
                              "и без проброса портов.");
    case NatVerdict::Single:
        return QCoreApplication::translate("DoubleNat", "Между телефоном и Интернетом один маршрутизатор с NAT: помогают STUN, "
                              "проброс портов или UPnP на этом маршрутизаторе.");
    case NatVerdict::Double:
        return QCoreApplication::translate("DoubleNat", "Между вашим маршрутизатором и Интернетом ещё один NAT: ваш (например, модем "
                              "провайдера в режиме маршрутизатора) или самого провайдера. Проброс портов и UPnP "
                              "на вашем маршрутизаторе не открывают порты снаружи. Если второй NAT ваш, "
                              "переведите его в режим моста или настройте проброс на обоих; если провайдера, "
                              "публичный адрес можно заказать у него. Иначе входящие звонки возможны только при "
                              "регистрации с частыми keep-alive или через SIP-прокси.");
    case NatVerdict::Carrier:
        return QCoreApplication::translate("DoubleNat", "Провайдер Интернета выдал маршрутизатору адрес своей внутренней сети (NAT "
                              "оператора). Входящие соединения снаружи невозможны, проброс портов и UPnP не "
                              "помогут: телефон должен держать регистрацию частыми keep-alive, для голоса "
                              "нужен SIP-прокси или TURN. Публичный адрес можно заказать у провайдера Интернета.");
    case NatVerdict::Unknown:
        break;
    }
    return QCoreApplication::translate("DoubleNat", "Число NAT на пути определить не удалось.");
}

QString NatFindingText(const NatEvidence& e, const NatVerdictResult& r)
{
    QStringList lines;
    lines << QCoreApplication::translate("DoubleNat", "Адрес компьютера: ") + Shown(e.localAddress);
    lines << QCoreApplication::translate("DoubleNat", "Внешний адрес по UPnP IGD: ") + Shown(e.igdExternalAddress, e.igdAnswered);
    lines << QCoreApplication::translate("DoubleNat", "Внешний адрес по NAT-PMP: ") + Shown(e.natPmpExternalAddress, e.natPmpAnswered);
    lines << QCoreApplication::translate("DoubleNat", "Адрес, который видит STUN-сервер: ") + Shown(e.stunMappedAddress);
    for (int i = 0; i < e.hops.size(); ++i)
        lines << QCoreApplication::translate("DoubleNat", "Узел %1: ").arg(i + 1) + HopShown(e.hops[i]);
    if (e.hopsFailed)
        lines << QCoreApplication::translate("DoubleNat", "Поиск узлов не удался: ответ «недоступно» пришёл не от адреса назначения.");
    for (int i = 0; i < e.located.size(); ++i) {
        const HopAnswer& h = e.located[i];
        QString line = QCoreApplication::translate("DoubleNat", "Датаграмма к %1 с TTL %2: ").arg(e.stunMappedAddress).arg(i + 1);
        if (h.kind == HopKind::TimeExceeded)
            line += Shown(h.address) + QCoreApplication::translate("DoubleNat", " передал дальше");
        else if (h.kind == HopKind::PortUnreachable)
            line += QCoreApplication::translate("DoubleNat", "ответил сам владелец адреса");
        else
            line += HopShown(h);
        lines << line;
    }
    lines << QCoreApplication::translate("DoubleNat", "Вывод: ") + NatVerdictText(r.verdict) + QStringLiteral(" — ") + r.reason
            + QLatin1Char('.');
    lines << NatVerdictAdvice(r.verdict);
    return lines.join(QStringLiteral("\r\n"));
}

}  // namespace probes
