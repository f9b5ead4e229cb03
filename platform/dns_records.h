// SPDX-License-Identifier: Apache-2.0
#pragma once
// DNS queries for the records a SIP phone resolves (NAPTR, SRV with priority
// and weight, A, AAAA) through the system resolver, kept with all their fields.
#include <QString>
#include <QStringList>
#include <QVector>
#include <cstdint>

namespace platform {

struct NaptrData {
    int order = 0, preference = 0;
    QString flags, service, regexp, replacement;
};

struct SrvData {
    int priority = 0, weight = 0, port = 0;
    QString target;
};

struct DnsRecordSet {
    int status = 0;          // 0 answered (possibly without records of the type), else as DnsLookup
    QVector<NaptrData> naptr;
    QVector<SrvData> srv;
    QStringList addresses;   // A or AAAA, as text
};

constexpr int kDnsTypeA = 1, kDnsTypeSrv = 33, kDnsTypeAaaa = 28, kDnsTypeNaptr = 35;

// Records of the queried type in the answer section of a DNS message. Status 0,
// or the status codes of dns_query.h (9000 + RCODE, 9502 for a malformed message).
DnsRecordSet ReadDnsRecords(const unsigned char* message, int length, int type);

// One query of class IN through the system resolver; status 1460 when no
// server answered.
DnsRecordSet QueryDnsRecords(const QString& name, int type);

}  // namespace platform
