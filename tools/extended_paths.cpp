// SPDX-License-Identifier: Apache-2.0
#include "tools/extended_paths.h"

#include "platform/dns_query.h"
#include "platform/dns_records.h"
#include "platform/hop_probe.h"
#include "platform/stream_checks.h"
#include "platform/source_address.h"
#include "platform/udp_socket.h"
#include "probes/igd.h"
#include "tools/sip_mirror_run.h"

#include <QJsonArray>
#include <QRandomGenerator>
#include <QUrl>

namespace tools {

namespace {

constexpr int kMaxHops = 4;
constexpr int kHopTimeoutMs = 1500;
constexpr int kSsdpWaitMs = 2500;
constexpr int kHttpTimeoutMs = 3000;
constexpr int kMappingWaitMs = 1000;
constexpr int kMappingRetryMs = 250;     // RFC 6886 section 3.1: first retransmission after 250 ms
constexpr int kVoiceTailMs = 1000;       // answers later than this count as lost
constexpr int kMappedOnlyPackets = 5;    // enough for the STUN address when no voice test runs
constexpr int kUdpCheckMs = 2000, kTcpCheckMs = 2000, kTlsCheckMs = 3000;
constexpr int kMaxTargets = 8;
constexpr int kGatewayIgdPort = 1900;

QString VerdictKey(probes::NatVerdict v)
{
    switch (v) {
    case probes::NatVerdict::None: return QStringLiteral("none");
    case probes::NatVerdict::Single: return QStringLiteral("single");
    case probes::NatVerdict::Double: return QStringLiteral("double");
    case probes::NatVerdict::Carrier: return QStringLiteral("cgnat");
    case probes::NatVerdict::Unknown: break;
    }
    return QStringLiteral("unknown");
}

}  // namespace

ExtendedPathsRun::ExtendedPathsRun(QObject* parent) : QObject(parent)
{
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, [this] {
        if (auto f = std::move(onTimeout_))
            f();
    });
    pacer_.setTimerType(Qt::PreciseTimer);
    connect(&pacer_, &QTimer::timeout, this, &ExtendedPathsRun::voiceTick);
    sip_ = new SipMirrorRun(this);
    connect(sip_, &SipMirrorRun::finished, this, [this] { QTimer::singleShot(0, this, &ExtendedPathsRun::next); });
}

ExtendedPathsRun::~ExtendedPathsRun() = default;

void ExtendedPathsRun::start(const ExtendedPathsConfig& config)
{
    stop();
    config_ = config;
    result_ = {};
    steps_.clear();
    const bool nat = wants(PathSection::Nat), ports = wants(PathSection::Ports);
    if (nat || ports)
        steps_ << &ExtendedPathsRun::stepHops << &ExtendedPathsRun::stepIgd
               << &ExtendedPathsRun::stepMappingProtocols;
    if (nat || wants(PathSection::Voice))
        steps_ << &ExtendedPathsRun::stepVoice;
    if (wants(PathSection::Dns))
        steps_ << &ExtendedPathsRun::stepDns;
    if (wants(PathSection::Sip))
        steps_ << &ExtendedPathsRun::stepSip;
    stepIndex_ = 0;
    running_ = true;
    clock_.start();
    result_.localAddress = platform::SourceAddressTowards(
        config_.hopTarget.isEmpty() ? config_.stunServer : config_.hopTarget);
    result_.evidence.localAddress = result_.localAddress;
    QTimer::singleShot(0, this, &ExtendedPathsRun::next);
}

void ExtendedPathsRun::stop()
{
    const bool was = running_;
    running_ = false;
    timer_.stop();
    onTimeout_ = nullptr;
    pacer_.stop();
    hops_.reset();
    udp_.reset();
    udp2_.reset();
    http_.reset();
    connect_.reset();
    sip_->stop();
    if (was)
        emit finished();
}

std::unique_ptr<platform::UdpSocket> ExtendedPathsRun::openUdp(
    std::function<void(const QByteArray&, const QString&, int)> onDatagram)
{
    auto socket = std::make_unique<platform::UdpSocket>();
    socket->bind(0);
    platform::UdpSocket* raw = socket.get();
    connect(raw, &platform::UdpSocket::readyRead, this, [raw, onDatagram = std::move(onDatagram)] {
        while (const std::optional<platform::ReceivedDatagram> d = raw->receive())
            onDatagram(d->data, d->fromAddress, d->fromPort);
    });
    return socket;
}

void ExtendedPathsRun::wait(int ms, std::function<void()> then)
{
    onTimeout_ = std::move(then);
    timer_.start(ms);
}

