// SPDX-License-Identifier: Apache-2.0
#include "app/main_window.h"
#include "app/termination_signals.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    QGuiApplication::setDesktopFileName(QStringLiteral("example.tarvolin.Tarvolin"));
    app::QuitOnTerminationSignals();
    std::unique_ptr<app::Form1a> window = app::StartMainWindow();
    const int result = application.exec();
    window.reset();
    app::RemovePrivateTempDir();
    return result;
}
