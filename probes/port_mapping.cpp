// SPDX-License-Identifier: Apache-2.0
#include "probes/port_mapping.h"

#include <QHostAddress>
#include <QStringList>
#include <QCoreApplication>

namespace probes {

namespace {

uint32_t ReadU32(const QByteArray& d, int at)
{
    return (uint32_t(uint8_t(d[at])) << 24) | (uint32_t(uint8_t(d[at + 1])) << 16)
        | (uint32_t(uint8_t(d[at + 2])) << 8) | uint32_t(uint8_t(d[at + 3]));
}

constexpr int kNatPmpVersion = 0;
constexpr int kPcpVersion = 2;
constexpr int kResultUnsupportedVersion = 1;  // RFC 6886 section 3.5, RFC 6887 section 7.4

}  // namespace

QByteArray BuildNatPmpAddressRequest()
{
    return QByteArray(2, '\0');
}

QByteArray BuildPcpAnnounceRequest(const QString& clientAddress)
{
    QHostAddress address;
    if (!address.setAddress(clientAddress) || address.protocol() != QHostAddress::IPv4Protocol)
        return {};
    // RFC 6887 section 7.1: version, R=0 + opcode, reserved (16), requested
    // lifetime (32), client address (128). ANNOUNCE carries no opcode data.
    QByteArray m(24, '\0');
    m[0] = char(kPcpVersion);
    m[1] = 0;  // ANNOUNCE
    m[18] = char(0xFF);
    m[19] = char(0xFF);
    const uint32_t v4 = address.toIPv4Address();
    for (int i = 0; i < 4; ++i)
        m[20 + i] = char((v4 >> (24 - 8 * i)) & 0xFF);
    return m;
}

MappingAnswer ReadMappingAnswer(const QByteArray& data)
{
    MappingAnswer a;
    if (data.size() < 4)
        return a;
    a.version = uint8_t(data[0]);
    const int op = uint8_t(data[1]);
    if (a.version == kNatPmpVersion) {
        // RFC 6886 section 3.5: answers have opcode 128 + request opcode and a
        // 16-bit result code; every answer is at least 8 bytes.
        if (op < 128 || data.size() < 8)
            return a;
        a.resultCode = (uint8_t(data[2]) << 8) | uint8_t(data[3]);
        a.epochSeconds = ReadU32(data, 4);
        if (a.resultCode == kResultUnsupportedVersion) {
            a.kind = MappingAnswerKind::UnsupportedVersion;
            return a;
        }
        if (op != 128)
            return a;
        a.kind = MappingAnswerKind::NatPmp;
        if (a.resultCode == 0 && data.size() >= 12 && ReadU32(data, 8) != 0) {
            const uint32_t v4 = ReadU32(data, 8);
            a.externalAddress = QHostAddress(v4).toString();
        }
        return a;
    }
    // RFC 6887 section 7.2: R bit set, opcode, reserved, result code, lifetime,
    // epoch time, 96 reserved bits: 24 bytes at least.
    if ((op & 0x80) == 0 || data.size() < 24)
        return a;
    a.resultCode = uint8_t(data[3]);
    a.epochSeconds = ReadU32(data, 8);
    // UNSUPP_VERSION carries the highest version the server speaks (section 9).
    if (a.resultCode == kResultUnsupportedVersion)
        a.kind = MappingAnswerKind::UnsupportedVersion;
    else if (a.version == kPcpVersion)
        a.kind = MappingAnswerKind::Pcp;
    return a;
}

PortMappingPresence CombineMappingAnswers(const MappingAnswer& natPmp, const MappingAnswer& pcp)
{
    PortMappingPresence p;
    // Any NAT-PMP answer to the NAT-PMP request (an error code too: 3 is a
    // gateway without an external address, RFC 6886 section 3.5), or a
    // version-0 refusal of the PCP request (the server speaks NAT-PMP only).
    p.natPmp = natPmp.kind == MappingAnswerKind::NatPmp
        || (pcp.kind == MappingAnswerKind::UnsupportedVersion && pcp.version == kNatPmpVersion);
    if (natPmp.kind == MappingAnswerKind::NatPmp) {
        p.natPmpResult = natPmp.resultCode;
        p.natPmpExternalAddress = natPmp.externalAddress;
    }
    // A PCP-format answer, to either request, shows PCP.
    p.pcp = pcp.kind == MappingAnswerKind::Pcp
        || (natPmp.kind == MappingAnswerKind::UnsupportedVersion && natPmp.version == kPcpVersion);
    return p;
}

QString PortMappingFindingText(const IgdFinding& igd, const PortMappingPresence& p)
{
    QStringList lines;
    QString upnp;
    if (!igd.answered)
        upnp = QCoreApplication::translate("PortMapping", "нет ответа");
    else if (!igd.foreignHost.isEmpty())
        upnp = QCoreApplication::translate("PortMapping", "маршрутизатор ответил, но описание устройства лежит на другом адресе (%1): "
                              "его не запрашивали")
                   .arg(igd.foreignHost);
    else if (igd.descriptionTooLarge)
        upnp = QCoreApplication::translate("PortMapping", "маршрутизатор ответил, но описание устройства больше 64 КиБ: оно отклонено");
    else if (!igd.described)
        upnp = QCoreApplication::translate("PortMapping", "маршрутизатор ответил, но описание устройства не получено");
    else
        upnp = QCoreApplication::translate("PortMapping", "есть, устройство InternetGatewayDevice:%1, служба %2:%3")
                   .arg(igd.deviceVersion)
                   .arg(igd.serviceType.section(QLatin1Char(':'), -2, -2))
                   .arg(igd.serviceVersion)
            + (!igd.externalAddress.isEmpty() ? QCoreApplication::translate("PortMapping", ", внешний адрес ") + igd.externalAddress
               : igd.answerTooLarge ? QCoreApplication::translate("PortMapping", ", внешний адрес не получен: ответ больше 64 КиБ отклонён")
                                    : QCoreApplication::translate("PortMapping", ", внешний адрес не сообщён"));
    lines << QStringLiteral("UPnP IGD: ") + upnp;
    QString natPmp = QCoreApplication::translate("PortMapping", "нет");
    if (p.natPmp && !p.natPmpExternalAddress.isEmpty() && p.natPmpExternalAddress != QLatin1String("0.0.0.0"))
        natPmp = QCoreApplication::translate("PortMapping", "есть, внешний адрес ") + p.natPmpExternalAddress;
    else if (p.natPmp && p.natPmpResult > 0)
        natPmp = QCoreApplication::translate("PortMapping", "есть, внешний адрес не сообщён (код ошибки %1)").arg(p.natPmpResult);
    else if (p.natPmp)
        natPmp = QCoreApplication::translate("PortMapping", "есть");
    lines << QStringLiteral("NAT-PMP: ") + natPmp;
    lines << QStringLiteral("PCP: ") + (p.pcp ? QCoreApplication::translate("PortMapping", "есть") : QCoreApplication::translate("PortMapping", "нет"));
    lines << QCoreApplication::translate("PortMapping", "Запросы только читали сведения: ни одного проброса порта на маршрутизаторе не создано.");
    if (igd.described || p.natPmp || p.pcp)
        lines << QCoreApplication::translate("PortMapping", "Телефон или программа, поддерживающие эти протоколы, могут сами открыть порты на "
                                "маршрутизаторе; если NAT на пути не один, открытый порт доступен только из сети "
                                "следующего NAT.");
    else
        lines << QCoreApplication::translate("PortMapping", "Телефон не сможет сам открыть порты на маршрутизаторе: настройте проброс портов "
                                "вручную или используйте STUN и регулярные keep-alive.");
    return lines.join(QStringLiteral("\r\n"));
}

}  // namespace probes