void ExtendedPathsRun::next()
{
    if (!running_)
        return;
    timer_.stop();
    onTimeout_ = nullptr;
    udp_.reset();
    udp2_.reset();
    if (stepIndex_ < steps_.size()) {
        const Step s = steps_[stepIndex_++];
        (this->*s)();
        return;
    }
    if (wants(PathSection::Nat))
        result_.verdict = probes::JudgeNat(result_.evidence);
    running_ = false;
    emit finished();
}

// ---- routers on the first hops

void ExtendedPathsRun::stepHops()
{
    emit progress(QStringLiteral("Поиск маршрутизаторов на пути"));
    hops_ = std::make_unique<platform::HopProbe>();
    connect(hops_.get(), &platform::HopProbe::finished, this, [this] {
        result_.evidence.hops = hops_->hops();
        result_.gateway = result_.evidence.hops.value(0);
        next();
    });
    hops_->start(config_.hopTarget.isEmpty() ? config_.stunServer : config_.hopTarget, kMaxHops, kHopTimeoutMs);
}

// ---- UPnP IGD: SSDP search, description, GetExternalIPAddress

void ExtendedPathsRun::stepIgd()
{
    if (result_.gateway.isEmpty()) {
        next();
        return;
    }
    emit progress(QStringLiteral("Запрос к UPnP IGD"));
    udp_ = openUdp([this](const QByteArray& data, const QString&, int) {
        if (!data.startsWith("HTTP/1.1 200") || result_.igd.answered)
            return;
        result_.igd.answered = true;
        result_.evidence.igdAnswered = true;
        const QUrl location(probes::HeaderValue(data, "LOCATION"));
        timer_.stop();
        if (location.scheme() != QLatin1String("http") || location.host().isEmpty()) {
            QTimer::singleShot(0, this, &ExtendedPathsRun::next);
            return;
        }
        QTimer::singleShot(0, this, [this, location] { igdDescription(location); });
    });
    for (int i = 0; i < 2; ++i)
        udp_->sendTo(result_.gateway, kGatewayIgdPort, probes::BuildIgdSearch());
    wait(kSsdpWaitMs, [this] { next(); });
}

void ExtendedPathsRun::igdDescription(const QUrl& location)
{
    if (!running_)
        return;
    udp_.reset();
    http_ = std::make_unique<platform::TcpExchange>();
    connect(http_.get(), &platform::TcpExchange::finished, this, [this, location] {
        const probes::HttpAnswer a = probes::ReadHttpAnswer(http_->received(), http_->closedByPeer());
        igdDescription_ = a.complete && a.status == 200 ? probes::ReadIgdDescription(a.body, location)
                                                       : probes::IgdDescription{};
        result_.igd.described = igdDescription_.valid;
        result_.igd.deviceVersion = igdDescription_.deviceVersion;
        result_.igd.serviceType = igdDescription_.serviceType;
        result_.igd.serviceVersion = igdDescription_.serviceVersion;
        QTimer::singleShot(0, this, igdDescription_.valid ? &ExtendedPathsRun::igdExternalAddress : &ExtendedPathsRun::next);
    });
    http_->start(location.host(), location.port(80), probes::BuildHttpGet(location), kHttpTimeoutMs);
}

void ExtendedPathsRun::igdExternalAddress()
{
    if (!running_)
        return;
    const QUrl control = igdDescription_.controlUrl;
    http_ = std::make_unique<platform::TcpExchange>();
    connect(http_.get(), &platform::TcpExchange::finished, this, [this] {
        result_.igd.externalAddress =
            probes::ReadExternalIpAnswer(probes::ReadHttpAnswer(http_->received(), http_->closedByPeer()));
        result_.evidence.igdExternalAddress = result_.igd.externalAddress;
        QTimer::singleShot(0, this, &ExtendedPathsRun::next);
    });
    http_->start(control.host(), control.port(80),
                 probes::BuildGetExternalIpRequest(control, igdDescription_.serviceType), kHttpTimeoutMs);
}

// ---- NAT-PMP and PCP, each from its own socket

