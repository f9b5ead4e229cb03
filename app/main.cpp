// SPDX-License-Identifier: Apache-2.0
#include "app/command_line.h"
#include "app/main_window.h"
#include "app/termination_signals.h"
#include "app/translation.h"

#include <QApplication>
#include <QLocale>
#include <cstdio>

int main(int argc, char** argv)
{
    // --help, --version and wrong options are answered before anything needs a display.
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const app::ProgramCommand command = app::ParseProgramArguments(arguments);
    switch (command.action) {
    case app::ProgramCommand::Help:
    case app::ProgramCommand::Version: {
        const QByteArray text = (command.action == app::ProgramCommand::Help ? app::ProgramHelpText()
                                                                             : app::VersionBlurb(QStringLiteral("tarvolin")))
                                    .toLocal8Bit();
        if (std::fwrite(text.constData(), 1, size_t(text.size()), stdout) != size_t(text.size()) ||
            std::fflush(stdout) != 0) {
            std::perror("tarvolin: write error");
            return 1;
        }
        return 0;
    }
    case app::ProgramCommand::UsageError:
        std::fprintf(stderr, "tarvolin: %s\n", command.message.toLocal8Bit().constData());
        return app::kUsageStatus;
    case app::ProgramCommand::Run:
        break;
    }

    QApplication application(argc, argv);
    // English when the user's languages put English ahead of Russian.
    app::InstallTranslation(app::LanguageOfUiLanguages(QLocale::system().uiLanguages()));
    QGuiApplication::setDesktopFileName(QStringLiteral("example.tarvolin.Tarvolin"));
    app::QuitOnTerminationSignals();
    std::unique_ptr<app::Form1a> window = app::StartMainWindow();
    const int result = application.exec();
    window.reset();
    app::RemovePrivateTempDir();
    return result;
}
