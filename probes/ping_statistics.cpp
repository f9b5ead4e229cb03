// SPDX-License-Identifier: Apache-2.0
#include "probes/ping_statistics.h"


#include "probes/ping.h"
#include "probes/decimal_text.h"
#include <QCoreApplication>

namespace probes {

namespace {
const QString kCrLf = QStringLiteral("\r\n");
}

QString PingLogLine(int i, uint32_t rtt, uint32_t status)
{
    return QString::number(i) + QStringLiteral(" - ") + QString::number(rtt) + QCoreApplication::translate("PingStatistics", " мс - ")
        + probes::EchoStatusText(static_cast<int32_t>(status)) + kCrLf;
}

PingSeriesResult SummarizePingSeries(const std::array<int16_t, 10>& rtt, int16_t lostPackets,
                                     int16_t previousAvgDelay, int16_t previousJitter,
                                     const QLocale& locale)
{
    PingSeriesResult result{QString(), previousAvgDelay, previousJitter, lostPackets};
    int32_t sum = 0;
    int32_t largest = 0;
    int32_t smallest = 0;
    for (const int16_t value : rtt) {
        if (value > 0)
            sum += value;
        if (value > largest)
            largest = value;
        if (smallest == 0)
            smallest = value;
        else if (value != 0 && value < smallest)
            smallest = value;
    }

    result.text = kCrLf + QCoreApplication::translate("PingStatistics", "Итоговые данные") + kCrLf;
    const int answered = 10 - lostPackets;
    if (lostPackets >= 5 || answered <= 0) {
        result.text += QCoreApplication::translate("PingStatistics", "Средняя задержка - неизвестна") + kCrLf;
    } else {
        result.avgDelay = static_cast<int16_t>(probes::RoundHalfEven(static_cast<double>(sum) / answered));
        result.text += QCoreApplication::translate("PingStatistics", "Средняя задержка - ") + QString::number(result.avgDelay) + kCrLf;
    }
    result.text += QCoreApplication::translate("PingStatistics", "Потерянных пакетов - ") + QString::number(lostPackets) + kCrLf;

    if (smallest < 1 || largest < 1) {
        result.text += QCoreApplication::translate("PingStatistics", "Джиттер - отсутствует");
    } else {
        const double percent = largest / (smallest / 100.0) - 100.0;
        result.text += QCoreApplication::translate("PingStatistics", "Джиттер - ") + probes::RoundedDecimalText(percent, locale)
            + QStringLiteral(" %  (") + QString::number(largest - smallest) + QCoreApplication::translate("PingStatistics", " мс)");
        result.jitter = static_cast<int16_t>(largest - smallest);
    }
    return result;
}

int WaitingInterval(int16_t avgDelay)
{
    return avgDelay <= 100 ? 7000 : 7 * avgDelay;
}

int16_t CappedRoundTrip(uint32_t rtt)
{
    return rtt > 1500 ? int16_t{0} : static_cast<int16_t>(rtt);
}

QStringList ListingLinesForReport(const QString& fileText)
{
    // Lines end in CR LF, LF or CR; a final line end does not start another line.
    QStringList kept;
    qsizetype start = 0;
    const qsizetype size = fileText.size();
    while (start < size) {
        qsizetype end = start;
        while (end < size && fileText.at(end) != QLatin1Char('\n') && fileText.at(end) != QLatin1Char('\r'))
            ++end;
        if (end - start >= 4)
            kept << fileText.mid(start, end - start);
        if (end < size && fileText.at(end) == QLatin1Char('\r') && end + 1 < size
            && fileText.at(end + 1) == QLatin1Char('\n'))
            ++end;
        start = end + 1;
    }
    return kept;
}

QString ListingTextForReport(const QString& fileText)
{
    QString text;
    for (const QString& line : ListingLinesForReport(fileText))
        text += line + kCrLf;
    return text;
}

}  // namespace probes