void ExtendedPathsRun::stepMappingProtocols()
{
    if (result_.gateway.isEmpty()) {
        next();
        return;
    }
    emit progress(QStringLiteral("Запрос NAT-PMP и PCP"));
    natPmpAnswer_ = pcpAnswer_ = {};
    auto finishIfBoth = [this] {
        if (natPmpAnswer_.kind != probes::MappingAnswerKind::None && pcpAnswer_.kind != probes::MappingAnswerKind::None)
            timer_.start(0);
    };
    udp_ = openUdp([this, finishIfBoth](const QByteArray& data, const QString& from, int port) {
                if (from == result_.gateway && port == probes::kPortMappingPort
                    && natPmpAnswer_.kind == probes::MappingAnswerKind::None) {
                    natPmpAnswer_ = probes::ReadMappingAnswer(data);
                    finishIfBoth();
                }
            });
    udp2_ = openUdp([this, finishIfBoth](const QByteArray& data, const QString& from, int port) {
                if (from == result_.gateway && port == probes::kPortMappingPort
                    && pcpAnswer_.kind == probes::MappingAnswerKind::None) {
                    pcpAnswer_ = probes::ReadMappingAnswer(data);
                    finishIfBoth();
                }
            });
    const QString source = platform::SourceAddressTowards(result_.gateway);
    auto send = [this, source] {
        if (!udp_ || !udp2_)
            return;
        if (natPmpAnswer_.kind == probes::MappingAnswerKind::None)
            udp_->sendTo(result_.gateway, probes::kPortMappingPort, probes::BuildNatPmpAddressRequest());
        if (pcpAnswer_.kind == probes::MappingAnswerKind::None)
            udp2_->sendTo(result_.gateway, probes::kPortMappingPort, probes::BuildPcpAnnounceRequest(source));
    };
    send();
    QTimer::singleShot(kMappingRetryMs, udp_.get(), send);
    wait(kMappingWaitMs, [this] {
        result_.mapping = probes::CombineMappingAnswers(natPmpAnswer_, pcpAnswer_);
        result_.evidence.natPmpExternalAddress = result_.mapping.natPmpExternalAddress;
        result_.evidence.natPmpAnswered = result_.mapping.natPmp;
        next();
    });
}

// ---- the voice path stream

void ExtendedPathsRun::stepVoice()
{
    const bool full = wants(PathSection::Voice);
    emit progress(full ? QStringLiteral("Проверка голосового тракта (%1 с)").arg(config_.voicePackets * probes::kVoicePacketIntervalMs / 1000)
                       : QStringLiteral("Запрос внешнего адреса у STUN-сервера"));
    samples_ = QVector<probes::VoiceSample>(full ? config_.voicePackets : kMappedOnlyPackets);
    voiceSent_ = 0;
    session_ = QRandomGenerator::global()->generate();
    udp_ = openUdp([this](const QByteArray& data, const QString& from, int port) {
                const double now = clock_.nsecsElapsed() / 1e6;
                if (from != config_.stunServer || port != config_.stunPort)
                    return;
                const int i = probes::ReadVoiceAnswerIndex(data, session_);
                if (i < 0 || i >= voiceSent_ || samples_[i].arrivedMs)
                    return;
                samples_[i].arrivedMs = now;
                if (result_.evidence.stunMappedAddress.isEmpty())
                    result_.evidence.stunMappedAddress = probes::ReadStunMappedAddress(data);
            });
    voiceTick();
    pacer_.start(probes::kVoicePacketIntervalMs);
}

void ExtendedPathsRun::voiceTick()
{
    if (!udp_ || voiceSent_ >= samples_.size()) {
        pacer_.stop();
        return;
    }
    samples_[voiceSent_].sentMs = clock_.nsecsElapsed() / 1e6;
    udp_->sendTo(config_.stunServer, config_.stunPort, probes::BuildVoiceRequest(session_, voiceSent_));
    if (++voiceSent_ == samples_.size()) {
        pacer_.stop();
        wait(kVoiceTailMs, [this] { voiceDone(); });
    }
}

void ExtendedPathsRun::voiceDone()
{
    // Answers later than the tail count as lost.
    const double limit = samples_.isEmpty() ? 0 : samples_.last().sentMs + kVoiceTailMs;
    for (probes::VoiceSample& s : samples_)
        if (s.arrivedMs && *s.arrivedMs > limit)
            s.arrivedMs.reset();
    if (wants(PathSection::Voice))
        result_.voice = probes::AssessVoicePath(samples_);
    next();
}

// ---- the provider's SIP servers (RFC 3263)

