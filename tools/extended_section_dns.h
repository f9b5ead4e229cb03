// SPDX-License-Identifier: Apache-2.0
#pragma once
// The provider's SIP servers as a phone finds them (RFC 3263): NAPTR, SRV, A
// and AAAA queries, then an OPTIONS request or a connection to each target.
#include "tools/extended_section.h"

namespace platform {
class ConnectCheck;
}

namespace tools {

class DnsSection : public ExtendedSection {
    Q_OBJECT
public:
    explicit DnsSection(QObject* parent = nullptr);
    ~DnsSection() override;
    int percent() const override;

private:
    void begin() override;
    void halt() override;
    void checkTarget(int index);
    bool stoppedSince(quint64 run) const { return !running() || run != generation(); }

    std::unique_ptr<platform::UdpSocket> udp_;
    std::unique_ptr<platform::ConnectCheck> connect_;
    int checking_ = -1;   // the target being checked, -1 while the queries run
};

}  // namespace tools
