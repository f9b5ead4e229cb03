// SPDX-License-Identifier: Apache-2.0
#include "app/report_html.h"

#include "app/translation.h"
#include "probes/extended_summary.h"
#include "tools/extended_plots.h"

#include <QJsonArray>
#include <QLocale>
#include <QCoreApplication>

namespace app {

namespace {

QString Escaped(const QString& text)
{
    return WithLfLineEnds(text).toHtmlEscaped();
}

// A group: its caption/value pairs as a table, its text as preformatted lines.
QString GroupHtml(const ShownGroup& group, const QString& id)
{
    QString out = QStringLiteral("<section id=\"%1\">\n<h2>%2</h2>\n").arg(id, Escaped(group.title));
    if (!group.pairs.isEmpty()) {
        out += QStringLiteral("<table>\n");
        for (const ShownPair& pair : group.pairs)
            out += QStringLiteral("<tr><th>%1</th><td>%2</td></tr>\n")
                       .arg(Escaped(pair.caption), Escaped(pair.value).replace(QLatin1Char('\n'), QStringLiteral("<br>")));
        out += QStringLiteral("</table>\n");
    }
    const QString text = WithLfLineEnds(group.text);
    if (!text.isEmpty())
        out += QStringLiteral("<pre>%1</pre>\n").arg(text.toHtmlEscaped());
    return out + QStringLiteral("</section>\n");
}

// The extended test's summary: the action, then a row per finding with its
// mark as a colour and in words.
QString SummaryHtml(const QJsonObject& summary)
{
    const QJsonArray rows = summary.value(QStringLiteral("rows")).toArray();
    if (rows.isEmpty())
        return {};
    QString out = QStringLiteral("<p class=\"action\">%1</p>\n<table class=\"summary\">\n")
                      .arg(summary.value(QStringLiteral("action")).toString().toHtmlEscaped());
    for (const QJsonValue& value : rows) {
        const QJsonObject row = value.toObject();
        out += QStringLiteral("<tr class=\"%1\"><td><span class=\"mark\"></span>%2</td><td>%3</td><td>%4</td></tr>\n")
                   .arg(row.value(QStringLiteral("mark")).toString().toHtmlEscaped(),
                        row.value(QStringLiteral("markText")).toString().toHtmlEscaped(),
                        probes::ShownRowName(row.value(QStringLiteral("name")).toString()).toHtmlEscaped(),
                        row.value(QStringLiteral("result")).toString().toHtmlEscaped());
    }
    return out + QStringLiteral("</table>\n");
}

const char* const kStyle =
    "body{font-family:sans-serif;margin:2em auto;max-width:60em;padding:0 1em;color:#222}"
    "h1{font-size:1.5em}h2{font-size:1.2em;border-bottom:1px solid #999;margin-top:1.5em}"
    "table{border-collapse:collapse}th,td{text-align:left;vertical-align:top;padding:.2em .8em .2em 0}"
    "th{font-weight:normal;color:#555}pre{white-space:pre-wrap;font-size:.9em}"
    ".stopped{color:#a00;font-weight:bold}figure{margin:1em 0}svg{max-width:100%;height:auto}"
    "figcaption{font-size:.85em;color:#555}.action{font-weight:bold}"
    ".mark{display:inline-block;width:.8em;height:.8em;border-radius:50%;margin-right:.4em;background:#999}"
    ".green .mark{background:#2e9d3c}.yellow .mark{background:#e0b010}.red .mark{background:#d03030}";

}  // namespace

QByteArray ReportAsHtml(const RunReport& report)
{
    // The page's language is the program's (the browser picks fonts and hyphenation by it).
    QString out = QStringLiteral("<!DOCTYPE html>\n<html lang=\"%3\">\n<head>\n<meta charset=\"utf-8\">\n"
                                 "<title>%1</title>\n<style>%2</style>\n</head>\n<body>\n<h1>%1</h1>\n")
                      .arg(Escaped(report.windowTitle), QString::fromLatin1(kStyle),
                           CurrentLanguage() == Language::English ? QStringLiteral("en") : QStringLiteral("ru"));
    if (!report.figures.finished)
        out += QCoreApplication::translate("ReportHtml", "<p class=\"stopped\">Тест не завершён: остановлен на шаге «%1».</p>\n")
                   .arg(Escaped(RunStepDescription(report.figures.step)));
    const QList<ShownPair> facts = RunFacts(report.figures);
    if (!facts.isEmpty())
        out += GroupHtml({QCoreApplication::translate("ReportHtml", "Сведения о тесте"), facts, QString()}, QStringLiteral("facts"));
    int index = 0;
    for (const ShownGroup& group : report.groups)
        out += GroupHtml(group, QStringLiteral("group%1").arg(++index));
    if (!report.figures.messages.isEmpty()) {
        ShownGroup messages{QCoreApplication::translate("ReportHtml", "Сообщения"), {}, QString()};
        for (const QString& message : report.figures.messages)
            messages.text += WithLfLineEnds(message) + QLatin1Char('\n');
        out += GroupHtml(messages, QStringLiteral("messages"));
    }
    for (const ExtraSection& section : report.extra) {
        QString group = GroupHtml(section.shown, section.jsonKey);
        // The summary goes right under the section's title.
        const QString summary = SummaryHtml(section.json.value(QStringLiteral("summary")).toObject());
        group.insert(group.indexOf(QStringLiteral("</h2>\n")) + 6, summary);
        out += group;
        // The section's pictures, inline (an <svg> element needs no XML prologue).
        for (tools::PlotKind kind : {tools::PlotKind::Voice, tools::PlotKind::Lifetime}) {
            const QString svg = QString::fromUtf8(tools::PlotSvg(kind, section.json, QLocale::system()));
            const qsizetype start = svg.indexOf(QStringLiteral("<svg"));
            if (start >= 0)
                out += QStringLiteral("<figure>\n%1\n<figcaption>%2</figcaption>\n</figure>\n")
                           .arg(svg.mid(start).trimmed(), tools::PlotDescription(kind, section.json, QLocale::system()).toHtmlEscaped());
        }
    }
    out += QStringLiteral("</body>\n</html>\n");
    return out.toUtf8();
}

}  // namespace app
