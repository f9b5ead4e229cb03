// SPDX-License-Identifier: Apache-2.0
// A bare Qt Widgets window of about the main window's size: the reference the
// lab compares the program's first paint with.
#include <QApplication>
#include <QLabel>

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    QLabel window(QStringLiteral("Tarvolin"));
    window.resize(1120, 780);
    window.show();
    return application.exec();
}
