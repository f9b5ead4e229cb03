// SPDX-License-Identifier: Apache-2.0
#include "tools/ping_series.h"

#include "probes/ping.h"
#include "probes/decimal_text.h"

#include <QStringList>
#include <QCoreApplication>

namespace tools {

void PingSeries::Restart(const QString& target)
{
    pingTarget_ = target;
    requestCount_ = 0;
    answeredCount_ = 0;
    totalRtt_ = 0;
    lostCount_ = 0;
    maxRtt_ = 1;
    minRtt_ = 9999;
}

QString PingSeries::Record(uint32_t status, uint32_t roundTripTime)
{
    const int32_t rtt = roundTripTime > kLongestRtt ? 0 : static_cast<int32_t>(roundTripTime);
    ++requestCount_;
    const QString line = QCoreApplication::translate("PingSeries", "Запрос № ") + QString::number(requestCount_) + QCoreApplication::translate("PingSeries", " на ") +
                         pingTarget_ + QCoreApplication::translate("PingSeries", " - время ответа ") + QString::number(rtt) +
                         QCoreApplication::translate("PingSeries", " мс - статус ") + probes::EchoStatusText(static_cast<int32_t>(status)) +
                         QStringLiteral("\r\n");
    if (status != 0) {
        ++lostCount_;
    } else {
        ++answeredCount_;
        totalRtt_ += rtt;
        if (rtt > maxRtt_)
            maxRtt_ = rtt;
        if (rtt < minRtt_)
            minRtt_ = rtt;
    }
    return line;
}

QString PingSeries::NumText() const
{
    return QString::number(requestCount_);
}

std::optional<QString> PingSeries::DelayText(const QLocale& locale) const
{
    if (totalRtt_ <= 0 || answeredCount_ <= 0)
        return std::nullopt;
    return probes::RoundedDecimalText(static_cast<double>(totalRtt_) / answeredCount_, locale) +
           QCoreApplication::translate("PingSeries", " мс.");
}

QString PingSeries::LossText(const QLocale& locale) const
{
    double share = 0.0;
    if (lostCount_ >= 1 && requestCount_ > 0)
        share = lostCount_ / (requestCount_ / 100.0);
    return probes::RoundedDecimalText(share, locale) + QStringLiteral(" % (") + QString::number(lostCount_) +
           QLatin1Char(')');
}

QString PingSeries::JitterText(const QLocale& locale) const
{
    // An answer reported as 0 ms leaves the ratio undefined; it is shown as 0.
    const double percent = minRtt_ == 0 ? 0.0 : maxRtt_ / (minRtt_ / 100.0) - 100.0;
    return probes::RoundedDecimalText(percent, locale) + QStringLiteral(" %  (") +
           QString::number(maxRtt_ - minRtt_) + QCoreApplication::translate("PingSeries", " мс.)");
}

}  // namespace tools

namespace tools {

bool IsDottedQuad(const QString& text)
{
    const QStringList parts = text.split(QLatin1Char('.'));
    if (parts.size() != 4)
        return false;
    for (const QString& part : parts) {
        if (part.isEmpty() || part.size() > 3)
            return false;
        for (const QChar c : part)
            if (c < QLatin1Char('0') || c > QLatin1Char('9'))
                return false;
        if (part.toInt() > 255)
            return false;
    }
    return true;
}

QString PingTargetFor(const QString& text, const std::function<QString(const QString&)>& resolve)
{
    const QString trimmed = text.trimmed();
    const bool looksLikeAddress =
        trimmed.startsWith(QLatin1Char('1')) || trimmed.startsWith(QLatin1Char('2'));
    if (looksLikeAddress && IsDottedQuad(trimmed))
        return trimmed;
    return resolve(trimmed);
}

}  // namespace tools
