#pragma once
// One DNS query through the system resolver, copied into flat entries.
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

// One query of class IN through the system resolver (or the override server).
// Status:
//   0     at least one record in the answer section; every record of the answer,
//         authority and additional sections (in that order, OPT left out) was
//         appended, one entry each;
//   -1    NOERROR, but no record in any section; nothing appended;
//   9501  NOERROR, no answer record but authority/additional records (a no-data
//         answer with the zone's SOA, or a referral); nothing appended;
//   9000+RCODE for a server's error code (9003 name does not exist, 9002 server
//         failure, 9005 refused); 1460 no server answered in time; 123, 9502, 9852
//         as above. Nothing is appended unless the status is 0.
// entries is cut or grown to count entries before the new ones are appended.
int32_t DnsLookup(const QString& name, QVector<DnsEntry>& entries, int32_t& count, int32_t type,
                  int32_t options);

// For tests: send queries to this server instead of the system's (empty address: system's).
void SetDnsServerOverride(const QString& address, uint16_t port);

}  // namespace platform
