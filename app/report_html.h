// SPDX-License-Identifier: Apache-2.0
#pragma once
// The report as one self-contained HTML page: the same groups and figures as
// the text, styled inline; no scripts, no external resources.
#include "app/report_json.h"

#include <QByteArray>

namespace app {

QByteArray ReportAsHtml(const RunReport& report);

}  // namespace app
