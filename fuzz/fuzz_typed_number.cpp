// SPDX-License-Identifier: Apache-2.0
// Text typed into the tool windows' number boxes (ports, addresses): the
// leading number, its plain text form and the dotted address reader.
#include "fuzz_support.h"
#include "probes/ping.h"
#include "tools/leading_number.h"

#include <cmath>
#include <optional>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const QLocale kRussian(QLocale::Russian, QLocale::Russia);
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));

    const double value = tools::LeadingNumber(text);
    FUZZ_CHECK(std::isfinite(value) && value >= 0);
    // The plain text of a number reads back as the same number.
    const QString plain = tools::PlainNumberText(value, QLocale::c());
    FUZZ_CHECK(!plain.contains(QLatin1Char('e')) && !plain.contains(QLatin1Char(',')));
    FUZZ_CHECK(tools::LeadingNumber(plain) == value);
    const QString russian = tools::PlainNumberText(value, kRussian);
    FUZZ_CHECK(!russian.contains(QLatin1Char('.')));

    // A typed port is a whole number 1-65535 written in digits, or nothing.
    if (const std::optional<int> port = tools::TypedPort(text)) {
        FUZZ_CHECK(*port >= 1 && *port <= 65535);
        const QString digits = text.trimmed();
        FUZZ_CHECK(!digits.isEmpty() && digits.toInt() == *port);
        for (const QChar c : digits)
            FUZZ_CHECK(c >= QLatin1Char('0') && c <= QLatin1Char('9'));
    }

    // An address is four dot-separated parts.
    if (probes::AddressToLong(text) != 0)
        FUZZ_CHECK(text.count(QLatin1Char('.')) == 3);
    return 0;
}
