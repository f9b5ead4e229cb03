#include "platform/dns_query.h"

#include <arpa/inet.h>
#include <arpa/nameser.h>
#include <netinet/in.h>
#include <resolv.h>

#include <cstring>
#include <memory>

namespace platform {

namespace {

QString g_overrideAddress;
uint16_t g_overridePort = 53;


// The resolver state of one query; released whatever way the query ends.
struct ResolverState {
    struct __res_state state;
    bool initialised = false;
    ResolverState() { std::memset(&state, 0, sizeof state); }
    ~ResolverState() {
        if (initialised) res_nclose(&state);
    }
};

bool IsNameOnlyType(int type) {
    switch (type) {
    case ns_t_cname:
    case ns_t_dname:
    case ns_t_mb:
    case ns_t_md:
    case ns_t_mf:
    case ns_t_mg:
    case ns_t_mr:
        return true;
    default:
        return false;
    }
}

// Expands the (possibly compressed) name at p; false when it is malformed.
bool ExpandName(const ns_msg& msg, const unsigned char* p, QString& out, int* used = nullptr) {
    char name[NS_MAXDNAME];
    const int n = dn_expand(ns_msg_base(msg), ns_msg_end(msg), p, name, sizeof name);
    if (n < 0) return false;
    out = QString::fromLocal8Bit(name);
    if (used) *used = n;
    return true;
}

uint32_t ReadU32(const unsigned char* p) { return ns_get32(p); }

// Fills the type's fields of one entry from its record; false on malformed data.
bool FillEntry(const ns_msg& msg, const ns_rr& rr, DnsEntry& e) {
    const int type = ns_rr_type(rr);
    const unsigned char* data = ns_rr_rdata(rr);
    const int size = ns_rr_rdlen(rr);
    e.RrType = int16_t(type);
    switch (type) {
    case ns_t_a: {
        if (size != 4) return false;
        char text[INET_ADDRSTRLEN];
        inet_ntop(AF_INET, data, text, sizeof text);
        e.IpAddress = QString::fromLatin1(text);
        break;
    }
    case ns_t_aaaa: {
        if (size != 16) return false;
        char text[INET6_ADDRSTRLEN];
        inet_ntop(AF_INET6, data, text, sizeof text);
        e.IpAddress = QString::fromLatin1(text);
        break;
    }
    case ns_t_ns:
        if (!ExpandName(msg, data, e.NsHost)) return false;
        break;
    case ns_t_ptr:
        if (!ExpandName(msg, data, e.PtrHost)) return false;
        break;
    case ns_t_mx:
        if (size < 3 || !ExpandName(msg, data + 2, e.MxHost)) return false;
        break;
    case ns_t_soa: {
        int used = 0;
        const unsigned char* p = data;
        if (!ExpandName(msg, p, e.SoaServer, &used)) return false;
        p += used;
        if (!ExpandName(msg, p, e.SoaAdmin, &used)) return false;
        p += used;
        if (p + 20 > data + size) return false;
        e.SoaSerial = int32_t(ReadU32(p));
        e.SoaRefresh = int32_t(ReadU32(p + 4));
        e.SoaRetry = int32_t(ReadU32(p + 8));
        e.SoaExpire = int32_t(ReadU32(p + 12));
        e.SoaDefaultTtl = int32_t(ReadU32(p + 16));
        break;
    }
    case ns_t_txt: {
        if (size < 1 || 1 + data[0] > size) return false;
        e.TxtText = QString::fromLocal8Bit(reinterpret_cast<const char*>(data + 1), data[0]);
        break;
    }
    case ns_t_srv:
        if (size < 7 || !ExpandName(msg, data + 6, e.SrvTarget)) return false;
        e.SrvPort = ns_get16(data + 4);
        break;
    default:
        if (IsNameOnlyType(type) && !ExpandName(msg, data, e.IpAddress)) return false;
        break;
    }
    e.RrName = QString::fromLocal8Bit(ns_rr_name(rr));  // already expanded by ns_parserr
    return true;
}

}  // namespace

void SetDnsServerOverride(const QString& address, uint16_t port) {
    g_overrideAddress = address;
    g_overridePort = port;
}

int32_t DnsLookup(const QString& name, QVector<DnsEntry>& entries, int32_t& count, int32_t type,
                  int32_t options) {
    ResolverState r;
    if (res_ninit(&r.state) != 0) return kDnsNoServers;
    r.initialised = true;

    if (!g_overrideAddress.isEmpty()) {
        sockaddr_in server{};
        server.sin_family = AF_INET;
        server.sin_port = htons(g_overridePort);
        if (inet_pton(AF_INET, g_overrideAddress.toLatin1().constData(), &server.sin_addr) != 1)
            return kDnsNoServers;
        r.state.nsaddr_list[0] = server;
        r.state.nscount = 1;
        r.state.retrans = 1;
        r.state.retry = 1;
    }
    if (r.state.nscount <= 0) return kDnsNoServers;

    if (options & kDnsOptionAcceptTruncated) r.state.options |= RES_IGNTC;
    if (options & kDnsOptionTcpOnly) r.state.options |= RES_USEVC;
    if (options & kDnsOptionNoRecursion) r.state.options &= ~static_cast<unsigned long>(RES_RECURSE);

    const QByteArray queryName = name.toLocal8Bit();
    unsigned char query[NS_PACKETSZ];
    const int queryLength = res_nmkquery(&r.state, ns_o_query, queryName.constData(), ns_c_in,
                                         type & 0xFFFF, nullptr, 0, nullptr, query, sizeof query);
    if (queryLength < 0) return kDnsInvalidName;

    // Left alone, res_nsend drops an answer whose code is a server failure
    // (SERVFAIL, NOTIMP, REFUSED) and, when no other server answers, fails just
    // as if nobody had answered. A non-zero pfcode (the print flags dig sets)
    // makes it hand such an answer back, so its code can be passed on; the
    // price is that the next configured server is not asked after one of them.
    r.state.pfcode = RES_PRF_REPLY;
    auto answer = std::make_unique<unsigned char[]>(NS_MAXMSG);
    const int answerLength = res_nsend(&r.state, query, queryLength, answer.get(), NS_MAXMSG);
    if (answerLength < 0) return kDnsTimeout;

    return ParseDnsAnswer(answer.get(), answerLength, type, entries, count);
}

int32_t ParseDnsAnswer(const unsigned char* answer, int length, int32_t type, QVector<DnsEntry>& entries,
                       int32_t& count) {
    if (!answer || length <= 0) return kDnsBadPacket;
    ns_msg msg;
    if (ns_initparse(answer, length, &msg) < 0) return kDnsBadPacket;
    const int rcode = ns_msg_getflag(msg, ns_f_rcode);
    if (rcode != ns_r_noerror) return kDnsRcodeBase + rcode;

    const int wanted = type & 0xFFFF;
    bool answered = false;  // the answer section holds a record of the type asked for
    QVector<DnsEntry> found;
    for (ns_sect section : {ns_s_an, ns_s_ns, ns_s_ar}) {
        const int records = ns_msg_count(msg, section);
        for (int i = 0; i < records; ++i) {
            ns_rr rr;
            if (ns_parserr(&msg, section, i, &rr) < 0) return kDnsBadPacket;
            if (ns_rr_type(rr) == ns_t_opt) continue;  // transport options, not a record
            // QTYPE "*" asks for records of every type (RFC 1035 section 3.2.3).
            if (section == ns_s_an && (ns_rr_type(rr) == wanted || wanted == ns_t_any)) answered = true;
            DnsEntry e;
            if (!FillEntry(msg, rr, e)) return kDnsBadPacket;
            found.append(e);
        }
    }
    if (found.isEmpty()) return -1;
    // Records, but none of the type asked for in the answer section: a no-data
    // answer carrying the zone's SOA, a referral, or an alias (CNAME) or other
    // record whose target holds no such record. Nothing was found for the query.
    if (!answered) return kDnsNoRecords;

    if (count < 0) count = 0;
    entries.reserve(count + found.size());
    entries.resize(count);
    for (const DnsEntry& e : found) entries.append(e);
    count += int32_t(found.size());
    return 0;
}

}  // namespace platform
