// SPDX-License-Identifier: Apache-2.0
// The captured interface listing, read from its file as the report reads it:
// the lines that reach the report.
#include "probes/ping_statistics.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text = QString::fromLocal8Bit(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QStringList lines = probes::ListingLinesForReport(text);
    qsizetype from = 0;
    for (const QString& line : lines) {
        FUZZ_CHECK(line.size() >= 4);
        FUZZ_CHECK(!line.contains(QLatin1Char('\r')) && !line.contains(QLatin1Char('\n')));
        // Every kept line is in the listing, in order.
        const qsizetype at = text.indexOf(line, from);
        FUZZ_CHECK(at >= 0);
        from = at + line.size();
    }
    // The report's lines end in CR LF, whatever the listing used.
    const QString appended = probes::ListingTextForReport(text);
    for (qsizetype i = appended.indexOf(QLatin1Char('\n')); i >= 0; i = appended.indexOf(QLatin1Char('\n'), i + 1))
        FUZZ_CHECK(i > 0 && appended.at(i - 1) == QLatin1Char('\r'));
    return 0;
}
