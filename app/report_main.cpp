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
//   --timeout SECONDS      give up after this long (default 180)
// After the run (and the restarted run), each tool option opens that window
// from the menu the way a user would, drives it and prints its text as a block:
//   --passage PORT:OPTION  packet passage window: port PORT, option 0 (any port) or 1
//                          (from PORT), one press of "Отправить запрос", log after 3 s
//   --dns-srv NAME         DNS SRV window: query NAME, print the listing
//   --ping TARGET:COUNT    ping window: ping TARGET until COUNT requests are logged
// --extended (or --extended-only LIST) then runs the extended NAT test window
// and adds its findings (blocks: "==Form5==" and "==Form5JSON==");
// --extended-screenshot PATH saves a picture of that window.
// --extended-paths LIST picks the path sections (nat,ports,voice,dns) that the
// window runs after its measurements (--extended: all, --extended-only: none
// unless named); without --extended it runs only those sections, without the
// main window, and prints one block each (==ExtNat==, ==ExtPorts==,
// ==ExtVoice==, ==ExtDns==).
//
// Message boxes are printed (blocks: "==MESSAGE==") instead of blocking.
#include "app/extended_paths_report.h"
#include "app/extended_report.h"
#include "app/main_window.h"
#include "app/report.h"
#include "app/report_json.h"
#include "app/startup_survey.h"
#include "platform/socket_set.h"
#include "app/termination_signals.h"
#include "platform/user_message.h"
#include "tools/dns_srv_window.h"
#include "tools/passage_window.h"
#include "tools/ping_window.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QGroupBox>
#include <QJsonDocument>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <functional>

namespace {

void printBlock(const char* name, const QString& text)
{
    std::printf("==%s==\n%s\n", name, text.toUtf8().constData());
}

void printEnd()
{
    std::printf("==END==\n");
    std::fflush(stdout);
}

QString labelText(const QWidget& window, const char* name)
{
    const auto* l = window.findChild<QLabel*>(QString::fromLatin1(name));
    return l ? l->text() : QString();
}

void printWindow(const app::Form1a& window)
{
    for (const char* name : {"IPAdr", "NATType", "SIPsup", "UPnP", "STUN_Port", "IPs", "Ping"})
        printBlock(name, labelText(window, name));
    printBlock("Label2", window.reportText());
    printEnd();
}

struct ToolAction {
    QString kind;
    QString argument;
};

// Runs drive on the modal window once it is up.
void driveModal(int delayMs, std::function<void(QDialog*)> drive)
{
    QTimer::singleShot(delayMs, qApp, [drive = std::move(drive)] {
        if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
            drive(dialog);
    });
}

void clickButton(QDialog* dialog, const char* name)
{
    if (auto* button = dialog->findChild<QPushButton*>(QString::fromLatin1(name)))
        button->click();
}

void runPassage(app::Form1a& window, const QString& argument)
{
    const QString port = argument.section(QLatin1Char(':'), 0, 0);
    const QString option = argument.section(QLatin1Char(':'), 1, 1);
    driveModal(300, [port, option](QDialog* dialog) {
        if (auto* text2 = dialog->findChild<QLineEdit*>(QStringLiteral("Text2")))
            text2->setText(port);
        const QString radio = option == QLatin1String("1") ? QStringLiteral("Option1_1") : QStringLiteral("Option1_0");
        if (auto* button = dialog->findChild<QRadioButton*>(radio))
            button->setChecked(true);
        QTimer::singleShot(300, dialog, [dialog] {
            clickButton(dialog, "Command1");
            QTimer::singleShot(3000, dialog, [dialog] {
                const auto* form = qobject_cast<tools::Form1*>(dialog);
                printBlock("Form1", form ? form->logText() : QString());
                printEnd();
                dialog->reject();
            });
        });
    });
    window.OpenPassageTest();
}

void runDnsSrv(app::Form1a& window, const QString& name)
{
    driveModal(200, [name](QDialog* dialog) {
        if (auto* combo = dialog->findChild<QComboBox*>(QStringLiteral("Combo2")))
            combo->setEditText(name);
        clickButton(dialog, "Command1");
        const auto* form = qobject_cast<tools::Form3*>(dialog);
        printBlock("Form3", form ? form->listingText() : QString());
        printEnd();
        dialog->reject();
    });
    window.OpenDnsSrvWindow();
}

void runPing(app::Form1a& window, const QString& argument)
{
    const QString target = argument.section(QLatin1Char(':'), 0, 0);
    const int count = argument.section(QLatin1Char(':'), 1, 1).toInt();
    driveModal(200, [target, count](QDialog* dialog) {
        if (auto* combo = dialog->findChild<QComboBox*>(QStringLiteral("Combo1")))
            combo->setEditText(target);
        clickButton(dialog, "Command1");
        auto* poll = new QTimer(dialog);
        QObject::connect(poll, &QTimer::timeout, dialog, [dialog, count, poll] {
            if (labelText(*dialog, "Num").toInt() < count)
                return;
            poll->stop();
            const auto* form = qobject_cast<tools::Form4*>(dialog);
            printBlock("Form4", form ? form->logText() : QString());
            for (const char* name : {"Num", "Zadergka", "poter", "Dgit"})
                printBlock(name, labelText(*dialog, name));
            printEnd();
            dialog->reject();
        });
        poll->start(100);
    });
    window.OpenPingWindow();
}


QString groupTitle(const QWidget& window, const char* name)
{
    const auto* box = window.findChild<QGroupBox*>(QString::fromLatin1(name));
    return box ? box->title() : QString();
}

// The window's groups in the order they are laid out, read by object name.
QList<app::ShownGroup> shownGroups(const app::Form1a& window)
{
    app::ShownGroup nat{groupTitle(window, "Frame2"), {}, QString()};
    const std::pair<const char*, const char*> pairs[] = {
        {"Label1", "IPAdr"}, {"Label3", "NATType"}, {"Label5", "SIPsup"}, {"Label4", "UPnP"}, {"Label6", "STUN_Port"}};
    for (const auto& [caption, value] : pairs)
        nat.pairs.append({labelText(window, caption), labelText(window, value)});
    return {nat,
            {groupTitle(window, "Frame1"), {}, labelText(window, "IPs")},
            {groupTitle(window, "Frame6"), {}, labelText(window, "Ping")},
            {groupTitle(window, "Frame7"), {}, window.reportText()}};
}

app::RunReport collectReport(app::Form1a& window, const QStringList& messages)
{
    app::RunReport report;
    report.windowTitle = window.windowTitle();
    report.groups = shownGroups(window);
    app::RunFigures& f = report.figures;
    f.version = app::VersionText();
    f.state = window.state();
    f.interfaces = window.interfaceTable();
    f.pingTarget = window.endpoints().pingTarget;
    f.echoes = window.echoes();
    f.probeLocalPort = platform::ProbeLocalPort();
    f.natCaption = labelText(window, "NATType");
    f.externalCaption = labelText(window, "IPAdr");
    f.portCaption = labelText(window, "STUN_Port");
    f.sipCaption = labelText(window, "SIPsup");
    f.upnpCaption = labelText(window, "UPnP");
    // The report grades the line only once an external address is known.
    if (!f.state.InterfaceAddress.isEmpty() && !f.state.ExternalAddress.isEmpty())
        f.grade = app::GradeText(f.state.NatMode, f.state.AvgDelay, f.state.LostPackets, f.state.Jitter);
    f.report = window.reportText();
    f.messages = messages;
    // Measurements made after the automatic test append their
    // app::ExtraSection to report.extra here.
    return report;
}

enum class Format { Text, Json, Blocks };

void printExtendedBlocks(const app::ExtendedReport& report, const QString& screenshotPath)
{
    printBlock("Form5", report.text);
    printBlock("Form5JSON", QString::fromUtf8(QJsonDocument(report.figures).toJson(QJsonDocument::Compact)));
    if (!report.finished)
        printBlock("Form5TIMEOUT", QString());
    if (!screenshotPath.isEmpty())
        printBlock("SCREENSHOT", screenshotPath);
    printEnd();
}

void writeOut(const QByteArray& bytes)
{
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout);
    std::fflush(stdout);
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

}  // namespace

