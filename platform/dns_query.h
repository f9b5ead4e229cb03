// SPDX-License-Identifier: Apache-2.0
#pragma once
// One DNS query through the system's resolver configuration, copied into flat
// entries. The exchange is c-ares's; /etc/resolv.conf and the variables
// LOCALDOMAIN and RES_OPTIONS take effect as with the C library's res_search(3):
// servers, "search"/"domain", "ndots", "rotate", "timeout" and "attempts".
// What differs from the C library:
// - every server is given the whole time-out in every round (the C library
//   gives the server at place n > 0 of the list the time-out times 2^n divided
//   by the number of servers);
// - with "rotate" each query starts at the next server in turn, not at one
//   picked at random;
// - a server's failure or refusal (SERVFAIL, REFUSED, NOTIMP) is the answer:
//   its code is returned and the next server is not asked;
// - the options "edns0", "use-vc", "single-request", "no-tld-query",
//   "trust-ad" and "no-reload" are not honoured.
#include <QByteArray>
#include <QString>
#include <QVector>
#include <cstdint>

namespace platform {

struct DnsEntry {
    QString RrName;
    int16_t RrType = 0;
    QString IpAddress;
    QString SoaServer;
    QString SoaAdmin;
    int32_t SoaSerial = 0;
    int32_t SoaRefresh = 0;
    int32_t SoaRetry = 0;
    int32_t SoaExpire = 0;
    int32_t SoaDefaultTtl = 0;
    QString TxtText;
    QString MxHost;
    QString NsHost;
    QString PtrHost;
    QString SrvTarget;
    int32_t SrvPort = 0;
};

// Status codes besides 0 (records appended) and -1 (answer without records).
constexpr int32_t kDnsRcodeBase = 9000;      // 9000 + RCODE, e.g. 9003 name does not exist
constexpr int32_t kDnsNoRecords = 9501;      // name exists, no records of the type
constexpr int32_t kDnsTimeout = 1460;        // no server answered in time
constexpr int32_t kDnsInvalidName = 123;     // the name cannot be put into a query
constexpr int32_t kDnsBadPacket = 9502;      // the answer could not be parsed
constexpr int32_t kDnsNoServers = 9852;      // no resolver configuration / unusable override

// Query options (bit values of the Windows DNS client): 0 is a standard query.
constexpr int32_t kDnsOptionAcceptTruncated = 0x1;
constexpr int32_t kDnsOptionTcpOnly = 0x2;
constexpr int32_t kDnsOptionNoRecursion = 0x4;

// Sends one query of class IN for the name (with the search list's domains
// where the name calls for them) to the configured servers (or the override
// server) and hands back the answer message, whatever its code. Returns 0
// with the answer, or 1460 (no server answered in time), 123 (name unusable),
// 9852 (no usable configuration); a search over the search list's domains
// that found no name hands back no message (c-ares keeps none) but its code:
// 9000 + RCODE, or 9501 where a name had no records of the type.
// timeLimitSeconds > 0 caps the wait per server and asks each server once.
// Runs the wait hook while it waits.
int32_t DnsExchange(const QString& name, int32_t type, int32_t options, QByteArray& answer,
                    int timeLimitSeconds = 0);

// One query of class IN as DnsExchange sends it, with the configured time-out
// and attempts; the answer is read by ParseDnsAnswer, whose statuses it
// returns, besides 1460 (no server answered in time), 123 and 9852 (see
// above). While it waits it runs the wait hook (platform/blocking_wait.h) at
// least every kWaitSliceMs.
int32_t DnsLookup(const QString& name, QVector<DnsEntry>& entries, int32_t& count, int32_t type,
                  int32_t options);

// Reads one DNS answer message (RFC 1035 section 4.1) of length bytes, the
// answer to a query of the given type, never reading past its end. Status:
//   0     the answer section holds at least one record of the type asked for
//         (any type when asked for 255, "*"); every record of the answer,
//         authority and additional sections (in that order, OPT left out) was
//         appended, one entry each;
//   -1    NOERROR, but no record in any section;
//   9501  NOERROR, but no record of the type in the answer section (a no-data
//         answer with the zone's SOA, a referral, a lone CNAME);
//   9000+RCODE for a server's error code (9003 name does not exist, 9002 server
//         failure, 9005 refused); 9502 a message or record that cannot be read
//         (also for a null or empty buffer).
// Nothing is appended unless the status is 0; then entries is cut or grown to
// count entries before the new ones are appended, and count is raised.
int32_t ParseDnsAnswer(const unsigned char* answer, int length, int32_t type, QVector<DnsEntry>& entries,
                       int32_t& count);

// For tests: send queries to this server alone, with a time-out of 1 s, one
// attempt and no search list, instead of the system's configuration (empty
// address: the system's).
void SetDnsServerOverride(const QString& address, uint16_t port);

// For tests: read the configuration from this file instead of /etc/resolv.conf
// and ask its servers on this port instead of 53 (empty path: the system's).
void SetDnsConfigurationFile(const QString& path, uint16_t port);

}  // namespace platform
