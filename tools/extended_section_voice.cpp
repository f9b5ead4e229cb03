// SPDX-License-Identifier: Apache-2.0
#include "tools/extended_section_voice.h"

#include "platform/udp_socket.h"

#include <QRandomGenerator>

namespace tools {

namespace {

constexpr int kVoiceTailMs = 1000;       // answers later than this count as lost
constexpr int kMappedOnlyPackets = 5;    // enough for the STUN address when no voice test runs

}  // namespace

VoiceSection::VoiceSection(QObject* parent) : ExtendedSection(parent)
{
    pacer_.setTimerType(Qt::PreciseTimer);
    connect(&pacer_, &QTimer::timeout, this, &VoiceSection::tick);
}

VoiceSection::~VoiceSection() = default;

int VoiceSection::percent() const
{
    if (!running())
        return 100;
    return samples_.isEmpty() ? 0 : sent_ * 100 / int(samples_.size());
}

void VoiceSection::halt()
{
    pacer_.stop();
    udp_.reset();
}

void VoiceSection::begin()
{
    const bool full = wants(PathSection::Voice);
    emit progress(full ? QStringLiteral("Проверка голосового тракта (%1 с)").arg(config_.voicePackets * probes::kVoicePacketIntervalMs / 1000)
                       : QStringLiteral("Запрос внешнего адреса у STUN-сервера"));
    samples_ = QVector<probes::VoiceSample>(full ? config_.voicePackets : kMappedOnlyPackets);
    sent_ = 0;
    session_ = QRandomGenerator::global()->generate();
    udp_ = openUdp([this](const QByteArray& data, const QString& from, int port) {
        const double now = elapsedMs();
        if (!running() || from != config_.stunServer || port != config_.stunPort)
            return;
        const int i = probes::ReadVoiceAnswerIndex(data, session_);
        if (i < 0 || i >= sent_ || samples_[i].arrivedMs)
            return;
        samples_[i].arrivedMs = now;
        if (result_->evidence.stunMappedAddress.isEmpty())
            result_->evidence.stunMappedAddress = probes::ReadStunMappedAddress(data);
    });
    tick();
    pacer_.start(probes::kVoicePacketIntervalMs);
}

void VoiceSection::tick()
{
    if (!udp_ || sent_ >= samples_.size()) {
        pacer_.stop();
        return;
    }
    samples_[sent_].sentMs = elapsedMs();
    udp_->sendTo(config_.stunServer, config_.stunPort, probes::BuildVoiceRequest(session_, sent_));
    if (++sent_ == samples_.size()) {
        pacer_.stop();
        wait(kVoiceTailMs, [this] { done(); });
    }
}

void VoiceSection::done()
{
    // Answers later than the tail count as lost.
    const double limit = samples_.isEmpty() ? 0 : samples_.last().sentMs + kVoiceTailMs;
    for (probes::VoiceSample& s : samples_)
        if (s.arrivedMs && *s.arrivedMs > limit)
            s.arrivedMs.reset();
    if (wants(PathSection::Voice))
        result_->voice = probes::AssessVoicePath(samples_);
    finish();
}

}  // namespace tools
