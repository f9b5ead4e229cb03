// SPDX-License-Identifier: Apache-2.0
#pragma once
// The voice path stream: requests to the STUN server every 20 ms, as a call's
// RTP goes, and the round trip of each answer. When only the NAT section
// wants it, a few requests learn the address the STUN server sees.
#include "tools/extended_section.h"

namespace tools {

class VoiceSection : public ExtendedSection {
    Q_OBJECT
public:
    explicit VoiceSection(QObject* parent = nullptr);
    ~VoiceSection() override;
    int percent() const override;
    // The stream's packets in the order sent.
    const QVector<probes::VoiceSample>& samples() const { return samples_; }

private:
    void begin() override;
    void halt() override;
    void tick();
    void done();

    QTimer pacer_;
    std::unique_ptr<platform::UdpSocket> udp_;
    QVector<probes::VoiceSample> samples_;
    uint32_t session_ = 0;
    int sent_ = 0;
};

}  // namespace tools
