// SPDX-License-Identifier: Apache-2.0
#pragma once
// The extended path sections for the headless report: the run against the
// built-in endpoints, its text blocks and its JSON member.
#include "tools/extended_paths.h"

#include <QSet>
#include <QString>

namespace app {

// The configuration for the built-in provider endpoints.
tools::ExtendedPathsConfig BuiltInPathsConfig();

// "nat,ports,voice,dns" -> sections; unknown words make ok false.
QSet<tools::PathSection> ParsePathSections(const QString& list, bool* ok);

// Runs the sections and prints one ==Ext...== block per section, then ==END==.
// Returns 0 when the run finished within timeoutSeconds, 2 otherwise.
int RunExtendedPathsBlocks(const QSet<tools::PathSection>& sections, int timeoutSeconds);

}  // namespace app
