// SPDX-License-Identifier: Apache-2.0
// A DNS answer to the NAPTR, SRV, A or AAAA query of the SIP server check,
// read into records and turned into the SRV queries and the targets a phone
// would try. The first input byte picks the type asked for, the second seeds
// the weighted choice among SRV records, the rest is the answer message.
#include "fuzz_support.h"
#include "platform/dns_records.h"
#include "probes/sip_dns.h"

#include <arpa/nameser.h>

namespace {

constexpr int kTypes[] = {platform::kDnsTypeNaptr, platform::kDnsTypeSrv, platform::kDnsTypeA, platform::kDnsTypeAaaa};

// Answer records of the type and class IN, counted with the resolver's own parser.
int RecordsOfType(const unsigned char* message, int length, int type)
{
    ns_msg msg;
    if (ns_initparse(message, length, &msg) < 0)
        return 0;
    int n = 0;
    for (int i = 0; i < ns_msg_count(msg, ns_s_an); ++i) {
        ns_rr rr;
        if (ns_parserr(&msg, ns_s_an, i, &rr) < 0)
            break;
        n += ns_rr_type(rr) == type && ns_rr_class(rr) == ns_c_in;
    }
    return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;
    const int type = kTypes[data[0] & 3];
    uint32_t seed = data[1];
    const size_t length = size - 2;
    auto message = std::make_unique<unsigned char[]>(length == 0 ? 1 : length);
    std::memcpy(message.get(), data + 2, length);

    const platform::DnsRecordSet set = platform::ReadDnsRecords(message.get(), static_cast<int>(length), type);
    const int read = int(set.naptr.size() + set.srv.size() + set.addresses.size());
    if (set.status != 0) {
        // A failure brings no records.
        FUZZ_CHECK(read == 0);
        return 0;
    }
    // Only records of the type asked for, of class IN, each once.
    FUZZ_CHECK(read <= RecordsOfType(message.get(), static_cast<int>(length), type));
    FUZZ_CHECK(type == platform::kDnsTypeNaptr || set.naptr.isEmpty());
    FUZZ_CHECK(type == platform::kDnsTypeSrv || set.srv.isEmpty());
    for (const QString& a : set.addresses)
        FUZZ_CHECK(type == platform::kDnsTypeA ? a.count(QLatin1Char('.')) == 3 && !a.contains(QLatin1Char(':'))
                                               : a.contains(QLatin1Char(':')));
    for (const platform::SrvData& s : set.srv)
        FUZZ_CHECK(s.port >= 0 && s.port <= 65535 && s.priority >= 0 && s.weight >= 0);

    // What the check does with the records.
    const QString domain = QStringLiteral("example.net");
    auto random = [&seed](uint32_t n) {
        seed = seed * 1103515245u + 12345u;
        return n == 0 ? 0 : (seed >> 8) % (n + 1);
    };
    probes::SipDnsAnswers answers;
    for (const platform::NaptrData& n : set.naptr)
        answers.naptr << probes::NaptrRecord{n.order, n.preference, n.flags, n.service, n.regexp, n.replacement};
    bool fromNaptr = false;
    const QVector<probes::SrvQuery> queries = probes::SrvQueriesFor(domain, answers.naptr, &fromNaptr);
    FUZZ_CHECK(!queries.isEmpty());
    FUZZ_CHECK(fromNaptr || queries.size() == 3);
    FUZZ_CHECK(queries.size() <= std::max<qsizetype>(3, answers.naptr.size()));
    for (const probes::SrvQuery& q : queries)
        FUZZ_CHECK(!q.name.isEmpty());
    QVector<probes::SrvRecord> srv;
    for (const platform::SrvData& s : set.srv)
        srv << probes::SrvRecord{s.priority, s.weight, s.port, s.target};
    answers.srv.insert(queries.first().name, srv);
    const QVector<probes::SrvRecord> ordered = probes::OrderSrv(srv, random);
    FUZZ_CHECK(ordered.size() == srv.size());
    for (qsizetype i = 1; i < ordered.size(); ++i)
        FUZZ_CHECK(ordered[i - 1].priority <= ordered[i].priority);
    const QVector<probes::SipTarget> targets = probes::OrderSipTargets(domain, answers, random);
    // Each target is one of the records (or the domain itself on 5060 without a usable one).
    for (const probes::SipTarget& t : targets) {
        bool listed = t.host == domain && t.port == 5060;
        for (const probes::SrvRecord& s : srv)
            listed = listed || ((s.target == t.host || s.target == t.host + QLatin1Char('.')) && s.port == t.port);
        FUZZ_CHECK(listed);
    }
    return 0;
}
