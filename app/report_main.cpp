// SPDX-License-Identifier: Apache-2.0
// tarvolin-report: the automatic test of the main window without a person.
// It runs the main window exactly as the program starts it (offscreen unless
// a platform is chosen), waits for the test run to end and prints what the
// window shows: as text (default) or as one JSON document (--json).
//
// Developer options used by the network lab:
//   --blocks               print "==NAME==" blocks of the captions instead
//   --restart-with COMMAND after the run, run COMMAND and press "Повторить тест"
//   --screenshot PATH      save a picture of the window after the run
//   --timeout SECONDS      stop after this long (1-86400, default 180) and print
//                          what was measured so far
// After the run (and the restarted run), each tool option opens that window
// from the menu the way a user would, drives it and prints its text as a block:
//   --passage PORT:OPTION  packet passage window: port PORT, option 0 (any port) or 1
//                          (from PORT), one press of "Отправить запрос", log after 3 s
//   --dns-srv NAME         DNS SRV window: query NAME, print the listing
//   --ping TARGET:COUNT    ping window: ping TARGET until COUNT requests are logged
// --extended (or --extended-only LIST) then runs the extended NAT test window
// and adds its findings (blocks: "==Form5==" and "==Form5JSON==");
// --extended-screenshot PATH saves a picture of that window.
// --extended-paths LIST picks the path sections (nat,ports,voice,dns,sip,ipv6) that the
// window runs after its measurements (--extended: all, --extended-only: none
// unless named); without --extended it runs only those sections, without the
// main window, and prints one block each (==ExtNat==, ==ExtPorts==,
// ==ExtVoice==, ==ExtDns==, ==ExtSip==) with --blocks, else the report with their group.
//
// Exit status: 0 the report was printed, 1 standard output could not be
// written (or another failure), 2 stopped by --timeout, 64 wrong options,
// 128 + N stopped by signal N; stopped runs still print what was measured.
//
// Message boxes are printed (blocks: "==MESSAGE==") instead of blocking.
#include "app/command_line.h"
#include "app/extended_paths_report.h"
#include "app/extended_report.h"
#include "app/main_window.h"
#include "app/report.h"
#include "app/report_collect.h"
#include "app/report_json.h"
#include "app/report_tools.h"
#include "app/startup_survey.h"
#include "app/termination_signals.h"
#include "app/translation.h"
#include "platform/socket_set.h"
#include "platform/user_message.h"
#include "tools/extended_nat_window.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDateTime>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QJsonDocument>
#include <QLocale>
#include <QLabel>
#include <QProcess>
#include <QTimer>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace {

struct RunClock {
    QDateTime startedAt = QDateTime::currentDateTimeUtc();
    QElapsedTimer elapsed;
    RunClock() { elapsed.start(); }
};

app::RunReport collectReport(const app::Form1a& window, const QStringList& messages, const RunClock& clock)
{
    return app::CollectRunReport(window, messages, clock.startedAt, clock.elapsed.elapsed() / 1000.0);
}

enum class Format { Text, Json, Blocks };

void printExtendedBlocks(const app::ExtendedReport& report, const QString& screenshotPath)
{
    app::PrintBlock("Form5", report.text);
    app::PrintBlock("Form5JSON", QString::fromUtf8(QJsonDocument(report.figures).toJson(QJsonDocument::Compact)));
    if (!report.finished)
        app::PrintBlock("Form5TIMEOUT", QString());
    if (!screenshotPath.isEmpty())
        app::PrintBlock("SCREENSHOT", screenshotPath);
    app::PrintEnd();
}

// The first failed write to standard output (errno), 0 while none failed.
int g_writeError = 0;

void writeOut(const QByteArray& bytes)
{
    if (std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout) != static_cast<size_t>(bytes.size())
        || std::fflush(stdout) != 0) {
        if (g_writeError == 0)
            g_writeError = errno != 0 ? errno : EIO;
    }
}

// The exit status once everything is written: 1 with a message when any
// write to standard output failed (a full disk, a closed pipe's reader).
int statusAfterOutput(int status)
{
    errno = 0;
    if ((std::fflush(stdout) != 0 || std::ferror(stdout)) && g_writeError == 0)
        g_writeError = errno != 0 ? errno : EIO;
    if (g_writeError == 0)
        return status;
    std::fprintf(stderr, "tarvolin-report: write error: %s\n", std::strerror(g_writeError));
    return 1;
}

