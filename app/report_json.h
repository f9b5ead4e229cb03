// SPDX-License-Identifier: Apache-2.0
#pragma once
// What tarvolin-report prints: the main window's captions as a person reads
// them (text) and every figure of the run (JSON). Plain data in, text out;
// the runner fills the structures from the window.
#include "app/test_run_state.h"
#include "platform/interfaces.h"
#include "probes/endpoints.h"

#include <QDateTime>

#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVector>
#include <cstdint>

namespace app {

// One caption of the window with the value shown beside it.
struct ShownPair {
    QString caption;
    QString value;
};

// A group of the window: its title, its caption/value pairs and its text
// (the value labels or text boxes that fill the group).
struct ShownGroup {
    QString title;
    QList<ShownPair> pairs;
    QString text;
};

// Version of the JSON document's layout (docs/report.md).
constexpr int kReportSchemaVersion = 2;

// Everything one run found, as the window holds it.
struct RunFigures {
    QString version;
    QDateTime startedAt;       // when the test started (written in UTC)
    double durationSeconds = 0;
    probes::ProviderEndpoints endpoints;
    bool finished = true;      // false: stopped early (signal, time limit)
    QString step;              // where it stopped: a RunStepName, "" when finished
    TestRunState state;
    platform::InterfaceTable interfaces;
    QString pingTarget;
    QList<EchoRecord> echoes;
    int probeLocalPort = 0;
    QString natCaption;        // NATType
    QString externalCaption;   // IPAdr
    QString portCaption;       // STUN_Port
    QString sipCaption;        // SIPsup
    QString upnpCaption;       // UPnP
    QString grade;             // "" when no grade applies
    QString report;            // the report box
    QStringList messages;      // message boxes shown during the run
};

// A section added after the automatic test (further measurements): a group
// in the text and a member of the JSON document.
struct ExtraSection {
    ShownGroup shown;
    QString jsonKey;
    QJsonObject json;
};

struct RunReport {
    QString windowTitle;
    QList<ShownGroup> groups;  // in the window's order
    RunFigures figures;
    QList<ExtraSection> extra;
};

// Stable names of the codes, for readers of the JSON document.
QString NatModeName(int16_t natMode);
QString SipStateName(int16_t sipState);

// The step names of an unfinished report ("echoes"; the tool windows and the
// extended test add their own) and how the text says them.
QString RunStepName(RunStep step);
QString RunStepDescription(const QString& stepName);

// When the test ran, how long, which version and which endpoints, as caption
// and value lines in the system locale's format; none without a start time.
QList<ShownPair> RunFacts(const RunFigures& figures);

// Line ends as LF; a trailing line end dropped.
QString WithLfLineEnds(const QString& text);

// The report as a person reads it: UTF-8 text, LF line ends.
QByteArray ReportAsText(const RunReport& report);

// One JSON document with every figure (field names in docs/report.md).
// The header: program, version, layout version, time, duration, whether it
// finished, the endpoints.
QJsonObject ReportHeaderJson(const RunFigures& figures);
QJsonObject FiguresAsJson(const RunFigures& figures);
// Without the main window (sections run on their own): the header and the
// sections only.
QByteArray HeaderReportAsJson(const RunReport& report);
QByteArray ReportAsJson(const RunReport& report);

}  // namespace app
