// SPDX-License-Identifier: Apache-2.0
#include "app/command_line.h"

#include "app/startup_survey.h"

namespace app {

std::optional<int> ParseTimeoutSeconds(const QString& text)
{
    bool ok = false;
    const qlonglong seconds = text.toLongLong(&ok);
    if (!ok || seconds < 1 || seconds > 86400)
        return std::nullopt;
    return static_cast<int>(seconds);
}

QString VersionBlurb(const QString& program)
{
    return QStringLiteral("%1 (Tarvolin) %2\n"
                          "Copyright (C) 2026 Tarvolin developers\n"
                          "License: Apache-2.0 <https://www.apache.org/licenses/LICENSE-2.0>\n")
        .arg(program, VersionText());
}

QString HelpWithProgramName(const QString& qtHelpText, const QString& program)
{
    QString text = qtHelpText;
    const QString usage = QStringLiteral("Usage: ");
    if (text.startsWith(usage)) {
        const qsizetype end = text.indexOf(QLatin1Char(' '), usage.size());
        const qsizetype lineEnd = text.indexOf(QLatin1Char('\n'));
        if (end > 0 && (lineEnd < 0 || end < lineEnd))
            text.replace(usage.size(), end - usage.size(), program);
    }
    return text;
}

namespace {

// Options QGuiApplication and QApplication take for themselves, with the
// ones that take a value marked.
struct QtOption {
    const char* name;
    bool takesValue;
};
constexpr QtOption kQtOptions[] = {
    {"platform", true},     {"platformpluginpath", true}, {"platformtheme", true}, {"plugin", true},
    {"qwindowgeometry", true}, {"qwindowicon", true},    {"qwindowtitle", true},  {"reverse", false},
    {"session", true},      {"display", true},            {"geometry", true},      {"style", true},
    {"stylesheet", true},   {"widgetcount", false},       {"nograb", false},       {"dograb", false},
    {"sync", false},
};

const QtOption* FindQtOption(const QString& argument)
{
    // Qt accepts one or two leading dashes.
    QString name = argument.mid(argument.startsWith(QLatin1String("--")) ? 2 : 1);
    const qsizetype equals = name.indexOf(QLatin1Char('='));
    if (equals >= 0)
        name.truncate(equals);
    for (const QtOption& option : kQtOptions)
        if (name == QLatin1String(option.name))
            return &option;
    return nullptr;
}

}  // namespace

ProgramCommand ParseProgramArguments(const QStringList& arguments)
{
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        if (a == QLatin1String("--help") || a == QLatin1String("-h"))
            return {ProgramCommand::Help, QString()};
        if (a == QLatin1String("--version") || a == QLatin1String("-v"))
            return {ProgramCommand::Version, QString()};
        const QtOption* qt = a.startsWith(QLatin1Char('-')) ? FindQtOption(a) : nullptr;
        if (!qt) {
            const QString what = a.startsWith(QLatin1Char('-')) ? QStringLiteral("unknown option '%1'")
                                                                : QStringLiteral("unexpected argument '%1'");
            return {ProgramCommand::UsageError, what.arg(a) + QStringLiteral(" (try --help)")};
        }
        if (qt->takesValue && !a.contains(QLatin1Char('='))) {
            if (++i >= arguments.size())
                return {ProgramCommand::UsageError, QStringLiteral("option '%1' needs a value").arg(a)};
        }
    }
    return {};
}

QString ProgramHelpText()
{
    return QStringLiteral(
        "Usage: tarvolin [options]\n"
        "Examines this computer's Internet connection for a SIP phone and tells how to\n"
        "set the phone up. The test starts with the window; its menu opens the tools.\n"
        "The window is in Russian, or in English when the user's languages (LANGUAGE,\n"
        "LC_ALL, LC_MESSAGES, LANG) put English ahead of Russian.\n"
        "\n"
        "Options:\n"
        "  -h, --help     Show this help and exit.\n"
        "  -v, --version  Show the version and exit.\n"
        "\n"
        "Qt's own options are accepted too, e.g. -platform NAME, -display DISPLAY,\n"
        "-style NAME, -reverse. tarvolin-report(1) runs the test without a display.\n");
}

}  // namespace app
