// SPDX-License-Identifier: Apache-2.0
#pragma once
// The number of NATs on the path: the routers on the first hops, where the
// address the STUN server saw lives (TTL-limited datagrams to it), and the
// verdict from these and from what the gateway's services and the STUN server
// told the sections before.
#include "tools/extended_section.h"

namespace platform {
class HopProbe;
}

namespace tools {

class NatSection : public ExtendedSection {
    Q_OBJECT
public:
    explicit NatSection(QObject* parent = nullptr);
    ~NatSection() override;
    int percent() const override;

private:
    void begin() override;
    void halt() override;
    void locate();
    void judge();

    std::unique_ptr<platform::HopProbe> hops_;
    bool located_ = false;   // the second probe is running or done
};

}  // namespace tools
