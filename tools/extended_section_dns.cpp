// SPDX-License-Identifier: Apache-2.0
#include "tools/extended_section_dns.h"

#include "platform/dns_query.h"
#include "platform/dns_records.h"
#include "platform/source_address.h"
#include "platform/stream_checks.h"
#include "platform/udp_socket.h"
#include "probes/sip_certificate.h"

#include <QRandomGenerator>
#include <QCoreApplication>

namespace tools {

namespace {

constexpr int kUdpCheckMs = 2000, kTcpCheckMs = 2000, kTlsCheckMs = 3000;
constexpr int kMaxTargets = 8;   // per address family

}  // namespace

DnsSection::DnsSection(QObject* parent) : ExtendedSection(parent) {}

DnsSection::~DnsSection() = default;

int DnsSection::percent() const
{
    if (!running())
        return 100;
    const int targets = int(result_->dns.checks.size());
    return checking_ < 0 || targets == 0 ? 0 : 20 + 80 * checking_ / targets;
}

void DnsSection::halt()
{
    udp_.reset();
    connect_.reset();
}

void DnsSection::begin()
{
    checking_ = -1;
    emit progress(QCoreApplication::translate("ExtendedSectionDns", "Запросы DNS: NAPTR, SRV, A и AAAA"));
    probes::SipDnsSummary& s = result_->dns;
    s.domain = config_.domain;
    probes::SipDnsAnswers answers;
    // Each query waits with the windows served, and "Остановить" and
    // "Закрыть" taken: stop() may run inside any of them, so the step looks
    // whether it is still wanted after each.
    const quint64 run = generation();
    const platform::DnsRecordSet naptr = platform::QueryDnsRecords(s.domain, platform::kDnsTypeNaptr);
    if (stoppedSince(run))
        return;
    if (naptr.status == platform::kDnsTimeout) {
        // No server answers: every further query would block as long again.
        s.resolverSilent = true;
        finish();
        return;
    }
    for (const platform::NaptrData& n : naptr.naptr)
        answers.naptr.append({n.order, n.preference, n.flags, n.service, n.regexp, n.replacement});
    s.naptrRecords = answers.naptr.size();
    s.queries = probes::SrvQueriesFor(s.domain, answers.naptr, &s.fromNaptr);
    QStringList hosts;
    for (const probes::SrvQuery& q : s.queries) {
        const platform::DnsRecordSet set = platform::QueryDnsRecords(q.name, platform::kDnsTypeSrv);
        if (stoppedSince(run))
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
        if (stoppedSince(run))
            return;
        answers.aaaa.insert(h, platform::QueryDnsRecords(h, platform::kDnsTypeAaaa).addresses);
        if (stoppedSince(run))
            return;
    }
    const QVector<probes::SipTarget> targets = probes::OrderSipTargets(
        s.domain, answers, [](uint32_t n) { return uint32_t(QRandomGenerator::global()->bounded(quint64(n) + 1)); });
    // At most kMaxTargets of each family: AAAA records take no place from the
    // IPv4 targets this section checks.
    int v4 = 0, v6 = 0;
    for (const probes::SipTarget& t : targets) {
        if ((t.ipv6 ? v6 : v4)++ >= kMaxTargets)
            continue;
        probes::TargetCheck c;
        c.target = t;
        s.checks.append(c);
    }
    checkTarget(0);
}

void DnsSection::checkTarget(int index)
{
    if (!running())
        return;
    QVector<probes::TargetCheck>& checks = result_->dns.checks;
    while (index < checks.size() && (checks[index].target.address.isEmpty() || checks[index].target.ipv6))
        ++index;
    checking_ = index;
    if (index >= checks.size()) {
        finish();
        return;
    }
    emit progress(QCoreApplication::translate("ExtendedSectionDns", "Проверка сервера %1 из %2").arg(index + 1).arg(checks.size()));
    probes::TargetCheck& c = checks[index];
    c.checked = true;
    const probes::SipTarget t = c.target;
    if (t.transport == probes::SipTransport::Udp) {
        const QString tag = QStringLiteral("tvl%1").arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'));
        const double sent = elapsedMs();
        udp_ = openUdp([this, index, tag, sent, t](const QByteArray& data, const QString& from, int port) {
            // The answer comes from the target itself (RFC 3261 section 18.1.2).
            if (from != t.address || port != t.port)
                return;
            const int status = probes::ReadSipOptionsAnswer(data, tag);
            probes::TargetCheck& c = result_->dns.checks[index];
            if (status == 0 || c.answered)
                return;
            c.answered = true;
            c.sipStatus = status;
            c.ms = int(elapsedMs() - sent + 0.5);
            endWait();
        });
        const QString local = platform::SourceAddressTowards(t.address);
        udp_->sendTo(t.address, t.port, probes::BuildSipOptions(result_->dns.domain, local, udp_->localPort(), tag));
        wait(kUdpCheckMs, [this, index] {
            udp_.reset();
            if (!result_->dns.checks[index].answered)
                result_->dns.checks[index].detail = QCoreApplication::translate("ExtendedSectionDns", "нет ответа");
            checkTarget(index + 1);
        });
        return;
    }
    const bool tls = t.transport == probes::SipTransport::Tls;
    connect_ = std::make_unique<platform::ConnectCheck>();
    connect(connect_.get(), &platform::ConnectCheck::finished, this, [this, index] {
        TakeConnectCheck(result_->dns.checks[index], *connect_, result_->dns.domain);
        QTimer::singleShot(0, this, [this, index] { checkTarget(index + 1); });
    });
    // RFC 5922 section 4: the certificate must be the SIP domain's, whatever
    // host the SRV records named; the domain is also the name asked for.
    connect_->start(t.address, t.port, tls, result_->dns.domain, tls ? kTlsCheckMs : kTcpCheckMs);
}

}  // namespace tools
