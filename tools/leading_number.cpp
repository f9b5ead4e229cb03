#include "tools/leading_number.h"

#include <cmath>

namespace tools {

double LeadingNumber(const QString& text)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && (text[i] == QLatin1Char(' ') || text[i] == QLatin1Char('\t')))
        ++i;
    QString digits;
    while (i < n && text[i] >= QLatin1Char('0') && text[i] <= QLatin1Char('9'))
        digits += text[i++];
    if (i < n && text[i] == QLatin1Char('.')) {
        digits += QLatin1Char('.');
        ++i;
        while (i < n && text[i] >= QLatin1Char('0') && text[i] <= QLatin1Char('9'))
            digits += text[i++];
    }
    if (digits.isEmpty() || digits == QLatin1String("."))
        return 0.0;
    bool ok = false;
    const double value = QLocale::c().toDouble(digits, &ok);
    return ok && std::isfinite(value) ? value : 0.0;
}

QString PlainNumberText(double value, const QLocale& locale)
{
    QLocale plain(locale);
    plain.setNumberOptions(QLocale::OmitGroupSeparator);
    if (!std::isfinite(value))
        return QStringLiteral("0");
    if (value == std::trunc(value))
        return plain.toString(value, 'f', 0);
    return plain.toString(value, 'f', QLocale::FloatingPointShortest);
}

}  // namespace tools
