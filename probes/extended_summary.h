// SPDX-License-Identifier: Apache-2.0
#pragma once
// The summary on top of the extended test: one row per finding with a mark,
// and the one action that matters most for this connection. Plain rules over
// the test's figures (the JSON document's "extendedNat" member), so that the
// window, the report and its readers agree.
#include <QJsonObject>
#include <QList>
#include <QString>

namespace probes {

// Green: fine for SIP. Yellow: the phone needs a setting. Red: calls fail or
// audio is one-way unless something changes. Grey: not measured or unknown.
enum class Mark { Green, Yellow, Red, Grey };

// "green", "yellow", "red", "grey".
QString MarkName(Mark mark);
// The same in words, beside the colour (for people who cannot tell the
// colours apart, and for the accessibility tree).
QString MarkText(Mark mark);

struct SummaryRow {
    QString key;     // the finding's member: "mapping", "lifetime", "nat", "voice" ...
    QString name;    // the finding's short name, in Russian in every language (ShownRowName)
    Mark mark = Mark::Grey;
    QString result;  // one line
};

struct ExtendedSummary {
    QString action;  // the most important action for this connection
    QList<SummaryRow> rows;
};

// figures: one member per measurement ("mapping", "filtering", "hairpin",
// "rtp-pair", "lifetime"), "paths" with the path sections' figures and
// "sipPath" with the SIP mirror's; a member that is missing gives no row.
ExtendedSummary SummarizeExtended(const QJsonObject& figures);

// The row's name as the user reads it: translated when a translation is installed.
QString ShownRowName(const QString& name);

// {"action": ..., "rows": [{"key", "name", "mark", "markText", "result"}]}
QJsonObject SummaryJson(const ExtendedSummary& summary);

}  // namespace probes