// Qt's notes about the headless platform (size hints, runtime folder) would
// spoil the one line on stderr that tells why a run failed.
void quietQtMessages(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    if (type == QtCriticalMsg || type == QtFatalMsg)
        std::fprintf(stderr, "tarvolin-report: %s\n", message.toUtf8().constData());
}

[[noreturn]] void fail(const QString& line, int status)
{
    std::fprintf(stderr, "tarvolin-report: %s\n", line.toUtf8().constData());
    std::exit(status);
}

struct ToolAction {
    QString kind;  // a step name: "passage", "dns-srv", "ping"
    QString argument;
};

// The tool options in the order given.
QList<ToolAction> toolActions(const QStringList& args)
{
    QList<ToolAction> tools;
    for (int i = 1; i + 1 < args.size(); ++i) {
        for (const char* kind : {"passage", "dns-srv", "ping"}) {
            const QString name = QString::fromLatin1(kind);
            if (args[i] == QStringLiteral("--") + name)
                tools.append({name, args[++i]});
            else if (args[i].startsWith(QStringLiteral("--") + name + QLatin1Char('=')))
                tools.append({name, args[i].section(QLatin1Char('='), 1)});
        }
    }
    return tools;
}

app::Form1a* findMainWindow()
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* form = qobject_cast<app::Form1a*>(w))
            return form;
    return nullptr;
}

}  // namespace

