// SPDX-License-Identifier: Apache-2.0
// The binding lifetime search of the extended NAT test. Idle sockets, each
// probed once from outside: the server answers a request of the helper socket
// to the probed socket's mapped port (RESPONSE-PORT, RFC 5780 section 7.5),
// so nothing leaves the probed socket after its first exchange. The first
// socket is probed at once to see that the server does this. Every socket
// stays open until the search ends: other measurements run meanwhile, and
// none of them may take a local port whose binding is watched, nor one whose
// binding the NAT still keeps.
#include "probes/extended_nat_test.h"
#include <QCoreApplication>

namespace probes {

using stun5780::BindingRequest;
using stun5780::Endpoint;

namespace {

// Sockets beyond one per step: for the check of the server and for the
// confirmation of lost probes.
constexpr int kSpareSockets = 4;
// Calibration probes tried before the server is taken not to honour RESPONSE-PORT.
constexpr int kCalibrationTries = 2;

}  // namespace

void ExtendedNatTest::finishLifetime(int kind, const QString& why, qint64 now)
{
    LifetimeResult result;
    result.search = config_.lifetime;
    result.kind = static_cast<LifetimeResult::Kind>(kind);
    result.why = why;
    result.firewallOnly = behindFirewallOnly_;
    // The probe's answer reaches the NAT at most a probe time-out after the
    // idle time was reached (round trip and one resend).
    result.outcome = DecideLifetime(config_.lifetime, lifetimeResults_, config_.probeTimeoutMs);
    finishMeasurement(LifetimeFinding(result), now);
}

// Step 1: the setup exchanges are in. Keeps the sockets that can be probed.
// False when the measurement ended here.
bool ExtendedNatTest::lifetimeSetup(qint64 now)
{
    const Endpoint& server = config_.server;
    auto mappedOf = [&](const TxId& id) -> std::optional<Endpoint> {
        const Transaction& t = tx(id);
        if (!t.reply || !t.reply->mapped || !CameFrom(*t.reply, server))
            return std::nullopt;
        return t.reply->mapped;
    };
    helperMapped_ = mappedOf(helperSetup_);
    QList<LifetimeSocket> usable;
    QString otherAddress;
    bool noNat = false;
    for (LifetimeSocket& s : lifetimeSockets_) {
        s.mapped = mappedOf(s.setup);
        // A socket whose exchange was lost is left out; the others suffice.
        if (!s.mapped || !helperMapped_)
            continue;
        // The server answers to the helper's external address: a socket mapped
        // to another address (arbitrary pooling, RFC 4787 section 4.1) would
        // never see the probe, alive or not.
        if (s.mapped->address != helperMapped_->address) {
            otherAddress = s.mapped->address;
            continue;
        }
        if (localEndpoints(openSockets_.value(s.handle)).contains(*s.mapped))
            noNat = true;
        s.idleSince = tx(s.setup).answeredAt;
        usable << s;
    }
    lifetimeSockets_ = usable;
    if (!helperMapped_ || (usable.isEmpty() && otherAddress.isEmpty())) {
        finishLifetime(LifetimeResult::NoAnswer, QString(), now);
        return false;
    }
    if (usable.size() < 2) {
        finishLifetime(LifetimeResult::DifferentAddresses,
                       QCoreApplication::translate("ExtendedNatLifetime", "NAT выдаёт сокетам компьютера разные внешние адреса (%1 и %2)")
                           .arg(helperMapped_->address, otherAddress),
                       now);
        return false;
    }
    if (noNat) {
        // The computer's own address: ask for an answer from the server's other
        // address and port. If it arrives, nothing filters inbound datagrams.
        BindingRequest request;
        request.changeIp = request.changePort = true;
        t1_ = send(helper_, server, request, now, config_.requestTimeoutMs, config_.resendAfterMs);
        stepText_ = QCoreApplication::translate("ExtendedNatLifetime", "Время жизни отображения: проверка фильтрации");
        step_ = 5;
        return true;
    }
    calibrating_ = true;
    probeDue_ = now;
    step_ = 3;
    return true;
}

void ExtendedNatTest::scheduleLifetimeProbe()
{
    probeDue_ = lifetimeSockets_[nextSocket_].idleSince + config_.lifetime.idleSeconds(probeIndex_) * 1000LL;
    step_ = 3;
}

void ExtendedNatTest::lifetimeProbeDone(qint64 now)
{
    const Endpoint& server = config_.server;
    // The probe's answer: 1 arrived where asked, 0 not arrived, -1 evidence
    // that the server cannot do this (why set).
    QString why;
    int outcome = 1;
    const Transaction& t = tx(probe_);
    const LifetimeSocket& probed = lifetimeSockets_[nextSocket_];
    if (!t.reply) {
        outcome = 0;
    } else if (t.receivedOn == helper_) {
        why = QCoreApplication::translate("ExtendedNatLifetime", "сервер отвечает не на порт из RESPONSE-PORT, а на порт отправителя");
        outcome = -1;
    } else if (!CameFrom(*t.reply, server)) {
        why = QCoreApplication::translate("ExtendedNatLifetime", "ответ пришёл не с %1, куда был отправлен запрос, а с %2")
                  .arg(server.text(), t.reply->sender.text());
        outcome = -1;
    } else if (t.receivedOn != probed.handle) {
        outcome = -1;
    }
    ++nextSocket_;
    const bool socketsLeft = nextSocket_ < lifetimeSockets_.size();

    if (calibrating_) {
        if (outcome == 1) {
            calibrating_ = false;
        } else if (outcome == 0 && ++calibrationTries_ < kCalibrationTries && socketsLeft) {
            probeDue_ = now;
            step_ = 3;
            return advanceLifetime(now);
        } else {
            return finishLifetime(LifetimeResult::Unsupported,
                                  outcome == 0 ? QCoreApplication::translate("ExtendedNatLifetime", "ответ на запрос с RESPONSE-PORT не пришёл") : why,
                                  now);
        }
    } else if (outcome < 0) {
        return finishLifetime(LifetimeResult::Unsupported, why, now);
    } else if (outcome == 0 && !confirming_ && socketsLeft) {
        // One lost datagram is no proof: another socket idle as long is
        // probed at once; only its loss too ends the search.
        confirming_ = true;
        scheduleLifetimeProbe();
        return advanceLifetime(now);
    } else {
        confirming_ = false;
        lifetimeResults_ << (outcome == 1);
        if (outcome == 0 || ++probeIndex_ >= config_.lifetime.probeCount())
            return finishLifetime(LifetimeResult::Outcome, QString(), now);
    }
    if (!socketsLeft)
        return finishLifetime(LifetimeResult::Outcome, QString(), now);
    scheduleLifetimeProbe();
    advanceLifetime(now);
}

void ExtendedNatTest::advanceLifetime(qint64 now)
{
    const Endpoint& server = config_.server;
    switch (step_) {
    case 0: {
        stepText_ = QCoreApplication::translate("ExtendedNatLifetime", "Время жизни отображения: подготовка сокетов");
        lifetimeSockets_.clear();
        lifetimeResults_.clear();
        helperMapped_.reset();
        behindFirewallOnly_ = calibrating_ = confirming_ = false;
        nextSocket_ = probeIndex_ = calibrationTries_ = 0;
        helper_ = open(0);
        if (helper_ < 0)
            return finishLifetime(LifetimeResult::NoAnswer, QString(), now);
        helperSetup_ = sendPlain(helper_, server, now);
        for (int i = 0; i < config_.lifetime.probeCount() + kSpareSockets; ++i) {
            LifetimeSocket s;
            s.handle = open(0);
            if (s.handle < 0)
                return finishLifetime(LifetimeResult::NoAnswer, QString(), now);
            s.setup = sendPlain(s.handle, server, now);
            lifetimeSockets_ << s;
        }
        step_ = 1;
        return;
    }
    case 1:
        if (!done(helperSetup_))
            return;
        for (const LifetimeSocket& s : lifetimeSockets_)
            if (!done(s.setup))
                return;
        if (!lifetimeSetup(now) || step_ == 5)
            return;
        return advanceLifetime(now);
    case 5: {
        if (!done(t1_))
            return;
        const std::optional<Reply>& answer = tx(t1_).reply;
        if (answer && tx(t1_).receivedOn == helper_ && answer->sender.address != server.address)
            return finishLifetime(LifetimeResult::NoBinding, QString(), now);
        behindFirewallOnly_ = true;
        calibrating_ = true;
        probeDue_ = now;
        step_ = 3;
        [[fallthrough]];
    }
    case 3: {
        if (calibrating_)
            stepText_ = QCoreApplication::translate("ExtendedNatLifetime", "Время жизни отображения: проверка сервера");
        else
            stepText_ = QCoreApplication::translate("ExtendedNatLifetime", "Время жизни отображения: ожидание %1 с без трафика")
                            .arg(config_.lifetime.idleSeconds(probeIndex_));
        if (now < probeDue_)
            return;
        BindingRequest request;
        request.responsePort = lifetimeSockets_[nextSocket_].mapped->port;
        probe_ = send(helper_, server, request, now, config_.probeTimeoutMs, {config_.resendAfterMs.value(0, 500)});
        step_ = 4;
        return;
    }
    case 4:
        if (!done(probe_))
            return;
        return lifetimeProbeDone(now);
    }
}

}  // namespace probes
