// Runs the main window exactly as the program starts it, waits for the
// automatic test to finish and prints what the window shows. Used by the
// network lab and by the run script on machines without a display.
//
//   tarvolin-scenario [--restart-with COMMAND] [--screenshot PATH] [--timeout SECONDS]
//
// Message boxes are printed as "==MESSAGE==" blocks instead of blocking.
#include "app/main_window.h"
#include "app/termination_signals.h"
#include "platform/user_message.h"

#include <QApplication>
#include <QLabel>
#include <QProcess>
#include <QTimer>
#include <cstdio>

namespace {

void printBlock(const char* name, const QString& text)
{
    std::printf("==%s==\n%s\n", name, text.toUtf8().constData());
}

void printWindow(const app::Form1a& window)
{
    auto label = [&](const char* name) {
        const auto* l = window.findChild<QLabel*>(QString::fromLatin1(name));
        return l ? l->text() : QString();
    };
    printBlock("IPAdr", label("IPAdr"));
    printBlock("NATType", label("NATType"));
    printBlock("SIPsup", label("SIPsup"));
    printBlock("UPnP", label("UPnP"));
    printBlock("STUN_Port", label("STUN_Port"));
    printBlock("IPs", label("IPs"));
    printBlock("Ping", label("Ping"));
    printBlock("Label2", window.reportText());
    std::printf("==END==\n");
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    app::QuitOnTerminationSignals();
    QString restartCommand;
    QString screenshotPath;
    int timeoutSeconds = 180;
    const QStringList args = application.arguments();
    for (int i = 1; i + 1 < args.size(); ++i) {
        if (args[i] == QLatin1String("--restart-with"))
            restartCommand = args[++i];
        else if (args[i] == QLatin1String("--screenshot"))
            screenshotPath = args[++i];
        else if (args[i] == QLatin1String("--timeout"))
            timeoutSeconds = args[++i].toInt();
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
        application.exit(0);
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
