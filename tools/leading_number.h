// SPDX-License-Identifier: Apache-2.0
#pragma once
// Numbers typed into the tool windows' port boxes.
#include <QLocale>
#include <QString>

#include <optional>

namespace tools {

// The numeric value the text begins with: leading blanks are skipped, then
// digits with an optional decimal point (always ".") and fraction digits.
// A text that begins with no number gives 0.
double LeadingNumber(const QString& text);

// A value as plain decimal text: a whole number as its digits, otherwise
// the shortest exact digits with the locale's decimal separator. Never
// group separators or an exponent.
QString PlainNumberText(double value, const QLocale& locale = QLocale::system());

// A port typed by the user: blanks around it are ignored, the rest must be
// decimal digits only (no sign, point or separator) naming 1 to 65535.
// nullopt for anything else, so that no fraction, locale separator or
// wrapped number ever reaches a socket or a protocol message.
std::optional<int> TypedPort(const QString& text);

// The message shown when a typed port is refused.
QString TypedPortMessage();

}  // namespace tools
