// SPDX-License-Identifier: Apache-2.0
#pragma once
// The command lines of tarvolin and tarvolin-report: what each accepts and
// what it prints for --help and --version. Plain text in, plain text out.
#include <QString>
#include <QStringList>
#include <optional>

namespace app {

// Status for a usage error (sysexits' EX_USAGE).
constexpr int kUsageStatus = 64;

// "--timeout" in whole seconds, 1 to 86400; nullopt for anything else.
std::optional<int> ParseTimeoutSeconds(const QString& text);

// The three lines of --version in the GNU style: "PROGRAM (Tarvolin) 1.1.61",
// the copyright and the licence.
QString VersionBlurb(const QString& program);

// Qt's help text with the program's name in its usage line instead of the
// path it was started by.
QString HelpWithProgramName(const QString& qtHelpText, const QString& program);

// What tarvolin does with its command line. It takes no arguments of its own
// besides --help and --version, only Qt's options for the window system.
struct ProgramCommand {
    enum Action { Run, Help, Version, UsageError } action = Run;
    QString message;  // the usage error's line (without the program's name)
};
ProgramCommand ParseProgramArguments(const QStringList& arguments);  // without argv[0]
QString ProgramHelpText();

}  // namespace app