void ExtendedPathsRun::stepDns()
{
    emit progress(QStringLiteral("Запросы DNS: NAPTR, SRV, A и AAAA"));
    probes::SipDnsSummary& s = result_.dns;
    s.domain = config_.domain;
    probes::SipDnsAnswers answers;
    // The resolver blocks the UI thread for as long as it takes, as every
    // DNS query of the program does.
    const platform::DnsRecordSet naptr = platform::QueryDnsRecords(s.domain, platform::kDnsTypeNaptr);
    if (naptr.status == platform::kDnsTimeout) {
        // No server answers: every further query would block as long again.
        s.resolverSilent = true;
        next();
        return;
    }
    for (const platform::NaptrData& n : naptr.naptr)
        answers.naptr.append({n.order, n.preference, n.flags, n.service, n.regexp, n.replacement});
    s.naptrRecords = answers.naptr.size();
    s.queries = probes::SrvQueriesFor(s.domain, answers.naptr, &s.fromNaptr);
    QStringList hosts;
    for (const probes::SrvQuery& q : s.queries) {
        const platform::DnsRecordSet set = platform::QueryDnsRecords(q.name, platform::kDnsTypeSrv);
        QVector<probes::SrvRecord> records;
        for (const platform::SrvData& r : set.srv) {
            records.append({r.priority, r.weight, r.port, r.target});
            if (r.target != QLatin1String(".") && !hosts.contains(r.target))
                hosts << r.target;
        }
        s.srvCounts << records.size();
        if (!records.isEmpty())
            answers.srv.insert(q.name, records);
    }
    if (hosts.isEmpty())
        hosts << s.domain;
    for (const QString& h : hosts) {
        answers.a.insert(h, platform::QueryDnsRecords(h, platform::kDnsTypeA).addresses);
        answers.aaaa.insert(h, platform::QueryDnsRecords(h, platform::kDnsTypeAaaa).addresses);
    }
    const QVector<probes::SipTarget> targets = probes::OrderSipTargets(
        s.domain, answers, [](uint32_t n) { return uint32_t(QRandomGenerator::global()->bounded(quint64(n) + 1)); });
    for (const probes::SipTarget& t : targets.mid(0, kMaxTargets)) {
        probes::TargetCheck c;
        c.target = t;
        s.checks.append(c);
    }
    checkTarget(0);
}

void ExtendedPathsRun::checkTarget(int index)
{
    if (!running_)
        return;
    QVector<probes::TargetCheck>& checks = result_.dns.checks;
    while (index < checks.size() && (checks[index].target.address.isEmpty() || checks[index].target.ipv6))
        ++index;
    if (index >= checks.size()) {
        next();
        return;
    }
    emit progress(QStringLiteral("Проверка сервера %1 из %2").arg(index + 1).arg(checks.size()));
    probes::TargetCheck& c = checks[index];
    c.checked = true;
    const probes::SipTarget t = c.target;
    if (t.transport == probes::SipTransport::Udp) {
        const QString tag = QStringLiteral("tvl%1").arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'));
        const double sent = clock_.nsecsElapsed() / 1e6;
        udp_ = openUdp([this, index, tag, sent](const QByteArray& data, const QString&, int) {
                    const int status = probes::ReadSipOptionsAnswer(data, tag);
                    probes::TargetCheck& c = result_.dns.checks[index];
                    if (status == 0 || c.answered)
                        return;
                    c.answered = true;
                    c.sipStatus = status;
                    c.ms = int(clock_.nsecsElapsed() / 1e6 - sent + 0.5);
                    timer_.start(0);
                });
        const QString local = platform::SourceAddressTowards(t.address);
        udp_->sendTo(t.address, t.port, probes::BuildSipOptions(result_.dns.domain, local, udp_->localPort(), tag));
        wait(kUdpCheckMs, [this, index] {
            udp_.reset();
            if (!result_.dns.checks[index].answered)
                result_.dns.checks[index].detail = QStringLiteral("нет ответа");
            checkTarget(index + 1);
        });
        return;
    }
    const bool tls = t.transport == probes::SipTransport::Tls;
    connect_ = std::make_unique<platform::ConnectCheck>();
    connect(connect_.get(), &platform::ConnectCheck::finished, this, [this, index] {
        probes::TargetCheck& c = result_.dns.checks[index];
        c.answered = connect_->succeeded();
        c.ms = connect_->elapsedMs();
        c.tlsVerified = connect_->certificateVerified();
        c.detail = connect_->error();
        QTimer::singleShot(0, this, [this, index] { checkTarget(index + 1); });
    });
    connect_->start(t.address, t.port, tls, t.host, tls ? kTlsCheckMs : kTcpCheckMs);
}

