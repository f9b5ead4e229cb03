// SPDX-License-Identifier: Apache-2.0
#pragma once
// The gateway's port mapping services: UPnP IGD (SSDP search, description,
// connection status, GetExternalIPAddress), then NAT-PMP and PCP, each asked
// from a socket of its own. Only the routing table's gateway is asked and
// only its answers count.
#include "tools/extended_section.h"

#include <QUrl>

namespace platform {
class TcpExchange;
}

namespace tools {

class PortsSection : public ExtendedSection {
    Q_OBJECT
public:
    explicit PortsSection(QObject* parent = nullptr);
    ~PortsSection() override;
    int percent() const override;

private:
    void begin() override;
    void halt() override;
    void igdDescription(const QUrl& location);
    void igdStatus(int index, int answered);
    void igdExternalAddress(const probes::IgdService& service);
    void mappingProtocols();
    // Runs f from the event loop unless the section stopped or ended since.
    void later(std::function<void()> f);

    std::unique_ptr<platform::UdpSocket> udp_, udp2_;
    std::unique_ptr<platform::TcpExchange> http_;
    probes::IgdDescription igdDescription_;
    probes::MappingAnswer natPmpAnswer_, pcpAnswer_;
    bool mappingStarted_ = false;
};

}  // namespace tools
