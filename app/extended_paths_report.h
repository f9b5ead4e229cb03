// SPDX-License-Identifier: Apache-2.0
#pragma once
// The extended path sections for the headless report: the run against the
// built-in endpoints, its text blocks and its JSON member.
#include "app/report_json.h"
#include "tools/extended_paths.h"

#include <QSet>
#include <QString>

namespace app {

// The configuration for the built-in provider endpoints.
tools::ExtendedPathsConfig BuiltInPathsConfig();

// "nat,ports,voice,dns,sip" -> sections; unknown words make ok false.
QSet<tools::PathSection> ParsePathSections(const QString& list, bool* ok);

// The run's sections as "==ExtNat==" … blocks for the lab, then "==END==".
void PrintPathsBlocks(const tools::ExtendedPathsRun& run);

// The sections run without the main window as the report's section: the
// group "Расширенный тест NAT" in the text, "extendedNat" (with "paths") in
// the JSON.
ExtraSection PathsOnlySection(const tools::ExtendedPathsRun& run, bool finished);

}  // namespace app
