// SPDX-License-Identifier: Apache-2.0
#pragma once
// Runs the extended NAT test window without a person: opens it from the main
// window's menu, starts the test, waits for its end and returns what it showed.
#include "app/report_json.h"
#include "probes/extended_findings.h"
#include "tools/extended_paths.h"

#include <QJsonObject>
#include <QList>
#include <QString>

namespace app {

class Form1a;

struct ExtendedReport {
    bool finished = false;  // false: the time limit ran out first (the test was stopped)
    QString text;           // the window's result text (CR LF line ends)
    QJsonObject figures;    // one member per measurement
};

struct ExtendedReportOptions {
    QList<probes::Measurement> measurements = probes::AllMeasurements();
    QSet<tools::PathSection> pathSections = tools::AllPathSections();
    int timeoutSeconds = 420;
    QString screenshotPath;  // a picture of the window after the test ("" for none)
};

// Returns when the window has been closed again.
ExtendedReport RunExtendedReport(Form1a& window, const ExtendedReportOptions& options);

// The findings as a section of tarvolin-report: the group "Расширенный тест
// NAT" in the text, the member "extendedNat" in the JSON.
ExtraSection ExtendedSection(const ExtendedReport& report);

// "mapping,filtering" -> the measurements, in their running order; nullopt
// when a name is unknown.
std::optional<QList<probes::Measurement>> ParseMeasurementList(const QString& list);

}  // namespace app
