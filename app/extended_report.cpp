// SPDX-License-Identifier: Apache-2.0
#include "app/extended_report.h"

#include "app/main_window.h"
#include "tools/extended_nat_window.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QCoreApplication>

namespace app {

ExtendedReport RunExtendedReport(Form1a& window, const ExtendedReportOptions& options)
{
    ExtendedReport report;
    QAction* item = window.menu() ? window.menu()->findChild<QAction*>(QStringLiteral("ExtNatTest")) : nullptr;
    if (!item)
        return report;

    auto collect = [&report, options](tools::Form5* form, bool finished) {
        report.finished = finished;
        report.text = form->resultText();
        report.figures = form->figures();
        if (!options.screenshotPath.isEmpty()) {
            QCoreApplication::processEvents();
            form->repaint();
            form->grab().save(options.screenshotPath);
            // A second picture with the end of the text, where the path sections are.
            if (auto* text = form->findChild<QPlainTextEdit*>(QStringLiteral("Text1"))) {
                text->moveCursor(QTextCursor::End);
                text->ensureCursorVisible();
                QCoreApplication::processEvents();
                QString path = options.screenshotPath;
                path.insert(path.endsWith(QLatin1String(".png")) ? path.size() - 4 : path.size(), QLatin1String("-end"));
                form->grab().save(path);
            }
        }
        form->reject();
    };
    // The window is modal: drive it once it is up.
    QTimer::singleShot(200, qApp, [collect, options] {
        auto* form = qobject_cast<tools::Form5*>(QApplication::activeModalWidget());
        if (!form)
            return;
        form->setMeasurements(options.measurements);
        form->setPathSections(options.pathSections);
        auto* limit = new QTimer(form);
        limit->setSingleShot(true);
        QObject::connect(limit, &QTimer::timeout, form, [form, collect] {
            form->Command2_Click();
            collect(form, false);
        });
        QObject::connect(form, &tools::Form5::testFinished, form, [form, limit, collect] {
            if (!limit->isActive())
                return;  // stopped by the limit, collected there
            limit->stop();
            collect(form, true);
        });
        limit->start(options.timeoutSeconds * 1000);
        form->findChild<QPushButton*>(QStringLiteral("Command1"))->click();
    });
    item->trigger();
    return report;
}

ExtraSection ExtendedSection(const ExtendedReport& report)
{
    ExtraSection section;
    section.shown.title = QCoreApplication::translate("ExtendedReport", "Расширенный тест NAT");
    section.shown.text = report.text;
    section.jsonKey = QStringLiteral("extendedNat");
    section.json = report.figures;
    section.json.insert(QStringLiteral("finished"), report.finished);
    section.json.insert(QStringLiteral("text"), WithLfLineEnds(report.text));
    return section;
}

std::optional<QList<probes::Measurement>> ParseMeasurementList(const QString& list)
{
    QList<probes::Measurement> chosen;
    for (const QString& name : list.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const std::optional<probes::Measurement> m = probes::MeasurementFromName(name);
        if (!m)
            return std::nullopt;
        chosen << *m;
    }
    QList<probes::Measurement> ordered;
    for (probes::Measurement m : probes::AllMeasurements())
        if (chosen.contains(m))
            ordered << m;
    return ordered;
}

}  // namespace app