QVector<PathSectionText> ExtendedPathsRun::sections() const
{
    QVector<PathSectionText> out;
    if (wants(PathSection::Nat))
        out.append({PathSection::Nat, QStringLiteral("Число NAT на пути (двойной NAT, NAT оператора)"),
                    probes::NatFindingText(result_.evidence, result_.verdict)});
    if (wants(PathSection::Ports))
        out.append({PathSection::Ports, QStringLiteral("Протоколы управления портами (UPnP IGD, NAT-PMP, PCP)"),
                    probes::PortMappingFindingText(result_.igd, result_.mapping)});
    if (wants(PathSection::Voice))
        out.append({PathSection::Voice, QStringLiteral("Качество голосового тракта"),
                    probes::VoiceFindingText(result_.voice)});
    if (wants(PathSection::Dns))
        out.append({PathSection::Dns, QStringLiteral("SIP-серверы домена, как их находит телефон (RFC 3263)"),
                    probes::SipDnsFindingText(result_.dns)});
    if (wants(PathSection::Sip))
        out.append({PathSection::Sip, SipMirrorRun::title(), sip_->text()});
    return out;
}

QJsonObject ExtendedPathsRun::json() const
{
    const ExtendedPathsResult& r = result_;
    QJsonObject o;
    o[QStringLiteral("localAddress")] = r.localAddress;
    o[QStringLiteral("gateway")] = r.gateway;
    o[QStringLiteral("hops")] = QJsonArray::fromStringList(r.evidence.hops);
    o[QStringLiteral("stunMappedAddress")] = r.evidence.stunMappedAddress;
    o[QStringLiteral("natVerdict")] = VerdictKey(r.verdict.verdict);
    o[QStringLiteral("natVerdictText")] = probes::NatVerdictText(r.verdict.verdict);
    QJsonObject igd;
    igd[QStringLiteral("answered")] = r.igd.answered;
    igd[QStringLiteral("deviceVersion")] = r.igd.deviceVersion;
    igd[QStringLiteral("serviceType")] = r.igd.serviceType;
    igd[QStringLiteral("externalAddress")] = r.igd.externalAddress;
    o[QStringLiteral("upnpIgd")] = igd;
    o[QStringLiteral("natPmp")] = r.mapping.natPmp;
    o[QStringLiteral("natPmpExternalAddress")] = r.mapping.natPmpExternalAddress;
    o[QStringLiteral("pcp")] = r.mapping.pcp;
    const probes::VoicePathStats& s = r.voice.stats;
    QJsonObject voice;
    voice[QStringLiteral("sent")] = s.sent;
    voice[QStringLiteral("received")] = s.received;
    voice[QStringLiteral("lossPercent")] = s.lossPercent;
    voice[QStringLiteral("longestLossBurst")] = s.longestLossBurst;
    voice[QStringLiteral("rttMinMs")] = s.rttMinMs;
    voice[QStringLiteral("rttMedianMs")] = s.rttMedianMs;
    voice[QStringLiteral("rttP95Ms")] = s.rttP95Ms;
    voice[QStringLiteral("rttMaxMs")] = s.rttMaxMs;
    voice[QStringLiteral("jitterMs")] = s.jitterMs;
    voice[QStringLiteral("burstRatio")] = s.burstR;
    voice[QStringLiteral("rated")] = r.voice.rated;
    if (r.voice.rated) {
        voice[QStringLiteral("delayMs")] = r.voice.delayMs;
        voice[QStringLiteral("R")] = r.voice.model.R;
        voice[QStringLiteral("MOS")] = r.voice.model.Mos;
    }
    o[QStringLiteral("voice")] = voice;
    QJsonObject dns;
    dns[QStringLiteral("domain")] = r.dns.domain;
    dns[QStringLiteral("naptrRecords")] = r.dns.naptrRecords;
    dns[QStringLiteral("resolverAnswered")] = !r.dns.resolverSilent;
    QJsonArray targets;
    for (const probes::TargetCheck& c : r.dns.checks) {
        QJsonObject t;
        t[QStringLiteral("transport")] = probes::TransportName(c.target.transport);
        t[QStringLiteral("host")] = c.target.host;
        t[QStringLiteral("port")] = c.target.port;
        t[QStringLiteral("address")] = c.target.address;
        t[QStringLiteral("checked")] = c.checked;
        t[QStringLiteral("answered")] = c.answered;
        t[QStringLiteral("ms")] = c.ms;
        if (c.target.transport == probes::SipTransport::Tls)
            t[QStringLiteral("certificateVerified")] = c.tlsVerified;
        targets.append(t);
    }
    dns[QStringLiteral("targets")] = targets;
    o[QStringLiteral("sipDns")] = dns;
    return o;
}

}  // namespace tools
