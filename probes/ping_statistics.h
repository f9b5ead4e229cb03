// SPDX-License-Identifier: Apache-2.0
#pragma once
// Texts and figures of the ping series of the test run, and the filtering of
// the captured interface listing appended to the report.
#include <QLocale>
#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>

namespace probes {

// One log line: i " - " rtt " мс - " status text, CR LF. rtt is the time as
// logged, i.e. already passed through CappedRoundTrip.
QString PingLogLine(int i, uint32_t rtt, uint32_t status);

struct PingSeriesResult {
    QString text;         // appended to the ping log
    int16_t avgDelay;     // previousAvgDelay when it cannot be computed
    int16_t jitter;       // previousJitter when it cannot be computed
    int16_t lostPackets;
};

// CR LF "Итоговые данные" CR LF, the average line, the losses line and the
// jitter text (no line end) over the ten round-trip times of the series.
PingSeriesResult SummarizePingSeries(const std::array<int16_t, 10>& rtt, int16_t lostPackets,
                                     int16_t previousAvgDelay, int16_t previousJitter,
                                     const QLocale& locale = QLocale::system());

// Waiting time (ms) between the two ticks: 7000 up to 100 ms of average
// delay, else 7 times the average.
int WaitingInterval(int16_t avgDelay);

// Round-trip time above 1500 ms counts as 0.
int16_t CappedRoundTrip(uint32_t rtt);

// Lines of the captured listing that reach the report: those of 4 characters
// or more, in order, without their line ends.
QStringList ListingLinesForReport(const QString& fileText);

// The same lines, each followed by CR LF: the text appended to the report.
QString ListingTextForReport(const QString& fileText);

}  // namespace probes
