#include "probes/sip_dns.h"

#include <algorithm>

namespace probes {

QString SrvName(SipTransport t, const QString& domain)
{
    switch (t) {
    case SipTransport::Udp: return QStringLiteral("_sip._udp.") + domain;
    case SipTransport::Tcp: return QStringLiteral("_sip._tcp.") + domain;
    case SipTransport::Tls: break;
    }
    return QStringLiteral("_sips._tcp.") + domain;
}

QString TransportName(SipTransport t)
{
    switch (t) {
    case SipTransport::Udp: return QStringLiteral("UDP");
    case SipTransport::Tcp: return QStringLiteral("TCP");
    case SipTransport::Tls: break;
    }
    return QStringLiteral("TLS");
}

QVector<SrvQuery> SrvQueriesFor(const QString& domain, const QVector<NaptrRecord>& naptr, bool* fromNaptr)
{
    QVector<NaptrRecord> usable;
    for (const NaptrRecord& r : naptr) {
        // RFC 3263 section 4.1: SRV-terminal records ("s") of a supported service.
        if (r.flags.compare(QLatin1String("s"), Qt::CaseInsensitive) != 0 || r.replacement.isEmpty())
            continue;
        const QString s = r.service.toUpper();
        if (s == QLatin1String("SIP+D2U") || s == QLatin1String("SIP+D2T") || s == QLatin1String("SIPS+D2T"))
            usable.append(r);
    }
    std::stable_sort(usable.begin(), usable.end(), [](const NaptrRecord& a, const NaptrRecord& b) {
        return a.order != b.order ? a.order < b.order : a.preference < b.preference;
    });
    QVector<SrvQuery> out;
    for (const NaptrRecord& r : usable) {
        const QString s = r.service.toUpper();
        const SipTransport t = s == QLatin1String("SIP+D2U") ? SipTransport::Udp
            : s == QLatin1String("SIP+D2T")                ? SipTransport::Tcp
                                                           : SipTransport::Tls;
        QString name = r.replacement;
        if (name.endsWith(QLatin1Char('.')))
            name.chop(1);
        out.append({t, name});
    }
    if (fromNaptr)
        *fromNaptr = !out.isEmpty();
    if (out.isEmpty())
        for (SipTransport t : {SipTransport::Udp, SipTransport::Tcp, SipTransport::Tls})
            out.append({t, SrvName(t, domain)});
    return out;
}

QVector<SrvRecord> OrderSrv(QVector<SrvRecord> records, const std::function<uint32_t(uint32_t)>& random)
{
    std::stable_sort(records.begin(), records.end(),
                     [](const SrvRecord& a, const SrvRecord& b) { return a.priority < b.priority; });
    QVector<SrvRecord> out;
    int i = 0;
    while (i < records.size()) {
        int j = i;
        while (j < records.size() && records[j].priority == records[i].priority)
            ++j;
        // RFC 2782: weight-0 records at the beginning of the list, then pick by running sum.
        QVector<SrvRecord> group(records.begin() + i, records.begin() + j);
        std::stable_partition(group.begin(), group.end(), [](const SrvRecord& r) { return r.weight == 0; });
        while (!group.isEmpty()) {
            uint32_t sum = 0;
            for (const SrvRecord& r : group)
                sum += uint32_t(std::max(0, r.weight));
            const uint32_t pick = sum ? std::min(random(sum), sum) : 0;
            uint32_t running = 0;
            int chosen = 0;
            for (int k = 0; k < group.size(); ++k) {
                running += uint32_t(std::max(0, group[k].weight));
                if (running >= pick) {
                    chosen = k;
                    break;
                }
            }
            out.append(group.takeAt(chosen));
        }
        i = j;
    }
    return out;
}

QVector<SipTarget> OrderSipTargets(const QString& domain, const SipDnsAnswers& answers,
                                   const std::function<uint32_t(uint32_t)>& random)
{
    bool fromNaptr = false;
    const QVector<SrvQuery> queries = SrvQueriesFor(domain, answers.naptr, &fromNaptr);
    QVector<SipTarget> out;
    auto addHost = [&](SipTransport t, const QString& host, int port, const QString& source) {
        const QStringList v4 = answers.a.value(host), v6 = answers.aaaa.value(host);
        if (v4.isEmpty() && v6.isEmpty())
            out.append({t, host, port, QString(), false, source});
        for (const QString& a : v4)
            out.append({t, host, port, a, false, source});
        for (const QString& a : v6)
            out.append({t, host, port, a, true, source});
    };
    bool anySrv = false;
    for (const SrvQuery& q : queries) {
        const QVector<SrvRecord> records = OrderSrv(answers.srv.value(q.name), random);
        for (const SrvRecord& r : records) {
            // A target of "." means the service is decidedly not available (RFC 2782).
            if (r.target.isEmpty() || r.target == QLatin1String("."))
                continue;
            anySrv = true;
            QString host = r.target;
            if (host.endsWith(QLatin1Char('.')))
                host.chop(1);
            addHost(q.transport, host, r.port, fromNaptr ? QStringLiteral("NAPTR") : QStringLiteral("SRV"));
        }
    }
    if (!anySrv)
        addHost(SipTransport::Udp, domain, 5060, QStringLiteral("A"));
    return out;
}

}  // namespace probes
