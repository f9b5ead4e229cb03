// SPDX-License-Identifier: Apache-2.0
#include "tools/extended_section_ipv6.h"

#include "platform/icmp6_echo.h"
#include "platform/source_address.h"
#include "platform/stream_checks.h"
#include "platform/udp_socket.h"
#include "probes/nat_behaviour.h"
#include "probes/sip_certificate.h"

#include <QCoreApplication>
#include <QHostAddress>
#include <QJsonArray>
#include <QRandomGenerator>

#include <algorithm>

namespace tools {

namespace {

// RFC 5952 text, so that addresses compare equal however they were written.
QString Canonical(const QString& address)
{
    QHostAddress a;
    if (address.isEmpty() || !a.setAddress(address) || a.protocol() != QAbstractSocket::IPv6Protocol)
        return {};
    return a.toString();
}

probes::stun5780::TransactionId RandomId()
{
    probes::stun5780::TransactionId id{};
    for (uint8_t& b : id)
        b = static_cast<uint8_t>(QRandomGenerator::global()->bounded(256));
    return id;
}

// The NAT test's findings, titled apart from the IPv4 ones shown above them.
QList<probes::Finding> Ipv6Titled(QList<probes::Finding> findings)
{
    for (probes::Finding& f : findings)
        f.title = QStringLiteral("IPv6 — ") + f.title;
    return findings;
}

// Closes a socket object and deletes it once the event loop is back: it may be
// the one whose signal is being handled.
template <typename T>
void Dispose(std::unique_ptr<T>& p)
{
    if (!p)
        return;
    p->close();
    p.release()->deleteLater();
}

}  // namespace

Ipv6SectionRun::Ipv6SectionRun(QObject* parent) : QObject(parent)
{
    timer_.setSingleShot(true);
}

Ipv6SectionRun::~Ipv6SectionRun()
{
    firewall_.reset();
    connect_.reset();
    sipUdp_.reset();
    binding_.reset();
    echo_.reset();
    qDeleteAll(sockets_);
}

void Ipv6SectionRun::start(const Ipv6SectionConfig& config)
{
    stop();
    config_ = config;
    config_.stunServer = Canonical(config.stunServer);
    config_.stunAlternate = Canonical(config.stunAlternate);
    findings_ = {};
    seconds_ = 0;
    advised_ = false;
    running_ = true;
    clock_.start();
    QTimer::singleShot(0, this, &Ipv6SectionRun::readFacts);
}

void Ipv6SectionRun::stop()
{
    if (!running_)
        return;
    findings_.stopped = true;
    if (firewall_ && firewall_->running()) {
        firewall_->stop(clock_.elapsed());
        findings_.natFindings += Ipv6Titled(firewall_->findings());
    }
    finish();
}

int Ipv6SectionRun::percent() const
{
    if (!running_)
        return 100;
    if (firewall_)
        return 10 + firewall_->percent() * 9 / 10;
    return binding_ ? 5 : 0;
}

void Ipv6SectionRun::readFacts()
{
    if (!running_)
        return;
    emit progress(QCoreApplication::translate("Ipv6Section", "Адреса и маршруты IPv6"));
    const platform::Ipv6SystemFacts facts
        = config_.readFacts ? config_.readFacts() : platform::ReadIpv6SystemFacts();
    findings_.systemReadable = facts.readable;
    findings_.defaultRoute = facts.hasDefaultRoute;
    findings_.interfaceName = facts.defaultInterfaceName;
    QList<probes::LocalIpv6Address> onInterface;
    for (const platform::Ipv6InterfaceAddress& a : facts.addresses) {
        localAddresses_ << a.address;
        // Without a default route, every interface's addresses are shown.
        if (facts.hasDefaultRoute && a.interfaceIndex != facts.defaultInterface)
            continue;
        onInterface << probes::LocalIpv6Address{a.address, (a.flags & platform::kAddressTemporary) != 0,
                                                (a.flags & platform::kAddressDeprecated) != 0,
                                                (a.flags & platform::kAddressTentative) != 0};
    }
    findings_.addresses = probes::SummariseIpv6(onInterface);
    if (!facts.readable || probes::Ipv6Absent(findings_)) {
        finish();
        return;
    }
    startBinding();
}

// ---- one Binding Request over IPv6: the translation

void Ipv6SectionRun::startBinding()
{
    findings_.stunServer = config_.stunServer;
    if (!findings_.defaultRoute) {
        finish();
        return;
    }
    if (config_.stunServer.isEmpty()) {
        startEchoes();   // the SIP servers may still have IPv6 addresses
        return;
    }
    emit progress(QCoreApplication::translate("Ipv6Section", "Запрос STUN по IPv6"));
    binding_ = std::make_unique<platform::UdpSocket>();
    if (!binding_->bind(0, platform::UdpSocket::Family::Ipv6)) {
        bindingDone();
        return;
    }
    findings_.source = {platform::SourceAddressTowards6(config_.stunServer), binding_->localPort()};
    platform::UdpSocket* raw = binding_.get();
    connect(raw, &platform::UdpSocket::readyRead, this, [this, raw] {
        while (binding_.get() == raw) {
            const std::optional<platform::ReceivedDatagram> d = raw->receive();
            if (!d)
                break;
            bindingDatagram(d->data, d->fromAddress, d->fromPort);
        }
    });
    bindingId_ = RandomId();
    bindingResends_ = config_.resendAfterMs;
    bindingDeadline_ = clock_.elapsed() + config_.requestTimeoutMs;
    probes::stun5780::BindingRequest request;
    request.id = bindingId_;
    binding_->sendTo(config_.stunServer, config_.stunPort, probes::stun5780::BuildBindingRequest(request));
    timer_.disconnect();
    connect(&timer_, &QTimer::timeout, this, &Ipv6SectionRun::bindingTimer);
    timer_.start(bindingResends_.isEmpty() ? config_.requestTimeoutMs : bindingResends_.first());
}

void Ipv6SectionRun::bindingTimer()
{
    const qint64 elapsed = clock_.elapsed() - (bindingDeadline_ - config_.requestTimeoutMs);
    if (elapsed >= config_.requestTimeoutMs) {
        bindingDone();
        return;
    }
    while (!bindingResends_.isEmpty() && bindingResends_.first() <= elapsed) {
        bindingResends_.removeFirst();
        probes::stun5780::BindingRequest request;
        request.id = bindingId_;
        binding_->sendTo(config_.stunServer, config_.stunPort, probes::stun5780::BuildBindingRequest(request));
    }
    const qint64 next = bindingResends_.isEmpty() ? config_.requestTimeoutMs : bindingResends_.first();
    timer_.start(static_cast<int>(std::max<qint64>(0, next - elapsed)));
}

void Ipv6SectionRun::bindingDatagram(const QByteArray& data, const QString& from, int port)
{
    // Only the server's answer to this request (RFC 8489 section 6.3.1).
    if (Canonical(from) != config_.stunServer || port != config_.stunPort)
        return;
    const std::optional<probes::stun5780::BindingResponse> r = probes::stun5780::ParseBindingResponse(data);
    if (!r || r->id != bindingId_ || !r->success || !r->mapped)
        return;
    findings_.stunAnswered = true;
    findings_.mapped = r->mapped;
    findings_.translation = probes::JudgeIpv6Translation(findings_.source.address, findings_.source.port,
                                                         r->mapped->address, r->mapped->port);
    bindingDone();
}

void Ipv6SectionRun::bindingDone()
{
    timer_.stop();
    timer_.disconnect();
    Dispose(binding_);
    startEchoes();
}

// ---- ICMPv6 echoes to the server, one after another as the main test sends them

void Ipv6SectionRun::startEchoes()
{
    // The SIP server's IPv6 address when its names have AAAA records, else
    // the STUN server's.
    const QString target = config_.sipTargets.isEmpty() ? config_.stunServer : config_.sipTargets.first().address;
    if (config_.echoes <= 0 || target.isEmpty()) {
        checkSipTarget(0);
        return;
    }
    emit progress(QCoreApplication::translate("Ipv6Section", "Эхо-запросы ICMPv6"));
    findings_.echoTarget = target;
    echo_ = std::make_unique<platform::Icmp6Echo>();
    if (!echo_->open()) {
        findings_.echoSocket = false;
        Dispose(echo_);
        checkSipTarget(0);
        return;
    }
    connect(echo_.get(), &platform::Icmp6Echo::replied, this, &Ipv6SectionRun::echoAnswered);
    timer_.disconnect();
    connect(&timer_, &QTimer::timeout, this, [this] {
        findings_.echoRoundTrips << -1;
        sendEcho();
    });
    sendEcho();
}

void Ipv6SectionRun::sendEcho()
{
    if (findings_.echoRoundTrips.size() >= config_.echoes) {
        timer_.stop();
        timer_.disconnect();
        Dispose(echo_);
        checkSipTarget(0);
        return;
    }
    const int sequence = int(findings_.echoRoundTrips.size()) + 1;
    echoClock_.start();
    if (echo_->send(findings_.echoTarget, static_cast<uint16_t>(sequence), QByteArray("tarvolin-ipv6"))) {
        timer_.start(config_.echoTimeoutMs);
        return;
    }
    findings_.echoRoundTrips << -1;  // refused by the system (no route): lost
    QTimer::singleShot(0, this, &Ipv6SectionRun::sendEcho);
}

void Ipv6SectionRun::echoAnswered(int sequence)
{
    if (sequence != findings_.echoRoundTrips.size() + 1 || !timer_.isActive())
        return;  // a late answer to an echo already counted as lost
    timer_.stop();
    findings_.echoRoundTrips << static_cast<int>(echoClock_.elapsed());
    sendEcho();
}

// ---- the SIP servers' IPv6 targets: the checks the SIP server section runs over IPv4

void Ipv6SectionRun::checkSipTarget(int index)
{
    if (!running_)
        return;
    if (index == 0)
        for (const probes::SipTarget& t : std::as_const(config_.sipTargets)) {
            probes::TargetCheck c;
            c.target = t;
            findings_.sipChecks << c;
        }
    if (index >= findings_.sipChecks.size()) {
        afterProviderChecks();
        return;
    }
    emit progress(QCoreApplication::translate("Ipv6Section", "Проверка сервера SIP по IPv6: %1 из %2")
                      .arg(index + 1)
                      .arg(findings_.sipChecks.size()));
    probes::TargetCheck& c = findings_.sipChecks[index];
    c.checked = true;
    const probes::SipTarget t = c.target;
    sipClock_.start();
    if (t.transport == probes::SipTransport::Udp) {
        sipUdp_ = std::make_unique<platform::UdpSocket>();
        if (!sipUdp_->bind(0, platform::UdpSocket::Family::Ipv6)) {
            c.detail = QCoreApplication::translate("Ipv6Section", "система не открыла сокет UDP для IPv6");
            sipTargetDone(index);
            return;
        }
        const QString tag = QStringLiteral("tvl%1").arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'));
        platform::UdpSocket* raw = sipUdp_.get();
        connect(raw, &platform::UdpSocket::readyRead, this, [this, raw, index, tag, t] {
            while (sipUdp_.get() == raw) {
                const std::optional<platform::ReceivedDatagram> d = raw->receive();
                if (!d)
                    break;
                // The answer comes from the target itself (RFC 3261 section 18.1.2).
                if (Canonical(d->fromAddress) != Canonical(t.address) || d->fromPort != t.port)
                    continue;
                const int status = probes::ReadSipOptionsAnswer(d->data, tag);
                if (status == 0)
                    continue;
                probes::TargetCheck& c = findings_.sipChecks[index];
                c.answered = true;
                c.sipStatus = status;
                c.ms = static_cast<int>(sipClock_.elapsed());
                sipTargetDone(index);
                return;
            }
        });
        const QString local = platform::SourceAddressTowards6(t.address);
        raw->sendTo(t.address, t.port, probes::BuildSipOptions(config_.sipDomain, local, raw->localPort(), tag));
        timer_.disconnect();
        connect(&timer_, &QTimer::timeout, this, [this, index] {
            findings_.sipChecks[index].detail = QCoreApplication::translate("Ipv6Section", "нет ответа");
            sipTargetDone(index);
        });
        timer_.start(config_.sipUdpMs);
        return;
    }
    const bool tls = t.transport == probes::SipTransport::Tls;
    connect_ = std::make_unique<platform::ConnectCheck>();
    connect(connect_.get(), &platform::ConnectCheck::finished, this, [this, index] {
        TakeConnectCheck(findings_.sipChecks[index], *connect_, config_.sipDomain);
        sipTargetDone(index);
    });
    // RFC 5922 section 4: the certificate must be the SIP domain's.
    connect_->start(t.address, t.port, tls, config_.sipDomain, tls ? config_.sipTlsMs : config_.sipTcpMs);
}

void Ipv6SectionRun::sipTargetDone(int index)
{
    timer_.stop();
    timer_.disconnect();
    Dispose(sipUdp_);
    if (connect_) {
        connect_->disconnect(this);
        connect_.release()->deleteLater();   // its signal may be the one being handled
    }
    QTimer::singleShot(0, this, [this, index] {
        if (running_ && index + 1 <= findings_.sipChecks.size())
            checkSipTarget(index + 1);
    });
}

void Ipv6SectionRun::afterProviderChecks()
{
    findings_.stunAnswered ? startFirewall() : finish();
}

// ---- filtering and lifetime: the NAT test's measurements on IPv6 sockets

void Ipv6SectionRun::startFirewall()
{
    emit progress(QCoreApplication::translate("Ipv6Section", "Межсетевой экран IPv6"));
    probes::ExtendedNatConfig config;
    config.server = {config_.stunServer, config_.stunPort};
    config.localAddresses = localAddresses_;
    config.lifetime = config_.lifetime;
    config.resendAfterMs = config_.resendAfterMs;
    config.requestTimeoutMs = config_.requestTimeoutMs;
    config.measurements = {probes::Measurement::Lifetime};
    if (config_.stunAlternate.isEmpty()) {
        probes::Finding f;
        f.kind = probes::Measurement::Filtering;
        f.title = QCoreApplication::translate("ExtendedFindings", "Фильтрация входящих пакетов (filtering)");
        f.result = QCoreApplication::translate("ExtendedFindings", "Результат: ") + probes::ServerCannotTest()
                   + QCoreApplication::translate("Ipv6Section", " — у сервера нет второго адреса IPv6.");
        f.figures.insert(QStringLiteral("behaviour"), QStringLiteral("unsupported"));
        findings_.natFindings << Ipv6Titled({f});
    } else {
        config.measurements.prepend(probes::Measurement::Filtering);
    }
    probes::SocketHost& host = *this;
    firewall_ = std::make_unique<probes::ExtendedNatTest>(host, config);
    timer_.disconnect();
    connect(&timer_, &QTimer::timeout, this, [this] {
        if (firewall_)
            firewall_->timerFired(clock_.elapsed());
        firewallEvent();
    });
    firewall_->start(clock_.elapsed());
    firewallEvent();
}

void Ipv6SectionRun::firewallEvent()
{
    if (!firewall_ || !running_)
        return;
    emit progress(firewall_->stepText());
    if (firewall_->finished() || !firewall_->running()) {
        findings_.natFindings += Ipv6Titled(firewall_->findings());
        finish();
        return;
    }
    if (const std::optional<qint64> next = firewall_->nextDeadline())
        timer_.start(static_cast<int>(std::clamp<qint64>(*next - clock_.elapsed(), 0, 600000)));
}

int Ipv6SectionRun::openSocket(int handle, int port)
{
    auto* socket = new platform::UdpSocket(this);
    if (!socket->bind(port, platform::UdpSocket::Family::Ipv6)) {
        delete socket;
        return -1;
    }
    sockets_.insert(handle, socket);
    connect(socket, &platform::UdpSocket::readyRead, this, [this, handle] {
        while (platform::UdpSocket* s = sockets_.value(handle)) {
            const std::optional<platform::ReceivedDatagram> d = s->receive();
            if (!d)
                break;
            if (firewall_)
                firewall_->datagramArrived(handle, {Canonical(d->fromAddress), d->fromPort}, d->data,
                                           clock_.elapsed());
        }
        firewallEvent();
    });
    return socket->localPort();
}

void Ipv6SectionRun::send(int handle, const probes::stun5780::Endpoint& to, const QByteArray& data)
{
    if (platform::UdpSocket* socket = sockets_.value(handle))
        socket->sendTo(to.address, to.port, data);
}

void Ipv6SectionRun::closeSocket(int handle)
{
    if (platform::UdpSocket* socket = sockets_.take(handle)) {
        socket->close();
        socket->deleteLater();
    }
}

// ---- the advice

void Ipv6SectionRun::finish()
{
    if (!running_)
        return;
    running_ = false;
    timer_.stop();
    timer_.disconnect();
    Dispose(binding_);
    Dispose(echo_);
    Dispose(sipUdp_);
    if (connect_) {
        connect_->disconnect(this);
        connect_.release()->deleteLater();
    }
    if (firewall_) {
        firewall_.reset();
        for (int handle : sockets_.keys())
            closeSocket(handle);
    }
    probes::Ipv6Evidence e;
    e.defaultRoute = findings_.defaultRoute;
    e.globalAddress = findings_.addresses.hasGlobal();
    e.stunConfigured = !config_.stunServer.isEmpty();
    if (e.stunConfigured && e.defaultRoute)
        e.stunAnswered = findings_.stunAnswered;
    e.aaaaTargets = !config_.sipTargets.isEmpty();
    e.providerReachable = probes::ProviderReachableOverIpv6(findings_, config_.echoes);
    e.translation = findings_.translation;
    e.keepAlive4Seconds = config_.keepAlive4Seconds;
    for (const probes::Finding& f : findings_.natFindings)
        if (f.kind == probes::Measurement::Lifetime) {
            e.keepAlive6Seconds = f.figures.value(QStringLiteral("keepAliveSeconds")).toInt();
            e.inboundOpen = f.figures.value(QStringLiteral("result")).toString() == QLatin1String("no-binding");
        }
    evidence_ = e;
    advised_ = true;
    findings_.advice = probes::AdviseFamily(e);
    seconds_ = clock_.elapsed() / 1000.0;
    emit finished();
}

void Ipv6SectionRun::setIpv4KeepAlive(int seconds)
{
    config_.keepAlive4Seconds = seconds;
    evidence_.keepAlive4Seconds = seconds;
    if (!running_ && advised_)
        findings_.advice = probes::AdviseFamily(evidence_);
}

QJsonObject Ipv6SectionRun::json() const
{
    QJsonObject o = probes::Ipv6SectionJson(findings_);
    o[QStringLiteral("seconds")] = seconds_;
    return o;
}

Ipv6Section::Ipv6Section(QObject* parent) : ExtendedSection(parent), run_(new Ipv6SectionRun(this))
{
    connect(run_, &Ipv6SectionRun::progress, this, &ExtendedSection::progress);
    connect(run_, &Ipv6SectionRun::finished, this, [this] {
        if (running())
            finish();
    });
}

Ipv6Section::~Ipv6Section() = default;

void Ipv6Section::begin()
{
    Ipv6SectionConfig c;
    c.stunServer = config_.stunServer6;
    c.stunAlternate = config_.stunAlternate6;
    c.stunPort = config_.stunPort6;
    c.keepAlive4Seconds = config_.keepAlive4Seconds;
    // The SIP server section ran before this one when the run has both.
    c.sipTargets = probes::Ipv6SipTargets(result_->dns.checks);
    c.sipDomain = result_->dns.domain.isEmpty() ? config_.domain : result_->dns.domain;
    run_->start(c);
}

void Ipv6Section::setIpv4KeepAlive(int seconds)
{
    config_.keepAlive4Seconds = seconds;
    run_->setIpv4KeepAlive(seconds);
}

void Ipv6Section::halt()
{
    run_->stop();
}

}  // namespace tools
