// SPDX-License-Identifier: Apache-2.0
// Datagrams on the voice stream's socket while its requests go out every
// 20 ms, taken as the stream takes them (from the STUN server's address and
// port only, each request's first answer once), then the path's figures and
// the E-model over the samples. Each datagram of the input is one event: its
// first byte picks the sender and how many requests go out before it; with
// bit 7 set, the bytes 8..19 of the rest are replaced by the ID of one of the
// requests sent.
#include "fuzz_support.h"
#include "probes/voice_quality.h"

#include <cmath>

namespace {

const QString kServer = QStringLiteral("203.0.113.10");
constexpr int kPort = 3478;
constexpr uint32_t kSession = 0x5EC0FFEE;
constexpr int kPackets = 60;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const fuzz::Datagrams events(data, size);
    QVector<probes::VoiceSample> samples(kPackets);
    int sent = 0;
    double now = 0;
    QString mapped;
    for (size_t e = 0; e < events.count(); ++e) {
        const QByteArray event = events.at(e);
        if (event.isEmpty())
            continue;
        const uint8_t pick = static_cast<uint8_t>(event.at(0));
        for (int k = 0; k < (pick >> 2 & 7) && sent < kPackets; ++k) {
            samples[sent].sentMs = now;
            ++sent;
            now += probes::kVoicePacketIntervalMs;
        }
        now += pick & 0x20 ? 7 : 1;
        QByteArray datagram = event.mid(1);
        if ((pick & 0x80) && datagram.size() >= 20 && sent > 0) {
            const QByteArray request = probes::BuildVoiceRequest(kSession, (pick >> 2 & 0x1F) % sent);
            datagram = datagram.left(8) + request.mid(8, 12) + datagram.mid(20);
        }
        const QString from = pick & 1 ? QStringLiteral("198.51.100.7") : kServer;
        const int port = pick & 2 ? 3479 : kPort;

        const QVector<probes::VoiceSample> before = samples;
        const int i = probes::ReadVoiceAnswerIndex(datagram, kSession);
        const bool accepted = from == kServer && port == kPort && i >= 0 && i < sent && !samples[i].arrivedMs;
        if (accepted) {
            // Our session's answer to a request that went out: its transaction.
            FUZZ_CHECK(datagram.mid(8, 12) == probes::BuildVoiceRequest(kSession, i).mid(8, 12));
            samples[i].arrivedMs = now;
            if (mapped.isEmpty())
                mapped = probes::ReadStunMappedAddress(datagram);
        }
        // Anything else leaves every sample as it was.
        int changed = 0;
        for (int k = 0; k < kPackets; ++k)
            changed += samples[k].arrivedMs != before[k].arrivedMs;
        FUZZ_CHECK(changed == (accepted ? 1 : 0));
    }
    samples.resize(std::max(sent, 1));
    const probes::VoiceAssessment a = probes::AssessVoicePath(samples);
    const probes::VoicePathStats& s = a.stats;
    FUZZ_CHECK(s.sent == samples.size() && s.received >= 0 && s.received <= s.sent);
    FUZZ_CHECK(s.lossPercent >= 0 && s.lossPercent <= 100 && s.longestLossBurst <= s.sent);
    FUZZ_CHECK(std::isfinite(s.jitterMs) && s.jitterMs >= 0 && std::isfinite(s.burstR) && s.burstR >= 0);
    FUZZ_CHECK(s.rttMinMs <= s.rttMedianMs && s.rttMedianMs <= s.rttMaxMs && s.rttP95Ms <= s.rttMaxMs);
    FUZZ_CHECK(a.listener.lossPercent >= 0 && a.listener.lossPercent <= 100 && a.listener.late <= s.received);
    if (a.rated) {
        FUZZ_CHECK(std::isfinite(a.model.R) && a.model.Mos >= 1 && a.model.Mos <= 4.5);
        FUZZ_CHECK(s.received * 2 >= s.sent);
    }
    FUZZ_CHECK(!probes::VoiceFindingText(a).isEmpty());
    return 0;
}
