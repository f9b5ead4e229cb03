// SPDX-License-Identifier: Apache-2.0
#include "tools/extended_paths.h"

#include "platform/dns_query.h"
#include "platform/dns_records.h"
#include "platform/hop_probe.h"
#include "platform/routes.h"
#include "platform/stream_checks.h"
#include "platform/source_address.h"
#include "platform/udp_socket.h"
#include "probes/igd.h"
#include "probes/sip_certificate.h"
#include "tools/sip_mirror_run.h"

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
    if (nat)
        steps_ << &ExtendedPathsRun::stepLocate;
    if (wants(PathSection::Dns))
        steps_ << &ExtendedPathsRun::stepDns;
    if (wants(PathSection::Sip))
        steps_ << &ExtendedPathsRun::stepSip;
    stepIndex_ = 0;
    running_ = true;
    ++run_;
    clock_.start();
    result_.localAddress = platform::SourceAddressTowards(
        config_.hopTarget.isEmpty() ? config_.stunServer : config_.hopTarget);
    result_.evidence.localAddress = result_.localAddress;
    // The gateway is the routing table's, not whoever answers at TTL 1: only
    // it is asked and only its answers count (RFC 6886 section 3).
    result_.gateway = config_.gateway.isEmpty() ? platform::DefaultGatewayIPv4() : config_.gateway;
    QTimer::singleShot(0, this, &ExtendedPathsRun::next);
}

void ExtendedPathsRun::stop()
{
    const bool was = running_;
    running_ = false;
    ++run_;
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
    const QString target = config_.hopTarget.isEmpty() ? config_.stunServer : config_.hopTarget;
    connect(hops_.get(), &platform::HopProbe::finished, this, [this, target] {
        result_.evidence.hops = probes::HopList(HopAnswers(hops_->replies()), target, &result_.evidence.hopsFailed);
        next();
    });
    hops_->start(target, kMaxHops, kHopTimeoutMs);
}

// ---- UPnP IGD: SSDP search, description, GetExternalIPAddress

void ExtendedPathsRun::stepIgd()
{
    if (result_.gateway.isEmpty()) {
        next();
        return;
    }
    emit progress(QStringLiteral("Запрос к UPnP IGD"));
    udp_ = openUdp([this](const QByteArray& data, const QString& from, int port) {
        // Only the gateway speaks for the gateway: any other host of the LAN
        // could name a description anywhere (UDA 2.0 section 1.3.3).
        if (from != result_.gateway || port != kGatewayIgdPort)
            return;
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
        if (location.host() != result_.gateway) {
            result_.igd.foreignHost = location.host();
            QTimer::singleShot(0, this, &ExtendedPathsRun::next);
            return;
        }
        QTimer::singleShot(0, this, [this, location] { igdDescription(location); });
    });
    // To the group, as UPnP specifies, and to the gateway itself.
    for (int i = 0; i < 2; ++i) {
        if (!config_.ssdpGroup.isEmpty())
            udp_->sendTo(config_.ssdpGroup, kGatewayIgdPort, probes::BuildIgdSearch());
        udp_->sendTo(result_.gateway, kGatewayIgdPort, probes::BuildIgdSearch());
    }
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
        result_.igd.tooLarge = http_->tooLarge();
        igdDescription_ = a.complete && a.status == 200 ? probes::ReadIgdDescription(a.body, location)
                                                       : probes::IgdDescription{};
        // Every control URL must lie on the gateway too: the others are left out.
        QVector<probes::IgdService> own;
        for (const probes::IgdService& service : igdDescription_.services) {
            if (service.controlUrl.host() == result_.gateway)
                own << service;
            else
                result_.igd.foreignHost = service.controlUrl.host();
        }
        igdDescription_.services = own;
        if (own.isEmpty())
            igdDescription_.valid = false;
        result_.igd.described = igdDescription_.valid;
        result_.igd.deviceVersion = igdDescription_.deviceVersion;
        result_.igd.serviceType = igdDescription_.serviceType;
        result_.igd.serviceVersion = igdDescription_.serviceVersion;
        if (igdDescription_.valid)
            QTimer::singleShot(0, this, [this] { igdStatus(0, 0); });
        else
            QTimer::singleShot(0, this, &ExtendedPathsRun::next);
    });
    http_->start(location.host(), location.port(80), probes::BuildHttpGet(location), kHttpTimeoutMs);
}

