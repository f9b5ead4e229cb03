// SPDX-License-Identifier: Apache-2.0
#pragma once
// Decimal numbers as the program writes them: rounded to two places with
// halves going to the even neighbour, no trailing zeros, the locale's decimal
// separator and no group separators.
#include <QLocale>
#include <QString>

namespace probes {

// Nearest whole number, halves to the even neighbour (2.5 -> 2, 3.5 -> 4).
// Values outside the int range are clamped; NaN gives 0.
int RoundHalfEven(double value);

// value rounded to 2 decimals (halves to even), written with at most two
// fractional digits and without trailing zeros: 16.666 -> "16.67" ("16,67"
// with a Russian locale), 50.0 -> "50", 2.5 -> "2.5".
QString RoundedDecimalText(double value, const QLocale& locale = QLocale::system());

}  // namespace probes
