// SPDX-License-Identifier: Apache-2.0
#pragma once
// Running figures of the ping window: request count, average delay, losses
// and jitter, fed one echo outcome at a time.
#include <QLocale>
#include <QString>
#include <cstdint>
#include <functional>
#include <optional>

namespace tools {

class PingSeries {
public:
    // Round-trip times above this are counted as 0 ms.
    static constexpr uint32_t kLongestRtt = 1500;

    PingSeries() { Restart(QString()); }

    // A new series to target: every counter back to its start value.
    void Restart(const QString& target);

    // Counts one echo outcome (status 0 = answered) and returns its log line,
    // CR LF ended.
    QString Record(uint32_t status, uint32_t roundTripTime);

    const QString& PingTarget() const { return pingTarget_; }
    int32_t RequestCount() const { return requestCount_; }
    int32_t AnsweredCount() const { return answeredCount_; }
    int32_t TotalRtt() const { return totalRtt_; }
    int32_t LostCount() const { return lostCount_; }
    int32_t MaxRtt() const { return maxRtt_; }
    int32_t MinRtt() const { return minRtt_; }

    // Caption texts of the labels.
    QString NumText() const;
    // Average delay; nothing while no time has been summed (the label keeps its text).
    std::optional<QString> DelayText(const QLocale& locale = QLocale::system()) const;
    QString LossText(const QLocale& locale = QLocale::system()) const;
    QString JitterText(const QLocale& locale = QLocale::system()) const;

private:
    QString pingTarget_;
    int32_t requestCount_ = 0;
    int32_t answeredCount_ = 0;
    int32_t totalRtt_ = 0;
    int32_t lostCount_ = 0;
    int32_t maxRtt_ = 1;
    int32_t minRtt_ = 9999;
};

}  // namespace tools

namespace tools {

// True for four dot-separated decimal numbers of 0 to 255 ("10.0.0.1").
bool IsDottedQuad(const QString& text);

// The address a series pings for the text of the address box: the text,
// trimmed, when it begins with "1" or "2" and is a dotted address; any other
// text through resolve (which gives "255.255.255.255" for an unknown name).
QString PingTargetFor(const QString& text, const std::function<QString(const QString&)>& resolve);

}  // namespace tools
