// SPDX-License-Identifier: Apache-2.0
#include "tools/extended_section_ports.h"

#include "platform/source_address.h"
#include "platform/stream_checks.h"
#include "platform/udp_socket.h"

namespace tools {

namespace {

constexpr int kSsdpWaitMs = 2500;
constexpr int kHttpTimeoutMs = 3000;
constexpr int kMappingWaitMs = 1000;
constexpr int kMappingRetryMs = 250;     // RFC 6886 section 3.1: first retransmission after 250 ms
constexpr int kGatewayIgdPort = 1900;

}  // namespace

PortsSection::PortsSection(QObject* parent) : ExtendedSection(parent) {}

PortsSection::~PortsSection() = default;

int PortsSection::percent() const
{
    return running() ? (mappingStarted_ ? 70 : 0) : 100;
}

void PortsSection::halt()
{
    udp_.reset();
    udp2_.reset();
    http_.reset();
}

void PortsSection::later(std::function<void()> f)
{
    QTimer::singleShot(0, this, [this, run = generation(), f = std::move(f)] {
        if (run == generation() && running())
            f();
    });
}

// ---- UPnP IGD: SSDP search, description, GetExternalIPAddress

void PortsSection::begin()
{
    mappingStarted_ = false;
    if (result_->gateway.isEmpty()) {
        finish();
        return;
    }
    emit progress(QStringLiteral("Запрос к UPnP IGD"));
    udp_ = openUdp([this](const QByteArray& data, const QString& from, int port) {
        // Only the gateway speaks for the gateway: any other host of the LAN
        // could name a description anywhere (UDA 2.0 section 1.3.3).
        if (from != result_->gateway || port != kGatewayIgdPort)
            return;
        if (!data.startsWith("HTTP/1.1 200") || result_->igd.answered)
            return;
        result_->igd.answered = true;
        result_->evidence.igdAnswered = true;
        const QUrl location(probes::HeaderValue(data, "LOCATION"));
        cancelWait();
        if (location.scheme() != QLatin1String("http") || location.host().isEmpty()) {
            later([this] { mappingProtocols(); });
            return;
        }
        if (location.host() != result_->gateway) {
            result_->igd.foreignHost = location.host();
            later([this] { mappingProtocols(); });
            return;
        }
        later([this, location] { igdDescription(location); });
    });
    // To the group, as UPnP specifies, and to the gateway itself.
    for (int i = 0; i < 2; ++i) {
        if (!config_.ssdpGroup.isEmpty())
            udp_->sendTo(config_.ssdpGroup, kGatewayIgdPort, probes::BuildIgdSearch());
        udp_->sendTo(result_->gateway, kGatewayIgdPort, probes::BuildIgdSearch());
    }
    wait(kSsdpWaitMs, [this] { mappingProtocols(); });
}

void PortsSection::igdDescription(const QUrl& location)
{
    udp_.reset();
    http_ = std::make_unique<platform::TcpExchange>();
    connect(http_.get(), &platform::TcpExchange::finished, this, [this, location] {
        const probes::HttpAnswer a = probes::ReadHttpAnswer(http_->received(), http_->closedByPeer());
        result_->igd.tooLarge = http_->tooLarge();
        igdDescription_ = a.complete && a.status == 200 ? probes::ReadIgdDescription(a.body, location)
                                                       : probes::IgdDescription{};
        // Every control URL must lie on the gateway too: the others are left out.
        QVector<probes::IgdService> own;
        for (const probes::IgdService& service : igdDescription_.services) {
            if (service.controlUrl.host() == result_->gateway)
                own << service;
            else
                result_->igd.foreignHost = service.controlUrl.host();
        }
        igdDescription_.services = own;
        if (own.isEmpty())
            igdDescription_.valid = false;
        result_->igd.described = igdDescription_.valid;
        result_->igd.deviceVersion = igdDescription_.deviceVersion;
        result_->igd.serviceType = igdDescription_.serviceType;
        result_->igd.serviceVersion = igdDescription_.serviceVersion;
        if (igdDescription_.valid)
            later([this] { igdStatus(0, 0); });
        else
            later([this] { mappingProtocols(); });
    });
    http_->start(location.host(), location.port(80), probes::BuildHttpGet(location), kHttpTimeoutMs);
}

// A gateway may list WANIPConnection and WANPPPConnection: only the connected
// one's external address is the gateway's (WANIPConnection:1 section 2.2.7,
// ConnectionStatus). One that answers no status at all is asked anyway.
void PortsSection::igdStatus(int index, int answered)
{
    const QVector<probes::IgdService>& services = igdDescription_.services;
    if (index >= services.size()) {
        if (answered == 0)
            igdExternalAddress(services.first());
        else
            mappingProtocols();  // none connected: no external address to take
        return;
    }
    const probes::IgdService service = services[index];
    http_ = std::make_unique<platform::TcpExchange>();
    connect(http_.get(), &platform::TcpExchange::finished, this, [this, index, answered, service] {
        const QString status =
            probes::ReadConnectionStatus(probes::ReadHttpAnswer(http_->received(), http_->closedByPeer()));
        if (!status.isEmpty())
            result_->igdConnectionStatus = status;
        if (status == QLatin1String("Connected")) {
            later([this, service] { igdExternalAddress(service); });
            return;
        }
        const int now = answered + (status.isEmpty() ? 0 : 1);
        later([this, index, now] { igdStatus(index + 1, now); });
    });
    http_->start(service.controlUrl.host(), service.controlUrl.port(80),
                 probes::BuildGetStatusRequest(service.controlUrl, service.serviceType), kHttpTimeoutMs);
}

void PortsSection::igdExternalAddress(const probes::IgdService& service)
{
    const QUrl control = service.controlUrl;
    result_->igd.serviceType = service.serviceType;
    result_->igd.serviceVersion = service.serviceType.section(QLatin1Char(':'), -1).toInt();
    http_ = std::make_unique<platform::TcpExchange>();
    connect(http_.get(), &platform::TcpExchange::finished, this, [this] {
        result_->igd.externalAddress =
            probes::ReadExternalIpAnswer(probes::ReadHttpAnswer(http_->received(), http_->closedByPeer()));
        result_->evidence.igdExternalAddress = result_->igd.externalAddress;
        later([this] { mappingProtocols(); });
    });
    http_->start(control.host(), control.port(80),
                 probes::BuildGetExternalIpRequest(control, service.serviceType), kHttpTimeoutMs);
}

// ---- NAT-PMP and PCP, each from its own socket

void PortsSection::mappingProtocols()
{
    mappingStarted_ = true;
    cancelWait();
    udp_.reset();
    http_.reset();
    emit progress(QStringLiteral("Запрос NAT-PMP и PCP"));
    natPmpAnswer_ = pcpAnswer_ = {};
    auto finishIfBoth = [this] {
        if (natPmpAnswer_.kind != probes::MappingAnswerKind::None && pcpAnswer_.kind != probes::MappingAnswerKind::None)
            endWait();
    };
    udp_ = openUdp([this, finishIfBoth](const QByteArray& data, const QString& from, int port) {
        if (from == result_->gateway && port == probes::kPortMappingPort
            && natPmpAnswer_.kind == probes::MappingAnswerKind::None) {
            natPmpAnswer_ = probes::ReadMappingAnswer(data);
            finishIfBoth();
        }
    });
    udp2_ = openUdp([this, finishIfBoth](const QByteArray& data, const QString& from, int port) {
        if (from == result_->gateway && port == probes::kPortMappingPort
            && pcpAnswer_.kind == probes::MappingAnswerKind::None) {
            pcpAnswer_ = probes::ReadMappingAnswer(data);
            finishIfBoth();
        }
    });
    const QString source = platform::SourceAddressTowards(result_->gateway);
    auto send = [this, source] {
        if (!udp_ || !udp2_)
            return;
        if (natPmpAnswer_.kind == probes::MappingAnswerKind::None)
            udp_->sendTo(result_->gateway, probes::kPortMappingPort, probes::BuildNatPmpAddressRequest());
        if (pcpAnswer_.kind == probes::MappingAnswerKind::None)
            udp2_->sendTo(result_->gateway, probes::kPortMappingPort, probes::BuildPcpAnnounceRequest(source));
    };
    send();
    QTimer::singleShot(kMappingRetryMs, udp_.get(), send);
    wait(kMappingWaitMs, [this] {
        result_->mapping = probes::CombineMappingAnswers(natPmpAnswer_, pcpAnswer_);
        result_->evidence.natPmpExternalAddress = result_->mapping.natPmpExternalAddress;
        result_->evidence.natPmpAnswered = result_->mapping.natPmp;
        finish();
    });
}

}  // namespace tools
