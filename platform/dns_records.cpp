// SPDX-License-Identifier: Apache-2.0
#include "platform/dns_records.h"

#include "platform/dns_query.h"

#include <arpa/inet.h>
#include <arpa/nameser.h>
#include <netdb.h>
#include <netinet/in.h>
#include <resolv.h>

#include <cstring>
#include <memory>

namespace platform {

namespace {

// A <character-string> (RFC 1035 section 3.3) at p; false when it overruns end.
bool CharacterString(const unsigned char*& p, const unsigned char* end, QString& out)
{
    if (p >= end || p + 1 + *p > end)
        return false;
    out = QString::fromLatin1(reinterpret_cast<const char*>(p + 1), *p);
    p += 1 + *p;
    return true;
}

QString DomainName(const ns_msg& msg, const unsigned char* p, bool& ok)
{
    char name[NS_MAXDNAME];
    ok = dn_expand(ns_msg_base(msg), ns_msg_end(msg), p, name, sizeof name) >= 0;
    return ok ? QString::fromLatin1(name) : QString();
}

}  // namespace

DnsRecordSet ReadDnsRecords(const unsigned char* message, int length, int type)
{
    DnsRecordSet set;
    ns_msg msg;
    if (ns_initparse(message, length, &msg) < 0) {
        set.status = kDnsBadPacket;
        return set;
    }
    const int rcode = ns_msg_getflag(msg, ns_f_rcode);
    if (rcode != ns_r_noerror) {
        set.status = kDnsRcodeBase + rcode;
        return set;
    }
    for (int i = 0; i < ns_msg_count(msg, ns_s_an); ++i) {
        ns_rr rr;
        if (ns_parserr(&msg, ns_s_an, i, &rr) < 0)
            return DnsRecordSet{kDnsBadPacket, {}, {}, {}};
        // CNAME chains and the like; only class IN answers the IN query (RFC 1035 section 3.2.4).
        if (ns_rr_type(rr) != type || ns_rr_class(rr) != ns_c_in)
            continue;
        const unsigned char* p = ns_rr_rdata(rr);
        const unsigned char* end = p + ns_rr_rdlen(rr);
        bool ok = true;
        switch (type) {
        case kDnsTypeA:
        case kDnsTypeAaaa: {
            const int family = type == kDnsTypeA ? AF_INET : AF_INET6;
            if (end - p != (type == kDnsTypeA ? 4 : 16))
                ok = false;
            char text[INET6_ADDRSTRLEN];
            if (ok && inet_ntop(family, p, text, sizeof text))
                set.addresses << QString::fromLatin1(text);
            break;
        }
        case kDnsTypeSrv: {
            // RFC 2782: priority, weight, port, target.
            if (end - p < 7) {
                ok = false;
                break;
            }
            SrvData s;
            s.priority = ns_get16(p);
            s.weight = ns_get16(p + 2);
            s.port = ns_get16(p + 4);
            s.target = DomainName(msg, p + 6, ok);
            if (ok)
                set.srv << s;
            break;
        }
        case kDnsTypeNaptr: {
            // RFC 3403 section 4.1: order, preference, flags, services, regexp, replacement.
            if (end - p < 4) {
                ok = false;
                break;
            }
            NaptrData n;
            n.order = ns_get16(p);
            n.preference = ns_get16(p + 2);
            p += 4;
            ok = CharacterString(p, end, n.flags) && CharacterString(p, end, n.service)
                && CharacterString(p, end, n.regexp) && p < end;
            if (ok)
                n.replacement = DomainName(msg, p, ok);
            if (ok)
                set.naptr << n;
            break;
        }
        default:
            break;
        }
        if (!ok)
            return DnsRecordSet{kDnsBadPacket, {}, {}, {}};  // no records from a malformed answer
    }
    return set;
}

DnsRecordSet QueryDnsRecords(const QString& name, int type)
{
    DnsRecordSet set;
    QByteArray answer;
    // Two seconds per server, once each: a phone's view of the records, not a
    // patient resolver's.
    set.status = DnsExchange(name, type, 0, answer, 2);
    if (set.status != 0)
        return set;
    set = ReadDnsRecords(reinterpret_cast<const unsigned char*>(answer.constData()), int(answer.size()), type);
    return set;
}

}  // namespace platform
