#include "app/main_window.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    std::unique_ptr<app::Form1a> window = app::StartMainWindow();
    const int result = application.exec();
    window.reset();
    app::RemovePrivateTempDir();
    return result;
}
