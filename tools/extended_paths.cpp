// SPDX-License-Identifier: Apache-2.0
#include "tools/extended_paths.h"

#include "platform/routes.h"
#include "platform/source_address.h"
#include "tools/extended_section_dns.h"
#include "tools/extended_section_ipv6.h"
#include "tools/extended_section_nat.h"
#include "tools/extended_section_ports.h"
#include "tools/extended_section_sip.h"
#include "tools/extended_section_voice.h"

namespace tools {

ExtendedPathsRun::ExtendedPathsRun(QObject* parent)
    : QObject(parent),
      nat_(new NatSection(this)),
      ports_(new PortsSection(this)),
      voice_(new VoiceSection(this)),
      dns_(new DnsSection(this)),
      sip_(new SipSection(this)),
      ipv6_(new Ipv6Section(this))
{
    for (ExtendedSection* s : {static_cast<ExtendedSection*>(ports_), static_cast<ExtendedSection*>(voice_),
                               static_cast<ExtendedSection*>(nat_), static_cast<ExtendedSection*>(dns_),
                               static_cast<ExtendedSection*>(sip_), static_cast<ExtendedSection*>(ipv6_)}) {
        connect(s, &ExtendedSection::progress, this, &ExtendedPathsRun::progress);
        connect(s, &ExtendedSection::finished, this, &ExtendedPathsRun::next);
    }
}

ExtendedPathsRun::~ExtendedPathsRun() = default;

void ExtendedPathsRun::start(const ExtendedPathsConfig& config)
{
    stop();
    config_ = config;
    result_ = {};
    order_.clear();
    const bool nat = wants(PathSection::Nat);
    if (nat || wants(PathSection::Ports))
        order_ << ports_;   // the NAT verdict weighs the gateway's answers too
    if (nat || wants(PathSection::Voice))
        order_ << voice_;   // with only the NAT section: the STUN server's view alone
    if (nat)
        order_ << nat_;
    if (wants(PathSection::Dns))
        order_ << dns_;
    if (wants(PathSection::Sip))
        order_ << sip_;
    if (wants(PathSection::Ipv6))
        order_ << ipv6_;    // after the IPv4 sections
    index_ = 0;
    running_ = true;
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
    for (ExtendedSection* s : std::as_const(order_))
        s->stop();
    if (was)
        emit finished();
}

void ExtendedPathsRun::next()
{
    if (!running_)
        return;
    if (index_ < order_.size()) {
        order_[index_++]->start(config_, &result_);
        return;
    }
    running_ = false;
    emit finished();
}

int ExtendedPathsRun::percent() const
{
    if (order_.isEmpty())
        return 100;
    if (index_ == 0)
        return 0;
    return ((index_ - 1) * 100 + order_[index_ - 1]->percent()) / int(order_.size());
}

const QVector<probes::VoiceSample>& ExtendedPathsRun::voiceSamples() const
{
    return voice_->samples();
}

QJsonObject ExtendedPathsRun::sipJson() const
{
    return wants(PathSection::Sip) ? sip_->json() : QJsonObject();
}

void ExtendedPathsRun::setIpv4KeepAlive(int seconds)
{
    ipv6_->setIpv4KeepAlive(seconds);
}

QJsonObject ExtendedPathsRun::ipv6Json() const
{
    return wants(PathSection::Ipv6) ? ipv6_->json() : QJsonObject();
}

}  // namespace tools