// A gateway may list WANIPConnection and WANPPPConnection: only the connected
// one's external address is the gateway's (WANIPConnection:1 section 2.2.7,
// ConnectionStatus). One that answers no status at all is asked anyway.
void ExtendedPathsRun::igdStatus(int index, int answered)
{
    if (!running_)
        return;
    const QVector<probes::IgdService>& services = igdDescription_.services;
    if (index >= services.size()) {
        if (answered == 0)
            igdExternalAddress(services.first());
        else
            next();  // none connected: no external address to take
        return;
    }
    const probes::IgdService service = services[index];
    http_ = std::make_unique<platform::TcpExchange>();
    connect(http_.get(), &platform::TcpExchange::finished, this, [this, index, answered, service] {
        const QString status =
            probes::ReadConnectionStatus(probes::ReadHttpAnswer(http_->received(), http_->closedByPeer()));
        if (!status.isEmpty())
            result_.igdConnectionStatus = status;
        if (status == QLatin1String("Connected")) {
            QTimer::singleShot(0, this, [this, service] { igdExternalAddress(service); });
            return;
        }
        const int now = answered + (status.isEmpty() ? 0 : 1);
        QTimer::singleShot(0, this, [this, index, now] { igdStatus(index + 1, now); });
    });
    http_->start(service.controlUrl.host(), service.controlUrl.port(80),
                 probes::BuildGetStatusRequest(service.controlUrl, service.serviceType), kHttpTimeoutMs);
}

void ExtendedPathsRun::igdExternalAddress(const probes::IgdService& service)
{
    if (!running_)
        return;
    const QUrl control = service.controlUrl;
    result_.igd.serviceType = service.serviceType;
    result_.igd.serviceVersion = service.serviceType.section(QLatin1Char(':'), -1).toInt();
    http_ = std::make_unique<platform::TcpExchange>();
    connect(http_.get(), &platform::TcpExchange::finished, this, [this] {
        result_.igd.externalAddress =
            probes::ReadExternalIpAnswer(probes::ReadHttpAnswer(http_->received(), http_->closedByPeer()));
        result_.evidence.igdExternalAddress = result_.igd.externalAddress;
        QTimer::singleShot(0, this, &ExtendedPathsRun::next);
    });
    http_->start(control.host(), control.port(80),
                 probes::BuildGetExternalIpRequest(control, service.serviceType), kHttpTimeoutMs);
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

// ---- where the address the STUN server sees lives: TTL-limited datagrams to it

void ExtendedPathsRun::stepLocate()
{
    const QString mapped = result_.evidence.stunMappedAddress;
    if (mapped.isEmpty() || mapped == result_.localAddress) {
        next();
        return;
    }
    emit progress(QStringLiteral("Поиск узла с адресом %1").arg(mapped));
    hops_ = std::make_unique<platform::HopProbe>();
    connect(hops_.get(), &platform::HopProbe::finished, this, [this, mapped] {
        bool failed = false;
        result_.evidence.located = probes::HopList(HopAnswers(hops_->replies()), mapped, &failed);
        next();
    });
    hops_->start(mapped, kMaxHops, kHopTimeoutMs);
}

// ---- the provider's SIP servers (RFC 3263)

void ExtendedPathsRun::stepDns()
{
    emit progress(QStringLiteral("Запросы DNS: NAPTR, SRV, A и AAAA"));
    probes::SipDnsSummary& s = result_.dns;
    s.domain = config_.domain;
    probes::SipDnsAnswers answers;
    // Each query waits with the windows served, and "Остановить" and
    // "Закрыть" taken: stop() may run inside any of them, so the step looks
    // whether it is still wanted after each.
    const quint64 run = run_;
    const platform::DnsRecordSet naptr = platform::QueryDnsRecords(s.domain, platform::kDnsTypeNaptr);
    if (dnsStopped(run))
        return;
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
        if (dnsStopped(run))
            return;
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
        if (dnsStopped(run))
            return;
        answers.aaaa.insert(h, platform::QueryDnsRecords(h, platform::kDnsTypeAaaa).addresses);
        if (dnsStopped(run))
            return;
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
        udp_ = openUdp([this, index, tag, sent, t](const QByteArray& data, const QString& from, int port) {
                    // The answer comes from the target itself (RFC 3261 section 18.1.2).
                    if (from != t.address || port != t.port)
                        return;
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
        c.tlsChainVerified = connect_->chainVerified();
        c.tlsChainError = connect_->chainError();
        c.tlsIdentities = probes::SipIdentities(probes::ReadCertificateNames(connect_->certificateDer()),
                                                connect_->certificateCommonNames());
        c.tlsVerified = c.answered && c.tlsChainVerified
            && probes::IdentityMatchesDomain(c.tlsIdentities, result_.dns.domain);
        c.detail = connect_->error();
        QTimer::singleShot(0, this, [this, index] { checkTarget(index + 1); });
    });
    // RFC 5922 section 4: the certificate must be the SIP domain's, whatever
    // host the SRV records named; the domain is also the name asked for.
    connect_->start(t.address, t.port, tls, result_.dns.domain, tls ? kTlsCheckMs : kTcpCheckMs);
}

}  // namespace tools
