// SPDX-License-Identifier: Apache-2.0
#pragma once
// The report of what the main window holds now, as every output composes it
// (tarvolin-report, "Сохранить отчёт…", "Копировать отчёт"), and the
// privacy filter that leaves hardware addresses out of it.
#include "app/report_json.h"

#include <QDateTime>
#include <QStringList>

namespace app {

class Form1a;

// The window's groups, captions and figures; the extended test's findings of
// this session when that window ran (Form1a::lastExtendedFindings).
RunReport CollectRunReport(const Form1a& window, const QStringList& messages, const QDateTime& startedAt,
                           double durationSeconds);

// Hardware (MAC) addresses, six pairs of hex digits joined by ":" or "-",
// replaced by "xx:xx:xx:xx:xx:xx"; IPv6 addresses and other numbers stay.
QString WithoutHardwareAddresses(const QString& text);
// The same for every text and JSON string of a report.
RunReport WithoutHardwareAddresses(const RunReport& report);

}  // namespace app
