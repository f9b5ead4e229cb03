// SPDX-License-Identifier: Apache-2.0
#include "probes/sip_dns.h"

#include <algorithm>
#include <QCoreApplication>

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

namespace probes {

namespace {

// RFC 5922 section 4: the reference identity is the SIP domain, not the SRV target.
QString TlsVerdictText(const TargetCheck& c, const QString& domain)
{
    if (c.tlsVerified)
        return QCoreApplication::translate("SipDns", "проверен для домена ") + domain;
    if (!c.tlsChainVerified)
        return QCoreApplication::translate("SipDns", "не прошёл проверку")
            + (c.tlsChainError.isEmpty() ? QString() : QStringLiteral(" (") + c.tlsChainError + QLatin1Char(')'));
    return QCoreApplication::translate("SipDns", "не прошёл проверку: выдан не для домена ") + domain
        + (c.tlsIdentities.isEmpty() ? QCoreApplication::translate("SipDns", " (имён в нём нет)")
                                     : QCoreApplication::translate("SipDns", " (в нём: ") + c.tlsIdentities.join(QStringLiteral(", "))
                                           + QLatin1Char(')'));
}

}  // namespace

QString SipDnsFindingText(const SipDnsSummary& s)
{
    QStringList lines;
    lines << QCoreApplication::translate("SipDns", "Домен: ") + s.domain;
    if (s.resolverSilent) {
        lines << QCoreApplication::translate("SipDns", "DNS-сервер не ответил: телефон не сможет найти SIP-серверы по имени домена.");
        return lines.join(QStringLiteral("\r\n"));
    }
    lines << (s.naptrRecords > 0
                  ? QCoreApplication::translate("SipDns", "NAPTR: записей %1").arg(s.naptrRecords)
                        + (s.fromNaptr ? QString() : QCoreApplication::translate("SipDns", " (ни одной для SIP по UDP, TCP или TLS)"))
                  : QCoreApplication::translate("SipDns", "NAPTR: записей нет, телефон запрашивает SRV для UDP, TCP и TLS"));
    for (int i = 0; i < s.queries.size(); ++i) {
        const int n = i < s.srvCounts.size() ? s.srvCounts[i] : 0;
        lines << QStringLiteral("SRV ") + s.queries[i].name + QStringLiteral(" (") + TransportName(s.queries[i].transport)
                + QStringLiteral("): ")
                + (n > 0 ? QCoreApplication::translate("SipDns", "записей %1").arg(n) : QCoreApplication::translate("SipDns", "записей нет"));
    }
    lines << QCoreApplication::translate("SipDns", "Порядок, в котором телефон обращается к серверам:");
    int answered = 0, tried = 0;
    for (int i = 0; i < s.checks.size(); ++i) {
        const TargetCheck& c = s.checks[i];
        const SipTarget& t = c.target;
        QString line = QStringLiteral("  %1. ").arg(i + 1) + TransportName(t.transport) + QLatin1Char(' ') + t.host
            + QLatin1Char(':') + QString::number(t.port) + QStringLiteral(" → ")
            + (t.address.isEmpty() ? QCoreApplication::translate("SipDns", "адреса нет") : t.address) + QStringLiteral(": ");
        if (!c.checked) {
            line += t.address.isEmpty() ? QCoreApplication::translate("SipDns", "не проверялся")
                                        : QCoreApplication::translate("SipDns", "не проверялся (IPv6)");
        } else {
            ++tried;
            if (c.answered) {
                ++answered;
                if (t.transport == SipTransport::Udp)
                    line += QCoreApplication::translate("SipDns", "отвечает на OPTIONS (%1) за %2 мс").arg(c.sipStatus).arg(c.ms);
                else if (t.transport == SipTransport::Tcp)
                    line += QCoreApplication::translate("SipDns", "соединение установлено за %1 мс").arg(c.ms);
                else
                    line += QCoreApplication::translate("SipDns", "TLS-соединение установлено за %1 мс, сертификат ").arg(c.ms)
                        + TlsVerdictText(c, s.domain);
            } else {
                line += QCoreApplication::translate("SipDns", "не отвечает")
                    + (c.detail.isEmpty() ? QString() : QStringLiteral(" (") + c.detail + QLatin1Char(')'));
            }
        }
        lines << line;
    }
    if (s.checks.isEmpty())
        lines << QCoreApplication::translate("SipDns", "  серверов не найдено: телефон не сможет зарегистрироваться по имени домена");
    else if (tried > 0 && answered == 0)
        lines << QCoreApplication::translate("SipDns", "Ни один сервер не ответил: телефон не сможет зарегистрироваться.");
    else if (answered < tried)
        lines << QCoreApplication::translate("SipDns", "Часть серверов не отвечает: телефон потеряет время на попытки, прежде чем "
                                "дойдёт до работающего сервера.");
    else if (tried > 0)
        lines << QCoreApplication::translate("SipDns", "Все проверенные серверы отвечают.");
    return lines.join(QStringLiteral("\r\n"));
}

QByteArray BuildSipOptions(const QString& domain, const QString& localAddress, int localPort, const QString& tag)
{
    const QByteArray d = domain.toLatin1(), t = tag.toLatin1();
    // An IPv6 address goes in brackets in sent-by and in a SIP URI (RFC 3261
    // section 25.1, IPv6reference).
    const QByteArray host = localAddress.contains(u':') ? '[' + localAddress.toLatin1() + ']' : localAddress.toLatin1();
    const QByteArray via = host + ':' + QByteArray::number(localPort);
    return "OPTIONS sip:" + d + " SIP/2.0\r\n"
           "Via: SIP/2.0/UDP " + via + ";branch=z9hG4bK" + t + ";rport\r\n"
           "Max-Forwards: 70\r\n"
           "From: <sip:tarvolin@" + d + ">;tag=" + t + "\r\n"
           "To: <sip:" + d + ">\r\n"
           "Call-ID: " + t + '@' + via + "\r\n"
           "CSeq: 1 OPTIONS\r\n"
           "Contact: <sip:tarvolin@" + via + ">\r\n"
           "Accept: application/sdp\r\n"
           "Content-Length: 0\r\n\r\n";
}

int ReadSipOptionsAnswer(const QByteArray& data, const QString& tag)
{
    if (!data.startsWith("SIP/2.0 "))
        return 0;
    // The answer belongs to the request when it carries its Call-ID, the
    // branch of its Via (RFC 3261 section 17.1.3) and CSeq method.
    bool callId = false, cseq = false, branch = false;
    const QList<QByteArray> lines = data.left(data.indexOf("\r\n\r\n")).split('\n');
    for (const QByteArray& raw : lines) {
        const QByteArray line = raw.trimmed();
        const int colon = line.indexOf(':');
        if (colon <= 0)
            continue;
        const QByteArray name = line.left(colon).trimmed().toLower();
        const QByteArray value = line.mid(colon + 1).trimmed();
        if ((name == "call-id" || name == "i") && value.startsWith(tag.toLatin1() + '@'))
            callId = true;
        if (name == "cseq" && value.split(' ').last() == "OPTIONS")
            cseq = true;
        if (name == "via" || name == "v") {
            for (const QByteArray& param : value.split(';')) {
                const QByteArray p = param.trimmed();
                if (p.toLower().startsWith("branch=") && p.mid(7).trimmed() == "z9hG4bK" + tag.toLatin1())
                    branch = true;
            }
        }
    }
    if (!callId || !cseq || !branch)
        return 0;
    bool ok = false;
    const int status = data.mid(8, 3).toInt(&ok);
    return ok && status >= 100 && status < 700 ? status : 0;
}

}  // namespace probes
