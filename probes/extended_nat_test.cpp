// SPDX-License-Identifier: Apache-2.0
#include "probes/extended_nat_test.h"

#include <QRandomGenerator>
#include <algorithm>
#include <QCoreApplication>

namespace probes {

using stun5780::BindingRequest;
using stun5780::Endpoint;

namespace {

QByteArray key(const stun5780::TransactionId& id)
{
    return QByteArray(reinterpret_cast<const char*>(id.data()), static_cast<int>(id.size()));
}

stun5780::TransactionId randomTransactionId()
{
    stun5780::TransactionId id{};
    for (uint8_t& byte : id)
        byte = static_cast<uint8_t>(QRandomGenerator::global()->bounded(256));
    return id;
}

// An even port among those phones commonly use for RTP.
int randomRtpPort()
{
    return 16384 + 2 * QRandomGenerator::global()->bounded(8192);
}

// Why a reply cannot serve as evidence ("" when it can).
QString whyNot(const std::optional<Reply>& reply, const Endpoint& expected)
{
    if (!reply)
        return QCoreApplication::translate("ExtendedNatTest", "адрес %1 не ответил").arg(expected.text());
    if (!CameFrom(*reply, expected))
        return QCoreApplication::translate("ExtendedNatTest", "ответ пришёл не с %1, куда был отправлен запрос, а с %2")
            .arg(expected.text(), reply->sender.text());
    return QString();
}

QString whyOther(const Reply& first, const Endpoint& primary)
{
    if (!first.otherAddress)
        return QCoreApplication::translate("ExtendedNatTest", "в ответе нет OTHER-ADDRESS — второго адреса сервера");
    if (!UsableOtherAddress(first.otherAddress, primary))
        return QCoreApplication::translate("ExtendedNatTest", "второй адрес сервера %1 не отличается от основного").arg(first.otherAddress->text());
    return QString();
}

}  // namespace

ExtendedNatTest::ExtendedNatTest(SocketHost& host, ExtendedNatConfig config) : host_(host), config_(std::move(config))
{
    if (!config_.newTransactionId)
        config_.newTransactionId = &randomTransactionId;
    if (!config_.candidateRtpPort)
        config_.candidateRtpPort = &randomRtpPort;
}

// The owner closes its sockets itself; the host may be gone by now.
ExtendedNatTest::~ExtendedNatTest() = default;

void ExtendedNatTest::start(qint64 nowMs)
{
    closeAll();
    findings_.clear();
    durations_.clear();
    serverOther_.reset();
    running_ = true;
    finished_ = false;
    current_ = -1;
    beginMeasurement(nowMs);
}

void ExtendedNatTest::stop(qint64 nowMs)
{
    if (!running_)
        return;
    if (current_ >= 0 && current_ < config_.measurements.size()) {
        findings_ << StoppedFinding(config_.measurements[current_]);
        durations_.insert(MeasurementName(config_.measurements[current_]), (nowMs - measurementStart_) / 1000.0);
    }
    closeAll();
    transactions_.clear();
    running_ = false;
    finished_ = true;
    stepText_ = QCoreApplication::translate("ExtendedNatTest", "Тест остановлен");
}

const ExtendedNatTest::Transaction& ExtendedNatTest::tx(const TxId& id) const
{
    return transactions_.at(key(id));
}

bool ExtendedNatTest::done(const TxId& id) const
{
    const auto it = transactions_.find(key(id));
    return it != transactions_.end() && it->second.done;
}

ExtendedNatTest::TxId ExtendedNatTest::send(int handle, const Endpoint& to, const BindingRequest& request, qint64 now,
                                            int timeoutMs, const QList<int>& resendAfterMs)
{
    BindingRequest r = request;
    do
        r.id = config_.newTransactionId();
    while (transactions_.count(key(r.id)) != 0);
    Transaction t;
    t.handle = handle;
    t.to = to;
    t.request = stun5780::BuildBindingRequest(r);
    for (int after : resendAfterMs)
        if (after < timeoutMs)
            t.resendAt << now + after;
    t.deadline = now + timeoutMs;
    t.otherPort = request.responsePort.has_value();
    host_.send(handle, to, t.request);
    transactions_[key(r.id)] = t;
    return r.id;
}

ExtendedNatTest::TxId ExtendedNatTest::sendPlain(int handle, const Endpoint& to, qint64 now)
{
    return send(handle, to, BindingRequest{}, now, config_.requestTimeoutMs, config_.resendAfterMs);
}

int ExtendedNatTest::open(int port)
{
    const int handle = nextHandle_++;
    const int localPort = host_.openSocket(handle, port);
    if (localPort < 0)
        return -1;
    openSockets_.insert(handle, localPort);
    return handle;
}

void ExtendedNatTest::closeAll()
{
    for (auto it = openSockets_.cbegin(); it != openSockets_.cend(); ++it)
        host_.closeSocket(it.key());
    openSockets_.clear();
}

QList<Endpoint> ExtendedNatTest::localEndpoints(int localPort) const
{
    QList<Endpoint> list;
    for (const QString& address : config_.localAddresses)
        list << Endpoint{address, localPort};
    return list;
}

std::optional<qint64> ExtendedNatTest::nextDeadline() const
{
    if (!running_)
        return std::nullopt;
    std::optional<qint64> next;
    auto consider = [&next](qint64 at) { next = next ? std::min(*next, at) : at; };
    for (const auto& [id, t] : transactions_) {
        if (t.done)
            continue;
        consider(t.deadline);
        for (qint64 at : t.resendAt)
            consider(at);
    }
    if (current_ >= 0 && config_.measurements.value(current_) == Measurement::Lifetime && step_ == 3)
        consider(probeDue_);
    return next;
}

int ExtendedNatTest::percent() const
{
    const int count = static_cast<int>(config_.measurements.size());
    if (finished_ || count == 0)
        return 100;
    if (current_ < 0)
        return 0;
    int inner = 0;
    if (config_.measurements[current_] == Measurement::Lifetime && config_.lifetime.probeCount() > 0)
        inner = std::clamp(probeIndex_ * 100 / config_.lifetime.probeCount(), 0, 100);
    return (current_ * 100 + inner) / count;
}

void ExtendedNatTest::timerFired(qint64 nowMs)
{
    if (!running_)
        return;
    for (auto& [id, t] : transactions_) {
        if (t.done)
            continue;
        if (nowMs >= t.deadline) {
            t.done = true;
            continue;
        }
        // One retransmission per firing at most, even when several fell due.
        bool due = false;
        while (!t.resendAt.isEmpty() && t.resendAt.first() <= nowMs) {
            t.resendAt.removeFirst();
            due = true;
        }
        if (due && openSockets_.contains(t.handle))
            host_.send(t.handle, t.to, t.request);
    }
    advance(nowMs);
}

void ExtendedNatTest::datagramArrived(int handle, const Endpoint& from, const QByteArray& data, qint64 nowMs)
{
    if (!running_ || !openSockets_.contains(handle))
        return;
    uint16_t type = 0;
    const std::optional<TxId> id = stun5780::MessageTransactionId(data, &type);
    if (!id)
        return;
    const auto it = transactions_.find(key(*id));
    if (it == transactions_.end() || it->second.reply)
        return;
    Transaction& t = it->second;
    Reply reply;
    reply.sender = from;
    if (type == stun5780::kBindingRequest) {
        // Our own request arriving at another of our sockets (hairpinning).
        if (handle == t.handle)
            return;
    } else {
        // An answer to a request of this run (RFC 5389 section 7.3), from
        // one of the server's addresses and ports (the tests of RFC 5780
        // sections 4.3 and 4.4 read its source as the server's), on the
        // socket that sent the request unless it asked for another port
        // (RESPONSE-PORT). Anything else is not the server's and changes
        // nothing.
        if (!fromServer(from) || (handle != t.handle && !t.otherPort))
            return;
        const std::optional<stun5780::BindingResponse> response = stun5780::ParseBindingResponse(data);
        if (!response)
            return;
        if (!serverOther_ && from == config_.server && UsableOtherAddress(response->otherAddress, config_.server)
            && (!response->responseOrigin || *response->responseOrigin == config_.server))
            serverOther_ = response->otherAddress;
        if (response->success)
            reply.mapped = response->mapped;
        reply.responseOrigin = response->responseOrigin;
        reply.otherAddress = response->otherAddress;
    }
    t.reply = reply;
    t.receivedOn = handle;
    t.answeredAt = nowMs;
    t.done = true;
    advance(nowMs);
}

// The primary address and port, and the second address and port the server
// named in an answer from the primary (RFC 5780 section 7.4), crossed.
bool ExtendedNatTest::fromServer(const Endpoint& from) const
{
    const Endpoint& primary = config_.server;
    const bool address = from.address == primary.address || (serverOther_ && from.address == serverOther_->address);
    const bool port = from.port == primary.port || (serverOther_ && from.port == serverOther_->port);
    return address && port;
}

void ExtendedNatTest::beginMeasurement(qint64 now)
{
    closeAll();
    transactions_.clear();
    ++current_;
    step_ = 0;
    measurementStart_ = now;
    if (current_ >= config_.measurements.size()) {
        running_ = false;
        finished_ = true;
        stepText_ = QCoreApplication::translate("ExtendedNatTest", "Тест завершён");
        return;
    }
    advance(now);
}

void ExtendedNatTest::finishMeasurement(const Finding& finding, qint64 now)
{
    findings_ << finding;
    durations_.insert(MeasurementName(finding.kind), (now - measurementStart_) / 1000.0);
    beginMeasurement(now);
}

void ExtendedNatTest::advance(qint64 now)
{
    if (!running_ || current_ < 0 || current_ >= config_.measurements.size())
        return;
    switch (config_.measurements[current_]) {
    case Measurement::Mapping: advanceMapping(now); break;
    case Measurement::Filtering: advanceFiltering(now); break;
    case Measurement::Hairpin: advanceHairpin(now); break;
    case Measurement::RtpPair: advanceRtpPair(now); break;
    case Measurement::Lifetime: advanceLifetime(now); break;
    }
}

// RFC 5780 section 4.3, all three requests from one fresh socket.
void ExtendedNatTest::advanceMapping(qint64 now)
{
    const Endpoint& primary = config_.server;
    auto finish = [&](const QString& why) {
        finishMeasurement(MappingFinding(DecideMapping(mapping_), mapping_, why), now);
    };
    switch (step_) {
    case 0:
        mapping_ = MappingEvidence{};
        mapping_.primary = primary;
        stepText_ = QCoreApplication::translate("ExtendedNatTest", "Отображение адресов: запрос на основной адрес сервера");
        sockA_ = open(0);
        if (sockA_ < 0)
            return finish(QString());
        mapping_.localEndpoints = localEndpoints(openSockets_.value(sockA_));
        t1_ = sendPlain(sockA_, primary, now);
        step_ = 1;
        return;
    case 1: {
        if (!done(t1_))
            return;
        mapping_.test1 = tx(t1_).reply;
        const QString why = !mapping_.test1 ? QString() : whyNot(mapping_.test1, primary);
        if (!mapping_.test1 || !mapping_.test1->mapped || !why.isEmpty())
            return finish(why);
        const QString other = whyOther(*mapping_.test1, primary);
        if (!other.isEmpty())
            return finish(other);
        if (mapping_.localEndpoints.contains(*mapping_.test1->mapped))
            return finish(QString());
        stepText_ = QCoreApplication::translate("ExtendedNatTest", "Отображение адресов: запрос на второй адрес сервера");
        t2_ = sendPlain(sockA_, Endpoint{mapping_.test1->otherAddress->address, primary.port}, now);
        step_ = 2;
        return;
    }
    case 2: {
        if (!done(t2_))
            return;
        mapping_.test2 = tx(t2_).reply;
        const QString why = whyNot(mapping_.test2, tx(t2_).to);
        if (!why.isEmpty() || !mapping_.test2->mapped || *mapping_.test2->mapped == *mapping_.test1->mapped)
            return finish(why);
        stepText_ = QCoreApplication::translate("ExtendedNatTest", "Отображение адресов: запрос на второй адрес и порт сервера");
        t3_ = sendPlain(sockA_, *mapping_.test1->otherAddress, now);
        step_ = 3;
        return;
    }
    case 3:
        if (!done(t3_))
            return;
        mapping_.test3 = tx(t3_).reply;
        return finish(whyNot(mapping_.test3, tx(t3_).to));
    }
}

// RFC 5780 section 4.4, from one fresh socket.
void ExtendedNatTest::advanceFiltering(qint64 now)
{
    const Endpoint& primary = config_.server;
    auto finish = [&](const QString& why) {
        finishMeasurement(FilteringFinding(DecideFiltering(filtering_), filtering_, why), now);
    };
    switch (step_) {
    case 0:
        filtering_ = FilteringEvidence{};
        filtering_.primary = primary;
        stepText_ = QCoreApplication::translate("ExtendedNatTest", "Фильтрация: запрос на основной адрес сервера");
        sockA_ = open(0);
        if (sockA_ < 0)
            return finish(QString());
        t1_ = sendPlain(sockA_, primary, now);
        step_ = 1;
        return;
    case 1: {
        if (!done(t1_))
            return;
        filtering_.test1 = tx(t1_).reply;
        const QString why = !filtering_.test1 ? QString() : whyNot(filtering_.test1, primary);
        if (!filtering_.test1 || !filtering_.test1->mapped || !why.isEmpty())
            return finish(why);
        const QString other = whyOther(*filtering_.test1, primary);
        if (!other.isEmpty())
            return finish(other);
        stepText_ = QCoreApplication::translate("ExtendedNatTest", "Фильтрация: ответ с другого адреса и порта сервера");
        BindingRequest request;
        request.changeIp = request.changePort = true;
        t2_ = send(sockA_, primary, request, now, config_.requestTimeoutMs, config_.resendAfterMs);
        step_ = 2;
        return;
    }
    case 2: {
        if (!done(t2_))
            return;
        filtering_.test2 = tx(t2_).reply;
        if (filtering_.test2)
            return finish(whyNot(filtering_.test2, *filtering_.test1->otherAddress));
        stepText_ = QCoreApplication::translate("ExtendedNatTest", "Фильтрация: ответ с другого порта сервера");
        BindingRequest request;
        request.changePort = true;
        t3_ = send(sockA_, primary, request, now, config_.requestTimeoutMs, config_.resendAfterMs);
        step_ = 3;
        return;
    }
    case 3:
        if (!done(t3_))
            return;
        filtering_.test3 = tx(t3_).reply;
        if (!filtering_.test3)
            return finish(QString());
        return finish(whyNot(filtering_.test3, Endpoint{primary.address, filtering_.test1->otherAddress->port}));
    }
}

// RFC 5780 section 4.7. Socket A sends to socket B's mapped address first,
// which opens A's filter towards B's external address (a NAT with
// address-dependent filtering would drop B's datagram otherwise), then B
// sends to A's; either arrival shows the NAT hairpins.
void ExtendedNatTest::advanceHairpin(qint64 now)
{
    auto finish = [&] { finishMeasurement(HairpinFinding(DecideHairpin(hairpin_), hairpin_), now); };
    switch (step_) {
    case 0:
        hairpin_ = HairpinEvidence{};
        hairpin_.localAddresses = config_.localAddresses;
        stepText_ = QCoreApplication::translate("ExtendedNatTest", "Петля через NAT: внешние адреса двух сокетов");
        sockA_ = open(0);
        sockB_ = open(0);
        if (sockA_ < 0 || sockB_ < 0)
            return finish();
        hairpin_.localEndpointsA = localEndpoints(openSockets_.value(sockA_));
        t1_ = sendPlain(sockA_, config_.server, now);
        tB_ = sendPlain(sockB_, config_.server, now);
        step_ = 1;
        return;
    case 1:
        if (!done(t1_) || !done(tB_))
            return;
        if (tx(t1_).reply && CameFrom(*tx(t1_).reply, config_.server))
            hairpin_.mappedA = tx(t1_).reply->mapped;
        if (tx(tB_).reply && CameFrom(*tx(tB_).reply, config_.server))
            hairpin_.mappedB = tx(tB_).reply->mapped;
        if (!hairpin_.mappedA || !hairpin_.mappedB || hairpin_.localEndpointsA.contains(*hairpin_.mappedA))
            return finish();
        stepText_ = QCoreApplication::translate("ExtendedNatTest", "Петля через NAT: пакеты на внешние адреса друг друга");
        t2_ = sendPlain(sockA_, *hairpin_.mappedB, now);
        hairpinProbe_ = sendPlain(sockB_, *hairpin_.mappedA, now);
        step_ = 2;
        return;
    case 2:
        if (!done(hairpinProbe_) || !done(t2_))
            return;
        if (tx(hairpinProbe_).reply && tx(hairpinProbe_).receivedOn == sockA_)
            hairpin_.receivedAtA = tx(hairpinProbe_).reply->sender;
        if (tx(t2_).reply && tx(t2_).receivedOn == sockB_)
            hairpin_.receivedAtB = tx(t2_).reply->sender;
        return finish();
    }
}

void ExtendedNatTest::advanceRtpPair(qint64 now)
{
    switch (step_) {
    case 0: {
        stepText_ = QCoreApplication::translate("ExtendedNatTest", "Пара портов RTP/RTCP");
        constexpr int kAttempts = 20;
        sockA_ = sockB_ = -1;
        for (int i = 0; i < kAttempts && sockB_ < 0; ++i) {
            const int port = config_.candidateRtpPort() & ~1;
            if (port <= 0 || port >= 65535)
                continue;
            sockA_ = open(port);
            if (sockA_ < 0)
                continue;
            sockB_ = open(port + 1);
            if (sockB_ < 0) {
                host_.closeSocket(sockA_);
                openSockets_.remove(sockA_);
                sockA_ = -1;
                continue;
            }
            rtpLocal_ = port;
        }
        if (sockB_ < 0)
            return finishMeasurement(RtpPairFinding(std::nullopt, false), now);
        t1_ = sendPlain(sockA_, config_.server, now);
        t2_ = sendPlain(sockB_, config_.server, now);
        step_ = 1;
        return;
    }
    case 1: {
        if (!done(t1_) || !done(t2_))
            return;
        const std::optional<Reply>& even = tx(t1_).reply;
        const std::optional<Reply>& next = tx(t2_).reply;
        if (!even || !even->mapped || !next || !next->mapped || !CameFrom(*even, config_.server)
            || !CameFrom(*next, config_.server))
            return finishMeasurement(RtpPairFinding(std::nullopt, true), now);
        return finishMeasurement(RtpPairFinding(RtpPair{rtpLocal_, even->mapped->port, next->mapped->port}, false),
                                 now);
    }
    }
}

}  // namespace probes
