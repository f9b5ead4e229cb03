// SPDX-License-Identifier: Apache-2.0
#include "probes/decimal_text.h"

#include <cfenv>
#include <climits>
#include <cmath>

namespace probes {

namespace {

// std::nearbyint under round-to-nearest-even, whatever mode the caller left.
double NearbyEven(double value)
{
    const int previous = std::fegetround();
    std::fesetround(FE_TONEAREST);
    const double rounded = std::nearbyint(value);
    std::fesetround(previous);
    return rounded;
}

}  // namespace

int RoundHalfEven(double value)
{
    if (std::isnan(value))
        return 0;
    const double rounded = NearbyEven(value);
    if (rounded >= static_cast<double>(INT_MAX))
        return INT_MAX;
    if (rounded <= static_cast<double>(INT_MIN))
        return INT_MIN;
    return static_cast<int>(rounded);
}

QString RoundedDecimalText(double value, const QLocale& locale)
{
    if (!std::isfinite(value))
        return locale.toString(value);
    const double cents = NearbyEven(value * 100.0);
    if (!std::isfinite(cents) || std::fabs(cents) >= 9.0e15) {
        QLocale plain(locale);
        plain.setNumberOptions(QLocale::OmitGroupSeparator);
        return plain.toString(NearbyEven(value), 'f', 0);
    }
    const bool negative = cents < 0;
    const long long magnitude = static_cast<long long>(std::fabs(cents));
    const long long whole = magnitude / 100;
    const int fraction = static_cast<int>(magnitude % 100);

    QString text;
    if (negative && magnitude != 0)
        text += locale.negativeSign();
    text += QString::number(whole);
    if (fraction != 0) {
        text += locale.decimalPoint();
        if (fraction % 10 == 0)
            text += QString::number(fraction / 10);
        else
            text += QStringLiteral("%1").arg(fraction, 2, 10, QLatin1Char('0'));
    }
    return text;
}

}  // namespace probes
