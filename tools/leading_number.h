#pragma once
// Numbers typed into the tool windows' port boxes.
#include <QLocale>
#include <QString>

namespace tools {

// The numeric value the text begins with: leading blanks are skipped, then
// digits with an optional decimal point (always ".") and fraction digits.
// A text that begins with no number gives 0.
double LeadingNumber(const QString& text);

// A value as plain decimal text: a whole number as its digits, otherwise
// the shortest exact digits with the locale's decimal separator. Never
// group separators or an exponent.
QString PlainNumberText(double value, const QLocale& locale = QLocale::system());

}  // namespace tools
