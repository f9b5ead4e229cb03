// SPDX-License-Identifier: Apache-2.0
#pragma once
// Text form of DNS query results as the DNS SRV window lists them.
#include "platform/dns_query.h"

#include <QString>
#include <QVector>

namespace tools {

// One block per entry, numbered from 1: "label TAB value CR LF" lines for
// the entry's type, then an empty line.
QString DnsListingText(const QVector<platform::DnsEntry>& entries, int count);

// The window's listing for one query: the entries' blocks, or "Error: "
// and the status when the query did not succeed.
QString DnsQueryListing(int status, const QVector<platform::DnsEntry>& entries, int count);

}  // namespace tools