int main(int argc, char** argv)
{
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
        "Exit status: 0 when the test ran to its end, 2 when it did not end in time,\n"
        "3 when a signal ended it first, 64 for wrong options."));
    const QCommandLineOption json(QStringLiteral("json"), QStringLiteral("Print one JSON document with every figure."));
    const QCommandLineOption blocks(QStringLiteral("blocks"),
                                    QStringLiteral("Print the captions as ==NAME== blocks (for the lab)."));
    const QCommandLineOption restartWith(QStringLiteral("restart-with"),
                                         QStringLiteral("After the run, run COMMAND and test again."),
                                         QStringLiteral("COMMAND"));
    const QCommandLineOption screenshot(QStringLiteral("screenshot"),
                                        QStringLiteral("Save a picture of the window to PATH."), QStringLiteral("PATH"));
    const QCommandLineOption timeout(QStringLiteral("timeout"),
                                     QStringLiteral("Give up after SECONDS (default 180)."), QStringLiteral("SECONDS"),
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
                       "voice path, SIP servers by DNS (nat,ports,voice,dns)."),
        QStringLiteral("LIST"));
    parser.addOptions({json, blocks, restartWith, screenshot, timeout, passage, dnsSrv, ping, extended, extendedOnly,
                       extendedScreenshot, extendedPaths});
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    if (!parser.parse(application.arguments()))
        fail(parser.errorText() + QStringLiteral(" (try --help)"), 64);
    if (parser.isSet(help)) {
        writeOut(parser.helpText().toUtf8());
        return 0;
    }
    if (parser.isSet(version)) {
        writeOut(QStringLiteral("tarvolin-report (Tarvolin) %1\n").arg(app::VersionText()).toUtf8());
        return 0;
    }
    if (!parser.positionalArguments().isEmpty())
        fail(QStringLiteral("unexpected argument '%1' (try --help)").arg(parser.positionalArguments().first()), 64);
    if (parser.isSet(json) && parser.isSet(blocks))
        fail(QStringLiteral("--json and --blocks exclude each other"), 64);
    const bool runExtended = parser.isSet(extended) || parser.isSet(extendedOnly);
    app::ExtendedReportOptions extendedOptions;
    extendedOptions.screenshotPath = parser.value(extendedScreenshot);
    if (parser.isSet(extendedOnly)) {
        const auto chosen = app::ParseMeasurementList(parser.value(extendedOnly));
        if (!chosen || chosen->isEmpty())
            fail(QStringLiteral("--extended-only takes mapping, filtering, hairpin, rtp-pair, lifetime"), 64);
        extendedOptions.measurements = *chosen;
        extendedOptions.pathSections.clear();
    }
    if (parser.isSet(extendedPaths)) {
        bool ok = false;
        extendedOptions.pathSections = app::ParsePathSections(parser.value(extendedPaths), &ok);
        if (!ok)
            fail(QStringLiteral("--extended-paths takes nat, ports, voice, dns"), 64);
    }
    bool timeoutValid = false;
    const QString timeoutText = runExtended && !parser.isSet(timeout) ? QStringLiteral("600") : parser.value(timeout);
    const int timeoutSeconds = timeoutText.toInt(&timeoutValid);
    if (!timeoutValid || timeoutSeconds <= 0)
        fail(QStringLiteral("--timeout needs a positive number of seconds"), 64);
    const Format format = parser.isSet(json) ? Format::Json : parser.isSet(blocks) ? Format::Blocks : Format::Text;
    if (parser.isSet(extendedPaths) && !runExtended)
        return app::RunExtendedPathsBlocks(extendedOptions.pathSections, timeoutSeconds);
    const QString restartCommand = parser.value(restartWith);
    const QString screenshotPath = parser.value(screenshot);
    // The tool windows in the order given.
    QList<ToolAction> tools;
    const QStringList args = application.arguments();
    for (int i = 1; i + 1 < args.size(); ++i) {
        for (const char* kind : {"passage", "dns-srv", "ping"}) {
            const QString name = QString::fromLatin1(kind);
            if (args[i] == QStringLiteral("--") + name)
                tools.append({name, args[++i]});
            else if (args[i].startsWith(QStringLiteral("--") + name + QLatin1Char('=')))
                tools.append({name, args[i].section(QLatin1Char('='), 1)});
        }
    }

    app::QuitOnTerminationSignals();
    QStringList messages;
    platform::SetMessageHandler([&messages, format](const platform::UserMessage& message) {
        if (format == Format::Blocks) {
            printBlock("MESSAGE", message.text);
            std::fflush(stdout);
        }
        messages.append(message.text);
    });

    std::unique_ptr<app::Form1a> window = app::StartMainWindow();
    int runsLeft = restartCommand.isEmpty() ? 1 : 2;
    bool completed = false;
    QObject::connect(window.get(), &app::Form1a::testRunFinished, &application, [&] {
        if (format == Format::Blocks)
            printWindow(*window);
        if (--runsLeft > 0) {
            QProcess::execute(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), restartCommand});
            messages.clear();
            window->RestartTest();
            return;
        }
        // With the extended test the report is written once that test is over.
        if (format != Format::Blocks && !runExtended) {
            const app::RunReport report = collectReport(*window, messages);
            writeOut(format == Format::Json ? app::ReportAsJson(report) : app::ReportAsText(report));
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
                if (tool.kind == QLatin1String("passage"))
                    runPassage(*window, tool.argument);
                else if (tool.kind == QLatin1String("dns-srv"))
                    runDnsSrv(*window, tool.argument);
                else if (tool.kind == QLatin1String("ping"))
                    runPing(*window, tool.argument);
            }
            if (runExtended) {
                const QStringList automaticMessages = messages;
                const app::ExtendedReport extendedReport = app::RunExtendedReport(*window, extendedOptions);
                if (format == Format::Blocks) {
                    printExtendedBlocks(extendedReport, extendedOptions.screenshotPath);
                } else {
                    app::RunReport report = collectReport(*window, automaticMessages);
                    report.extra << app::ExtendedSection(extendedReport);
                    writeOut(format == Format::Json ? app::ReportAsJson(report) : app::ReportAsText(report));
                }
                completed = true;
            }
            application.exit(0);
        });
    });
    QTimer::singleShot(timeoutSeconds * 1000, &application, [&] {
        std::fprintf(stderr, "tarvolin-report: the test run did not finish in %d s\n", timeoutSeconds);
        application.exit(2);
    });
    int result = application.exec();
    if (result == 0 && !completed) {
        // Ended by a termination signal before the run was over.
        std::fprintf(stderr, "tarvolin-report: interrupted before the test run finished\n");
        result = 3;
    }
    window.reset();
    app::RemovePrivateTempDir();
    return result;
}
