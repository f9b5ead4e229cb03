// SPDX-License-Identifier: Apache-2.0
#pragma once
// The voice path test: a stream of STUN Binding Requests paced and sized like
// G.711 RTP (one every 20 ms, 172 bytes: 12 bytes of RTP header and 160 of
// payload), each matched to its answer; the path's figures from them; and the
// ITU-T G.107 E-model that turns delay, jitter and loss into R and MOS.
#include <QByteArray>
#include <QString>
#include <QVector>
#include <cstdint>
#include <optional>

namespace probes {

constexpr int kVoicePacketIntervalMs = 20;
constexpr int kVoicePacketCount = 500;     // 10 s
constexpr int kVoicePacketSize = 172;

// One request of the stream.
struct VoiceSample {
    double sentMs = 0;
    std::optional<double> arrivedMs;   // empty: no answer
};

struct VoicePathStats {
    int sent = 0;
    int received = 0;
    double lossPercent = 0;
    int longestLossBurst = 0;     // most consecutive requests without answer
    double rttMinMs = 0, rttMedianMs = 0, rttP95Ms = 0, rttMaxMs = 0;
    double jitterMs = 0;          // RFC 3550 interarrival jitter over the round trip
    double burstR = 1;            // G.107 burst ratio of the loss pattern
};

// Figures of a stream, samples in the order they were sent. Percentiles by the
// nearest-rank method; the median of an even count is the mean of the middle two.
VoicePathStats ComputeVoicePathStats(const QVector<VoiceSample>& samples);

// RFC 3550 section 6.4.1 / appendix A.8: J += (|D| - J) / 16 for each packet
// after the first, D the difference of the transit times of the packet and
// the one that arrived before it. Transit here is the round trip.
double InterarrivalJitter(const QVector<VoiceSample>& samples);

// G.107 section 3.3/3.4 burst ratio from a two-state loss model: 1 / (p + q),
// p = P(lost | previous answered), q = P(answered | previous lost); 1 for random
// loss and for no loss.
double BurstRatio(const QVector<VoiceSample>& samples);

// The E-model terms for one set of inputs.
struct EModelResult {
    double Ro = 0, Is = 0, Idte = 0, Idle = 0, Idd = 0, Id = 0, IeEff = 0, R = 0, Mos = 0;
};

// G.107 (06/2015) with every parameter at its default value except: T and Ta
// (mean one-way delay and absolute delay, ms), Tr = 2T (round trip in the
// 4-wire loop), and the equipment impairment of G.711 with packet-loss
// concealment (Ie = 0, Bpl = 25.1, G.113 Appendix I) under Ppl percent loss
// with burst ratio BurstR.
EModelResult ComputeEModel(double oneWayDelayMs, double lossPercent, double burstR);

// G.107 Annex B: R -> MOS (CQE).
double MosFromR(double r);

// Mouth-to-ear delay used for T and Ta: half the median round trip, one 20 ms
// G.711 frame of packetisation, and a jitter buffer of twice the jitter, at
// least one frame.
double MouthToEarDelayMs(const VoicePathStats& stats);

// Stats plus the E-model, or none (not enough answers: fewer than half).
struct VoiceAssessment {
    VoicePathStats stats;
    bool rated = false;
    double delayMs = 0;
    EModelResult model;
};

VoiceAssessment AssessVoicePath(const QVector<VoiceSample>& samples);

// The Russian finding: figures, R and MOS (or "неизвестно") and what they mean.
QString VoiceFindingText(const VoiceAssessment& a);

// ---- the stream's messages

// Binding Request (RFC 5389) of kVoicePacketSize bytes: a PADDING attribute
// (RFC 5780 section 7.6) fills it up. The transaction ID carries session and index.
QByteArray BuildVoiceRequest(uint32_t session, int index);

// The index of a Binding Success Response to BuildVoiceRequest(session, ...);
// -1 for anything else.
int ReadVoiceAnswerIndex(const QByteArray& data, uint32_t session);

// XOR-MAPPED-ADDRESS (else MAPPED-ADDRESS) of a Binding Success Response, IPv4
// only: dotted text, "" when absent.
QString ReadStunMappedAddress(const QByteArray& data);

}  // namespace probes
