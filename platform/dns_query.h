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

// Appends one entry per record (answer, authority, additional sections in that order).
int32_t DnsLookup(const QString& name, QVector<DnsEntry>& entries, int32_t& count, int32_t type,
                  int32_t options);

// For tests: send queries to this server instead of the system's (empty address: system's).
void SetDnsServerOverride(const QString& address, uint16_t port);

}  // namespace platform
