// SPDX-License-Identifier: Apache-2.0
#include "tools/leading_number.h"

#include <cmath>
#include <QCoreApplication>

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

std::optional<int> TypedPort(const QString& text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return std::nullopt;
    int value = 0;
    for (const QChar c : trimmed) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
        value = value * 10 + (c.unicode() - '0');
        if (value > 65535)
            return std::nullopt;  // stops before the value could overflow
    }
    if (value < 1 || value > 65535)
        return std::nullopt;
    return value;
}

QString TypedPortMessage()
{
    return QCoreApplication::translate("LeadingNumber", "Неверный номер порта !!!\r\nПорт должен быть целым числом от 1 до 65535.");
}

}  // namespace tools
