// SPDX-License-Identifier: Apache-2.0
// The path run's findings: the section texts and the figures for the report.
#include "tools/extended_paths.h"
#include "tools/extended_section_ipv6.h"
#include "tools/extended_section_sip.h"
#include "tools/extended_section_voice.h"

#include <cmath>

#include <QJsonArray>
#include <QCoreApplication>

namespace tools {

namespace {

QString VerdictKey(probes::NatVerdict v)
{
    switch (v) {
    case probes::NatVerdict::None: return QStringLiteral("none");
    case probes::NatVerdict::Single: return QStringLiteral("single");
    case probes::NatVerdict::Double: return QStringLiteral("double");
    case probes::NatVerdict::Carrier: return QStringLiteral("cgnat");
    case probes::NatVerdict::Unknown: break;
    }
    return QStringLiteral("unknown");
}

QJsonArray HopsJson(const QVector<probes::HopAnswer>& hops)
{
    QJsonArray out;
    for (const probes::HopAnswer& h : hops)
        out.append(h.address);
    return out;
}

}  // namespace

QVector<PathSectionText> ExtendedPathsRun::sections() const
{
    QVector<PathSectionText> out;
    if (wants(PathSection::Nat))
        out.append({PathSection::Nat, QCoreApplication::translate("ExtendedPathsFindings", "Число NAT на пути (двойной NAT, NAT оператора)"),
                    probes::NatFindingText(result_.evidence, result_.verdict)});
    if (wants(PathSection::Ports))
        out.append({PathSection::Ports, QCoreApplication::translate("ExtendedPathsFindings", "Протоколы управления портами (UPnP IGD, NAT-PMP, PCP)"),
                    probes::PortMappingFindingText(result_.igd, result_.mapping)});
    if (wants(PathSection::Voice))
        out.append({PathSection::Voice, QCoreApplication::translate("ExtendedPathsFindings", "Качество голосового тракта"),
                    probes::VoiceFindingText(result_.voice)});
    if (wants(PathSection::Dns))
        out.append({PathSection::Dns, QCoreApplication::translate("ExtendedPathsFindings", "SIP-серверы домена, как их находит телефон (RFC 3263)"),
                    probes::SipDnsFindingText(result_.dns)});
    if (wants(PathSection::Sip))
        out.append({PathSection::Sip, SipSection::title(), sip_->text()});
    if (wants(PathSection::Ipv6))
        out.append({PathSection::Ipv6, Ipv6Section::title(), ipv6_->text()});
    return out;
}

QJsonObject ExtendedPathsRun::json() const
{
    const ExtendedPathsResult& r = result_;
    QJsonObject o;
    o[QStringLiteral("localAddress")] = r.localAddress;
    o[QStringLiteral("gateway")] = r.gateway;
    o[QStringLiteral("hops")] = HopsJson(r.evidence.hops);
    o[QStringLiteral("hopsFailed")] = r.evidence.hopsFailed;
    o[QStringLiteral("stunMappedAddress")] = r.evidence.stunMappedAddress;
    o[QStringLiteral("mappedAddressPath")] = HopsJson(r.evidence.located);
    o[QStringLiteral("natVerdict")] = VerdictKey(r.verdict.verdict);
    o[QStringLiteral("natEvidence")] = probes::NatEvidenceKey(r.verdict.evidence);
    o[QStringLiteral("natHop")] = r.verdict.natHop;
    o[QStringLiteral("natVerdictText")] = probes::NatVerdictText(r.verdict.verdict);
    QJsonObject igd;
    igd[QStringLiteral("answered")] = r.igd.answered;
    igd[QStringLiteral("deviceVersion")] = r.igd.deviceVersion;
    igd[QStringLiteral("serviceType")] = r.igd.serviceType;
    igd[QStringLiteral("externalAddress")] = r.igd.externalAddress;
    igd[QStringLiteral("connectionStatus")] = r.igdConnectionStatus;
    o[QStringLiteral("upnpIgd")] = igd;
    o[QStringLiteral("natPmp")] = r.mapping.natPmp;
    o[QStringLiteral("natPmpExternalAddress")] = r.mapping.natPmpExternalAddress;
    o[QStringLiteral("pcp")] = r.mapping.pcp;
    const probes::VoicePathStats& s = r.voice.stats;
    QJsonObject voice;
    voice[QStringLiteral("sent")] = s.sent;
    voice[QStringLiteral("received")] = s.received;
    voice[QStringLiteral("lossPercent")] = s.lossPercent;
    voice[QStringLiteral("longestLossBurst")] = s.longestLossBurst;
    voice[QStringLiteral("rttMinMs")] = s.rttMinMs;
    voice[QStringLiteral("rttMedianMs")] = s.rttMedianMs;
    voice[QStringLiteral("rttP95Ms")] = s.rttP95Ms;
    voice[QStringLiteral("rttMaxMs")] = s.rttMaxMs;
    voice[QStringLiteral("jitterMs")] = s.jitterMs;
    voice[QStringLiteral("burstRatio")] = s.burstR;
    voice[QStringLiteral("rated")] = r.voice.rated;
    // Each request's round trip in ms, null for no answer (one every 20 ms).
    QJsonArray rtt;
    for (const probes::VoiceSample& sample : voiceSamples())
        rtt.append(sample.arrivedMs ? QJsonValue(std::round((*sample.arrivedMs - sample.sentMs) * 10) / 10) : QJsonValue());
    voice[QStringLiteral("rttMs")] = rtt;
    // What a listener hears, from which R is computed.
    const probes::ListenerFigures& l = r.voice.listener;
    voice[QStringLiteral("listener")] = QJsonObject{{QStringLiteral("lossPercent"), l.lossPercent},
                                                     {QStringLiteral("lateAnswers"), l.late},
                                                     {QStringLiteral("bufferMs"), l.bufferMs},
                                                     {QStringLiteral("deadlineMs"), l.deadlineMs},
                                                     {QStringLiteral("burstRatio"), l.burstR}};
    if (r.voice.rated) {
        voice[QStringLiteral("delayMs")] = r.voice.delayMs;
        voice[QStringLiteral("R")] = r.voice.model.R;
        voice[QStringLiteral("MOS")] = r.voice.model.Mos;
    }
    o[QStringLiteral("voice")] = voice;
    QJsonObject dns;
    dns[QStringLiteral("domain")] = r.dns.domain;
    dns[QStringLiteral("naptrRecords")] = r.dns.naptrRecords;
    dns[QStringLiteral("resolverAnswered")] = !r.dns.resolverSilent;
    QJsonArray targets;
    for (const probes::TargetCheck& c : r.dns.checks) {
        QJsonObject t;
        t[QStringLiteral("transport")] = probes::TransportName(c.target.transport);
        t[QStringLiteral("host")] = c.target.host;
        t[QStringLiteral("port")] = c.target.port;
        t[QStringLiteral("address")] = c.target.address;
        t[QStringLiteral("checked")] = c.checked;
        t[QStringLiteral("answered")] = c.answered;
        t[QStringLiteral("ms")] = c.ms;
        if (c.target.transport == probes::SipTransport::Tls)
        {
            t[QStringLiteral("certificateVerified")] = c.tlsVerified;
            t[QStringLiteral("certificateChainVerified")] = c.tlsChainVerified;
            t[QStringLiteral("certificateIdentities")] = QJsonArray::fromStringList(c.tlsIdentities);
        }
        targets.append(t);
    }
    dns[QStringLiteral("targets")] = targets;
    o[QStringLiteral("sipDns")] = dns;
    return o;
}

}  // namespace tools
