// SPDX-License-Identifier: Apache-2.0
#include "tools/extended_section_nat.h"

#include "platform/hop_probe.h"

namespace tools {

namespace {

constexpr int kMaxHops = 4;
constexpr int kHopTimeoutMs = 1500;

QVector<probes::HopAnswer> HopAnswers(const QVector<platform::HopProbe::Reply>& replies)
{
    constexpr int kTimeExceeded = 11, kUnreachable = 3, kPortUnreachable = 3;  // RFC 792
    QVector<probes::HopAnswer> out;
    for (const platform::HopProbe::Reply& r : replies) {
        probes::HopAnswer a{r.address, probes::HopKind::None, r.code};
        if (r.type == kTimeExceeded)
            a.kind = probes::HopKind::TimeExceeded;
        else if (r.type == kUnreachable)
            a.kind = r.code == kPortUnreachable ? probes::HopKind::PortUnreachable : probes::HopKind::Unreachable;
        out << a;
    }
    return out;
}

}  // namespace

NatSection::NatSection(QObject* parent) : ExtendedSection(parent) {}

NatSection::~NatSection() = default;

int NatSection::percent() const
{
    return running() ? (located_ ? 50 : 0) : 100;
}

void NatSection::halt()
{
    hops_.reset();
}

void NatSection::begin()
{
    located_ = false;
    emit progress(QStringLiteral("Поиск маршрутизаторов на пути"));
    hops_ = std::make_unique<platform::HopProbe>();
    const QString target = config_.hopTarget.isEmpty() ? config_.stunServer : config_.hopTarget;
    connect(hops_.get(), &platform::HopProbe::finished, this, [this, target] {
        result_->evidence.hops = probes::HopList(HopAnswers(hops_->replies()), target, &result_->evidence.hopsFailed);
        QTimer::singleShot(0, this, [this, run = generation()] {
            if (run == generation())
                locate();
        });
    });
    hops_->start(target, kMaxHops, kHopTimeoutMs);
}

void NatSection::locate()
{
    located_ = true;
    const QString mapped = result_->evidence.stunMappedAddress;
    if (mapped.isEmpty() || mapped == result_->localAddress) {
        judge();
        return;
    }
    emit progress(QStringLiteral("Поиск узла с адресом %1").arg(mapped));
    hops_ = std::make_unique<platform::HopProbe>();
    connect(hops_.get(), &platform::HopProbe::finished, this, [this, mapped] {
        bool failed = false;
        result_->evidence.located = probes::HopList(HopAnswers(hops_->replies()), mapped, &failed);
        judge();
    });
    hops_->start(mapped, kMaxHops, kHopTimeoutMs);
}

void NatSection::judge()
{
    result_->verdict = probes::JudgeNat(result_->evidence);
    finish();
}

}  // namespace tools
