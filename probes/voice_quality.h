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
    double burstR = 1;            // G.107 burst ratio of the loss pattern (BurstRatio)
};

// Figures of a stream, samples in the order they were sent. Percentiles by the
// nearest-rank method; the median of an even count is the mean of the middle two.
VoicePathStats ComputeVoicePathStats(const QVector<VoiceSample>& samples);

// RFC 3550 section 6.4.1 / appendix A.8: J += (|D| - J) / 16 for each packet
// after the first, D the difference of the transit times of the packet and
// the one that arrived before it. Transit here is the round trip.
double InterarrivalJitter(const QVector<VoiceSample>& samples);

// G.107 burst ratio from the two-state (Gilbert) loss model: BurstR = Ppl / p,
// Ppl the share of requests lost and p the probability that a loss run starts
// after an answered request, estimated as loss runs / answered requests. A run
// at the start or the end counts like one in the middle, so where a burst falls
// does not change the figure. 1 for random loss and for no loss.
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

// The jitter buffer a phone is assumed to have: twice the jitter, at least
// one 20 ms frame.
double JitterBufferMs(const VoicePathStats& stats);

// Mouth-to-ear delay used for T and Ta: half the median round trip, one 20 ms
// G.711 frame of packetisation, and the jitter buffer.
double MouthToEarDelayMs(const VoicePathStats& stats);

// One-way loss (percent) implied by a round-trip loss under the assumption
// that both directions lose alike and independently: 1 - sqrt(1 - p_rt).
double OneWayLossPercent(double roundTripLossPercent);

// What a listener at one end hears: the one-way loss the round trip implies
// plus the answers that came too late for the jitter buffer (those the
// receiving phone discards). The E-model is fed with these figures.
struct ListenerFigures {
    double bufferMs = 0;        // jitter buffer assumed
    double deadlineMs = 0;      // round trip after which an answer is too late
    int late = 0;               // answers later than deadlineMs
    double roundTripLossPercent = 0;  // no answer, measured
    double lossPercent = 0;     // Ppl: one-way share of no answer plus the late share
    double burstR = 1;          // over the stream with late answers counted lost
};

ListenerFigures ComputeListenerFigures(const QVector<VoiceSample>& samples, const VoicePathStats& stats);

// Stats plus the E-model, or none (not enough answers: fewer than half).
struct VoiceAssessment {
    VoicePathStats stats;      // measured over the round trip
    ListenerFigures listener;  // what R uses
    bool rated = false;
    double delayMs = 0;
    EModelResult model;
};

VoiceAssessment AssessVoicePath(const QVector<VoiceSample>& samples);

// The Russian finding: the packets sent, the round-trip figures, what a
// listener hears, R and MOS (or "неизвестно") and what they mean.
QString VoiceFindingText(const VoiceAssessment& a);

// ---- the stream's messages

// Binding Request (RFC 5389) of kVoicePacketSize bytes: a SOFTWARE attribute
// fills it up. SOFTWARE is comprehension-optional (RFC 5389 sections 15 and
// 15.10), so every server answers the request; PADDING (0x0026, RFC 5780)
// is comprehension-required and draws 420 from a server without RFC 5780.
// The transaction ID carries session and index.
QByteArray BuildVoiceRequest(uint32_t session, int index);

// The index of a Binding Success Response to BuildVoiceRequest(session, ...);
// -1 for anything else.
int ReadVoiceAnswerIndex(const QByteArray& data, uint32_t session);

// XOR-MAPPED-ADDRESS (else MAPPED-ADDRESS) of a Binding Success Response, IPv4
// only: dotted text, "" when absent.
QString ReadStunMappedAddress(const QByteArray& data);

}  // namespace probes
