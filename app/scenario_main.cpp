// Runs the main window exactly as the program starts it, waits for the
// automatic test to finish and prints what the window shows. Used by the
// network lab and by the run script on machines without a display.
//
//   tarvolin-scenario [--restart-with COMMAND] [--screenshot PATH] [--timeout SECONDS]
//                     [--passage PORT:OPTION] [--dns-srv NAME] [--ping TARGET:COUNT]
//
// After the run (and the restarted run), each tool option opens that window
// from the menu the way a user would, drives it and prints its text:
//   --passage  packet passage window: port PORT, option 0 (any port) or 1
//              (from PORT), one press of "Отправить запрос", log after 3 s
//   --dns-srv  DNS SRV window: query NAME, print the listing
//   --ping     ping window: ping TARGET until COUNT requests are logged
//
//   tarvolin-scenario --extended-paths nat,ports,voice,dns [--timeout SECONDS]
// runs only those sections of the extended path test (no main window) and
// prints one ==ExtNat==, ==ExtPorts==, ==ExtVoice==, ==ExtDns== block each.
// With --extended or --extended-only it picks the path sections that follow
// the NAT measurements in the window instead (--extended: all of them,
// --extended-only: none unless named).
//
// Message boxes are printed as "==MESSAGE==" blocks instead of blocking.
#include "app/extended_paths_report.h"
#include "app/extended_report.h"
#include "app/main_window.h"
#include "app/termination_signals.h"
#include "platform/user_message.h"
#include "tools/dns_srv_window.h"
#include "tools/passage_window.h"
#include "tools/ping_window.h"

#include <QApplication>
#include <QComboBox>
#include <QJsonDocument>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <cstdio>
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

void runExtended(app::Form1a& window, const app::ExtendedReportOptions& options)
{
    const app::ExtendedReport report = app::RunExtendedReport(window, options);
    printBlock("Form5", report.text);
    printBlock("Form5JSON", QString::fromUtf8(QJsonDocument(report.figures).toJson(QJsonDocument::Compact)));
    if (!report.finished)
        printBlock("Form5TIMEOUT", QString());
    if (!options.screenshotPath.isEmpty())
        printBlock("SCREENSHOT", options.screenshotPath);
    printEnd();
}

}  // namespace

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    app::QuitOnTerminationSignals();
    QString restartCommand;
    QString screenshotPath;
    int timeoutSeconds = 180;
    QList<ToolAction> tools;
    bool extended = false;
    app::ExtendedReportOptions extendedOptions;
    const QStringList args = application.arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--extended")) {
            extended = true;
            continue;
        }
        if (i + 1 >= args.size())
            break;
        if (args[i] == QLatin1String("--extended-only")) {
            extended = true;
            const auto chosen = app::ParseMeasurementList(args[++i]);
            if (!chosen) {
                std::fprintf(stderr, "tarvolin-scenario: unknown measurement in %s\n", qPrintable(args[i]));
                return 2;
            }
            extendedOptions.measurements = *chosen;
            extendedOptions.pathSections.clear();
        } else if (args[i] == QLatin1String("--extended-screenshot"))
            extendedOptions.screenshotPath = args[++i];
        else if (args[i] == QLatin1String("--restart-with"))
            restartCommand = args[++i];
        else if (args[i] == QLatin1String("--screenshot"))
            screenshotPath = args[++i];
        else if (args[i] == QLatin1String("--timeout"))
            timeoutSeconds = args[++i].toInt();
        else if (args[i] == QLatin1String("--passage") || args[i] == QLatin1String("--dns-srv")
                 || args[i] == QLatin1String("--ping"))
            tools.append({args[i].mid(2), args[i + 1]}), ++i;
    }

    const int pathsAt = int(args.indexOf(QStringLiteral("--extended-paths")));
    if (pathsAt > 0 && pathsAt + 1 < args.size()) {
        bool ok = false;
        const auto sections = app::ParsePathSections(args[pathsAt + 1], &ok);
        if (!ok) {
            std::fprintf(stderr, "tarvolin-scenario: --extended-paths takes nat,ports,voice,dns\n");
            return 2;
        }
        if (!extended)
            return app::RunExtendedPathsBlocks(sections, timeoutSeconds);
        extendedOptions.pathSections = sections;
    }

    platform::SetMessageHandler([](const platform::UserMessage& message) {
        printBlock("MESSAGE", message.text);
        std::fflush(stdout);
    });

    std::unique_ptr<app::Form1a> window = app::StartMainWindow();
    int runsLeft = restartCommand.isEmpty() ? 1 : 2;
    QObject::connect(window.get(), &app::Form1a::testRunFinished, &application, [&] {
        printWindow(*window);
        if (--runsLeft > 0) {
            QProcess::execute(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), restartCommand});
            window->RestartTest();
            return;
        }
        if (!screenshotPath.isEmpty()) {
            QCoreApplication::processEvents();  // pending layout updates of the new captions
            window->repaint();
            if (window->grab().save(screenshotPath))
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
            if (extended)
                runExtended(*window, extendedOptions);
            application.exit(0);
        });
    });
    QTimer::singleShot(timeoutSeconds * 1000, &application, [&] {
        std::fprintf(stderr, "tarvolin-scenario: the test run did not finish in %d s\n", timeoutSeconds);
        application.exit(2);
    });
    const int result = application.exec();
    window.reset();
    app::RemovePrivateTempDir();
    return result;
}