int main(int argc, char** argv)
{
    const RunClock clock;
    // Headless unless the caller chose a platform (e.g. xcb for a screenshot on a display).
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("TARVOLIN_REPORT_DEBUG"))
        qInstallMessageHandler(quietQtMessages);
    QApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tarvolin-report"));
    QCoreApplication::setApplicationVersion(app::VersionText());
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Runs Tarvolin's automatic network test without a display and prints the report\n"
        "as text, or as one JSON document with --json.\n"
        "Exit status: 0 when the test ran to its end, 1 when the report could not be\n"
        "written, 2 when --timeout stopped it, 64 for wrong options, 128+N when signal N\n"
        "stopped it; a stopped run still prints what was measured so far."));
    const QCommandLineOption json(QStringLiteral("json"), QStringLiteral("Print one JSON document with every figure."));
    const QCommandLineOption blocks(QStringLiteral("blocks"),
                                    QStringLiteral("Print the captions as ==NAME== blocks (for the lab)."));
    const QCommandLineOption restartWith(QStringLiteral("restart-with"),
                                         QStringLiteral("After the run, run COMMAND and test again."),
                                         QStringLiteral("COMMAND"));
    const QCommandLineOption screenshot(QStringLiteral("screenshot"),
                                        QStringLiteral("Save a picture of the window to PATH."), QStringLiteral("PATH"));
    const QCommandLineOption timeout(QStringLiteral("timeout"),
                                     QStringLiteral("Stop after SECONDS, 1-86400 (default 180), printing what was measured."),
                                     QStringLiteral("SECONDS"),
                                     QStringLiteral("180"));
    const QCommandLineOption passage(QStringLiteral("passage"),
                                     QStringLiteral("Then the packet passage window: port PORT, option 0 or 1."),
                                     QStringLiteral("PORT:OPTION"));
    const QCommandLineOption dnsSrv(QStringLiteral("dns-srv"), QStringLiteral("Then the DNS SRV window for NAME."),
                                    QStringLiteral("NAME"));
    const QCommandLineOption ping(QStringLiteral("ping"),
                                  QStringLiteral("Then the ping window until COUNT requests."),
                                  QStringLiteral("TARGET:COUNT"));
    const QCommandLineOption extended(
        QStringLiteral("extended"),
        QStringLiteral("Then the extended NAT test: mapping, filtering, hairpinning, RTP pair, binding lifetime\n"
                       "(up to about 5 minutes; the default --timeout becomes 600)."));
    const QCommandLineOption extendedOnly(
        QStringLiteral("extended-only"),
        QStringLiteral("The extended NAT test with the measurements of LIST only\n"
                       "(mapping,filtering,hairpin,rtp-pair,lifetime)."),
        QStringLiteral("LIST"));
    const QCommandLineOption extendedScreenshot(QStringLiteral("extended-screenshot"),
                                                QStringLiteral("Save a picture of the extended test window to PATH."),
                                                QStringLiteral("PATH"));
    const QCommandLineOption extendedPaths(
        QStringLiteral("extended-paths"),
        QStringLiteral("The path sections of the extended test: number of NATs, port-mapping protocols,\n"
                       "voice path, SIP servers by DNS, SIP through the router, IPv6\n"
                       "(nat,ports,voice,dns,sip,ipv6)."),
        QStringLiteral("LIST"));
    const QCommandLineOption hideMac(QStringLiteral("hide-mac"),
                                     QStringLiteral("Replace hardware (MAC) addresses with xx:xx:xx:xx:xx:xx."));
    const QCommandLineOption saveReport(
        QStringLiteral("save-report"),
        QStringLiteral("Also save the report as the window's \"Сохранить отчёт…\" does, to PATH\n"
                       "(.json: JSON, .html: HTML page with the pictures, else text)."),
        QStringLiteral("PATH"));
    const QCommandLineOption lang(QStringLiteral("lang"),
                                  QStringLiteral("Language of the report: ru or en (default: the user's languages,\n"
                                                 "English when they put English ahead of Russian)."),
                                  QStringLiteral("LANGUAGE"));
    parser.addOptions({json, lang, hideMac, saveReport, blocks, restartWith, screenshot, timeout, passage, dnsSrv, ping, extended, extendedOnly,
                       extendedScreenshot, extendedPaths});
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    if (!parser.parse(application.arguments()))
        fail(parser.errorText() + QStringLiteral(" (try --help)"), app::kUsageStatus);
    if (parser.isSet(help) || parser.isSet(version)) {
        writeOut((parser.isSet(help) ? app::HelpWithProgramName(parser.helpText(), QStringLiteral("tarvolin-report"))
                                     : app::VersionBlurb(QStringLiteral("tarvolin-report")))
                     .toUtf8());
        return statusAfterOutput(0);
    }
    if (!parser.positionalArguments().isEmpty())
        fail(QStringLiteral("unexpected argument '%1' (try --help)").arg(parser.positionalArguments().first()), app::kUsageStatus);
    if (parser.isSet(json) && parser.isSet(blocks))
        fail(QStringLiteral("--json and --blocks exclude each other"), app::kUsageStatus);
    std::optional<app::Language> language = app::LanguageOfUiLanguages(QLocale::system().uiLanguages());
    if (parser.isSet(lang)) {
        language = app::ParseLanguage(parser.value(lang));
        if (!language)
            fail(QStringLiteral("--lang takes ru or en, not '%1'").arg(parser.value(lang)), app::kUsageStatus);
    }
    if (!app::InstallTranslation(*language))
        fail(QStringLiteral("the built-in English translation cannot be loaded"), 1);
    const bool runExtended = parser.isSet(extended) || parser.isSet(extendedOnly);
    app::ExtendedReportOptions extendedOptions;
    extendedOptions.screenshotPath = parser.value(extendedScreenshot);
    if (parser.isSet(extendedOnly)) {
        const auto chosen = app::ParseMeasurementList(parser.value(extendedOnly));
        if (!chosen || chosen->isEmpty())
            fail(QStringLiteral("--extended-only takes mapping, filtering, hairpin, rtp-pair, lifetime"), app::kUsageStatus);
        extendedOptions.measurements = *chosen;
        extendedOptions.pathSections.clear();
    }
    if (parser.isSet(extendedPaths)) {
        bool ok = false;
        extendedOptions.pathSections = app::ParsePathSections(parser.value(extendedPaths), &ok);
        if (!ok)
            fail(QStringLiteral("--extended-paths takes nat, ports, voice, dns, sip, ipv6"), app::kUsageStatus);
    }
    const QString timeoutText = runExtended && !parser.isSet(timeout) ? QStringLiteral("600") : parser.value(timeout);
    const std::optional<int> timeoutSeconds = app::ParseTimeoutSeconds(timeoutText);
    if (!timeoutSeconds)
        fail(QStringLiteral("--timeout takes a whole number of seconds from 1 to 86400, not '%1'").arg(timeoutText),
             app::kUsageStatus);
    const Format format = parser.isSet(json) ? Format::Json : parser.isSet(blocks) ? Format::Blocks : Format::Text;
    const QList<ToolAction> tools = toolActions(application.arguments());
    if (!tools.isEmpty() && format != Format::Blocks)
        fail(QStringLiteral("--passage, --dns-srv and --ping print blocks for the lab: use them with --blocks"),
             app::kUsageStatus);
    const bool pathsOnly = parser.isSet(extendedPaths) && !runExtended;
    const QString restartCommand = parser.value(restartWith);
    const QString screenshotPath = parser.value(screenshot);

    QStringList messages;
    platform::SetMessageHandler([&messages, format](const platform::UserMessage& message) {
        if (format == Format::Blocks) {
            app::PrintBlock("MESSAGE", message.text);
            std::fflush(stdout);
        }
        messages.append(message.text);
    });

    // Text or JSON, with hardware addresses left out when asked.
    auto composed = [&](const app::RunReport& report, bool headerOnly = false) {
        const app::RunReport shown = parser.isSet(hideMac) ? app::WithoutHardwareAddresses(report) : report;
        if (format == Format::Text)
            return app::ReportAsText(shown);
        return headerOnly ? app::HeaderReportAsJson(shown) : app::ReportAsJson(shown);
    };

    std::unique_ptr<app::Form1a> window;
    std::unique_ptr<tools::ExtendedPathsRun> pathsRun;
    QString stepAfterRun;  // the step once the automatic test is over
    auto currentStep = [&]() -> QString {
        if (pathsOnly)
            return QStringLiteral("extended-paths");
        if (!stepAfterRun.isEmpty())
            return stepAfterRun;
        const app::Form1a* form = window ? window.get() : findMainWindow();
        return app::RunStepName(form ? form->runStep() : app::RunStep::Startup);
    };

    // A signal or the time limit: print what was measured so far and end at
    // once, wherever the run is (also inside a step that waits).
    auto stopEarly = [&](int status, const QString& why) {
        std::fprintf(stderr, "tarvolin-report: %s\n", why.toUtf8().constData());
        app::RunReport report;
        if (pathsOnly) {
            report.windowTitle = app::WindowCaption();
            report.figures.version = app::VersionText();
            report.figures.startedAt = clock.startedAt;
            report.figures.durationSeconds = clock.elapsed.elapsed() / 1000.0;
            report.figures.endpoints = probes::ProviderEndpoints::builtIn();
            if (pathsRun)
                report.extra << app::PathsOnlySection(*pathsRun, false);
        } else if (app::Form1a* form = window ? window.get() : findMainWindow()) {
            report = collectReport(*form, messages, clock);
            if (auto* form5 = qobject_cast<tools::Form5*>(QApplication::activeModalWidget())) {
                report.extra.clear();  // an earlier run's findings, if any: this run's stand instead
                report.extra << app::ExtendedSection({false, form5->resultText(), form5->figures()});
            }
        }
        report.figures.finished = false;
        report.figures.step = currentStep();
        if (format == Format::Blocks)
            app::PrintBlock("STOPPED", report.figures.step);
        else
            writeOut(composed(report, pathsOnly));
        const int exitStatus = statusAfterOutput(status);
        app::RemovePrivateTempDir();
        // Inside a waiting step the stack holds the step's own frames: leave
        // without unwinding them.
        ::_exit(exitStatus);
    };
    app::CallOnTerminationSignals([&](int signalNumber) {
        stopEarly(128 + signalNumber, QStringLiteral("stopped by signal %1 (%2) in the step \"%3\"")
                                          .arg(signalNumber)
                                          .arg(QString::fromLocal8Bit(strsignal(signalNumber)), currentStep()));
    });
    QTimer::singleShot(*timeoutSeconds * 1000, &application, [&] {
        stopEarly(2, QStringLiteral("the test run did not finish in %1 s (step \"%2\")")
                          .arg(*timeoutSeconds)
                          .arg(currentStep()));
    });

    if (pathsOnly) {
        tools::ExtendedPathsConfig config = app::BuiltInPathsConfig();
        config.sections = extendedOptions.pathSections;
        pathsRun = std::make_unique<tools::ExtendedPathsRun>();
        QObject::connect(pathsRun.get(), &tools::ExtendedPathsRun::finished, &application, [&] {
            if (format == Format::Blocks) {
                app::PrintPathsBlocks(*pathsRun);
            } else {
                app::RunReport report;
                report.windowTitle = app::WindowCaption();
                report.figures.version = app::VersionText();
                report.figures.startedAt = clock.startedAt;
                report.figures.durationSeconds = clock.elapsed.elapsed() / 1000.0;
                report.figures.endpoints = probes::ProviderEndpoints::builtIn();
                report.extra << app::PathsOnlySection(*pathsRun, true);
                writeOut(composed(report, true));
            }
            QCoreApplication::exit(0);
        });
        pathsRun->start(config);
        const int result = application.exec();
        pathsRun.reset();
        return statusAfterOutput(result);
    }

    window = app::StartMainWindow();
    int runsLeft = restartCommand.isEmpty() ? 1 : 2;
    bool completed = false;
    QObject::connect(window.get(), &app::Form1a::testRunFinished, &application, [&] {
        if (format == Format::Blocks)
            app::PrintWindowBlocks(*window);
        if (--runsLeft > 0) {
            QProcess::execute(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), restartCommand});
            messages.clear();
            window->RestartTest();
            return;
        }
        // With the extended test the report is written once that test is over.
        if (format != Format::Blocks && !runExtended) {
            writeOut(composed(collectReport(*window, messages, clock)));
        }
        completed = !runExtended;
        if (!screenshotPath.isEmpty()) {
            QCoreApplication::processEvents();  // pending layout updates of the new captions
            window->repaint();
            if (!window->grab().save(screenshotPath)) {
                std::fprintf(stderr, "tarvolin-report: cannot save the screenshot to %s\n",
                             screenshotPath.toUtf8().constData());
                application.exit(1);
                return;
            }
            if (format == Format::Blocks)
                std::printf("==SCREENSHOT==\n%s\n", screenshotPath.toUtf8().constData());
            std::fflush(stdout);
        }
        // The tool windows are modal: each call returns when its window has been closed.
        QTimer::singleShot(0, &application, [&] {
            for (const ToolAction& tool : tools) {
                stepAfterRun = tool.kind;
                if (tool.kind == QLatin1String("passage"))
                    app::RunPassageBlock(*window, tool.argument);
                else if (tool.kind == QLatin1String("dns-srv"))
                    app::RunDnsSrvBlock(*window, tool.argument);
                else if (tool.kind == QLatin1String("ping"))
                    app::RunPingBlock(*window, tool.argument);
            }
            if (runExtended) {
                stepAfterRun = QStringLiteral("extended");
                const QStringList automaticMessages = messages;
                const app::ExtendedReport extendedReport = app::RunExtendedReport(*window, extendedOptions);
                if (format == Format::Blocks) {
                    printExtendedBlocks(extendedReport, extendedOptions.screenshotPath);
                } else {
                    // The window keeps what the test found; the report takes it from there.
                    window->setLastExtendedFindings(extendedReport);
                    writeOut(composed(collectReport(*window, automaticMessages, clock)));
                }
                completed = true;
            }
            if (parser.isSet(saveReport)) {
                const QString path = parser.value(saveReport);
                const auto saveFormat = path.endsWith(QLatin1String(".json"))   ? app::Form1a::ReportFormat::Json
                                        : path.endsWith(QLatin1String(".html")) ? app::Form1a::ReportFormat::Html
                                                                                 : app::Form1a::ReportFormat::Text;
                if (!window->saveReport(path, saveFormat, parser.isSet(hideMac))) {
                    application.exit(1);
                    return;
                }
            }
            application.exit(0);
        });
    });
    int result = application.exec();
    if (result == 0 && !completed) {
        std::fprintf(stderr, "tarvolin-report: the program ended before the test run finished\n");
        result = 1;
    }
    window.reset();
    app::RemovePrivateTempDir();
    return statusAfterOutput(result);
}
