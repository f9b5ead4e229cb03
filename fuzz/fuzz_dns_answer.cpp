// SPDX-License-Identifier: Apache-2.0
// DNS answers as the resolver hands them back, read into entries and listed
// as the DNS SRV window shows them. The first two input bytes are the type
// asked for, the rest the answer message.
#include "fuzz_support.h"
#include "platform/dns_query.h"
#include "tools/dns_listing.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;
    const int32_t type = data[0] * 256 + data[1];
    const size_t length = size - 2;
    // The message in a block of exactly its size.
    auto message = std::make_unique<unsigned char[]>(length == 0 ? 1 : length);
    std::memcpy(message.get(), data + 2, length);

    QVector<platform::DnsEntry> entries(2);  // two entries from an earlier query
    entries[0].RrName = QStringLiteral("earlier.example");
    int32_t count = 2;
    const int32_t status = platform::ParseDnsAnswer(message.get(), static_cast<int>(length), type, entries, count);
    if (status != 0) {
        // A failed query appends nothing.
        FUZZ_CHECK(count == 2 && entries.size() == 2 && entries[0].RrName == QLatin1String("earlier.example"));
        FUZZ_CHECK(tools::DnsQueryListing(status, entries, count).startsWith(QStringLiteral("Error: ")));
        return 0;
    }
    FUZZ_CHECK(count > 2 && entries.size() == count);
    bool typeFound = false;
    for (int i = 2; i < count; ++i)
        typeFound = typeFound || type == 255 || (entries[i].RrType & 0xFFFF) == type;
    FUZZ_CHECK(typeFound);

    // One block per entry; no record forges a line of its own.
    const QString listing = tools::DnsQueryListing(status, entries, count);
    FUZZ_CHECK(listing.count(QStringLiteral("Entrie: \t\t")) == count);
    FUZZ_CHECK(!listing.contains(QStringLiteral("Type: \t\t-")));
    for (qsizetype at = listing.indexOf(QLatin1Char('\n')); at >= 0; at = listing.indexOf(QLatin1Char('\n'), at + 1))
        FUZZ_CHECK(at > 0 && listing.at(at - 1) == QLatin1Char('\r'));
    FUZZ_CHECK(listing.count(QLatin1Char('\r')) == listing.count(QLatin1Char('\n')));
    return 0;
}
