// SPDX-License-Identifier: Apache-2.0
// "Сохранить отчёт…" and "Копировать отчёт": the main window's report kept as
// a file or put on the clipboard, composed as tarvolin-report composes it.
#include "app/main_window.h"
#include "app/report_collect.h"
#include "app/report_html.h"
#include "platform/user_message.h"

#include <QCheckBox>
#include <QClipboard>
#include <QDir>
#include <QFileDialog>
#include <QGridLayout>
#include <QGuiApplication>
#include <QSaveFile>
#include <QStandardPaths>
#include <QCoreApplication>

namespace app {

namespace {

struct FormatChoice {
    Form1a::ReportFormat format;
    const char* filter;
    const char* suffix;
};
const FormatChoice kFormats[] = {
    {Form1a::ReportFormat::Text, QT_TRANSLATE_NOOP("ReportSaving", "Текст (*.txt)"), "txt"},
    {Form1a::ReportFormat::Json, "JSON (*.json)", "json"},
    {Form1a::ReportFormat::Html, QT_TRANSLATE_NOOP("ReportSaving", "Страница HTML (*.html)"), "html"},
};

}  // namespace

bool Form1a::saveReport(const QString& path, ReportFormat format, bool hideHardwareAddresses)
{
    RunReport report = CollectRunReport(*this, {}, runStartedAt_, runSeconds());
    if (hideHardwareAddresses)
        report = WithoutHardwareAddresses(report);
    const QByteArray bytes = format == ReportFormat::Json   ? ReportAsJson(report)
                             : format == ReportFormat::Html ? ReportAsHtml(report)
                                                            : ReportAsText(report);
    // Written to a temporary file beside it and renamed over it at the end:
    // the file appears whole or not at all.
    QSaveFile file(path);
    file.setDirectWriteFallback(false);
    if (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit())
        return true;
    const QString why = file.errorString();
    file.cancelWriting();
    platform::ShowMessage(QCoreApplication::translate("ReportSaving", "Не удалось сохранить отчёт в файл %1\r\n%2 !!!")
                              .arg(QDir::toNativeSeparators(path), why));
    return false;
}

void Form1a::copyReport()
{
    const RunReport report = WithoutHardwareAddresses(CollectRunReport(*this, {}, runStartedAt_, runSeconds()));
    QGuiApplication::clipboard()->setText(QString::fromUtf8(ReportAsText(report)));
}

void Form1a::SaveReportDialog()
{
    QFileDialog dialog(this, QCoreApplication::translate("ReportSaving", "Сохранить отчёт"));
    dialog.setObjectName(QStringLiteral("SaveReport"));
    // Our own dialog, so that it can carry the MAC address choice.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    QStringList filters;
    for (const FormatChoice& f : kFormats)
        filters << QCoreApplication::translate("ReportSaving", f.filter);
    dialog.setNameFilters(filters);
    dialog.setDefaultSuffix(QStringLiteral("txt"));
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty() || !QDir(folder).exists())
        folder = QDir::homePath();
    dialog.setDirectory(folder);
    dialog.selectFile(QStringLiteral("tarvolin-%1.txt").arg(runStartedAt_.toLocalTime().toString(
        QStringLiteral("yyyyMMdd-HHmmss"))));
    connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog](const QString& filter) {
        for (const FormatChoice& f : kFormats)
            if (filter == QCoreApplication::translate("ReportSaving", f.filter))
                dialog.setDefaultSuffix(QString::fromLatin1(f.suffix));
    });
    auto* hide = new QCheckBox(QCoreApplication::translate("ReportSaving", "Не включать &MAC-адреса"), &dialog);
    hide->setObjectName(QStringLiteral("HideMac"));
    hide->setAccessibleName(QCoreApplication::translate("ReportSaving", "Не включать MAC-адреса"));
    hide->setAccessibleDescription(
        QCoreApplication::translate("ReportSaving", "Аппаратные адреса сетевых карт в отчёте заменяются на xx:xx:xx:xx:xx:xx"));
    hide->setChecked(true);
    if (auto* grid = qobject_cast<QGridLayout*>(dialog.layout()))
        grid->addWidget(hide, grid->rowCount(), 0, 1, grid->columnCount());
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    ReportFormat format = ReportFormat::Text;
    for (const FormatChoice& f : kFormats)
        if (dialog.selectedNameFilter() == QCoreApplication::translate("ReportSaving", f.filter))
            format = f.format;
    saveReport(dialog.selectedFiles().first(), format, hide->isChecked());
}

}  // namespace app
