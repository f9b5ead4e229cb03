// SPDX-License-Identifier: Apache-2.0
#include "app/report_tools.h"

#include "app/main_window.h"
#include "tools/dns_srv_window.h"
#include "tools/passage_window.h"
#include "tools/ping_window.h"

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <cstdio>
#include <functional>

namespace app {

namespace {

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

}  // namespace

void PrintBlock(const char* name, const QString& text)
{
    std::printf("==%s==\n%s\n", name, text.toUtf8().constData());
}

void PrintEnd()
{
    std::printf("==END==\n");
    std::fflush(stdout);
}

QString LabelText(const QWidget& window, const char* name)
{
    const auto* l = window.findChild<QLabel*>(QString::fromLatin1(name));
    return l ? l->text() : QString();
}

void PrintWindowBlocks(const Form1a& window)
{
    for (const char* name : {"IPAdr", "NATType", "SIPsup", "UPnP", "STUN_Port", "IPs", "Ping"})
        PrintBlock(name, LabelText(window, name));
    PrintBlock("Label2", window.reportText());
    PrintEnd();
}

void RunPassageBlock(Form1a& window, const QString& argument)
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
                PrintBlock("Form1", form ? form->logText() : QString());
                PrintEnd();
                dialog->reject();
            });
        });
    });
    window.OpenPassageTest();
}

void RunDnsSrvBlock(Form1a& window, const QString& name)
{
    driveModal(200, [name](QDialog* dialog) {
        if (auto* combo = dialog->findChild<QComboBox*>(QStringLiteral("Combo2")))
            combo->setEditText(name);
        clickButton(dialog, "Command1");
        const auto* form = qobject_cast<tools::Form3*>(dialog);
        PrintBlock("Form3", form ? form->listingText() : QString());
        PrintEnd();
        dialog->reject();
    });
    window.OpenDnsSrvWindow();
}

void RunPingBlock(Form1a& window, const QString& argument)
{
    const QString target = argument.section(QLatin1Char(':'), 0, 0);
    const int count = argument.section(QLatin1Char(':'), 1, 1).toInt();
    driveModal(200, [target, count](QDialog* dialog) {
        if (auto* combo = dialog->findChild<QComboBox*>(QStringLiteral("Combo1")))
            combo->setEditText(target);
        clickButton(dialog, "Command1");
        auto* poll = new QTimer(dialog);
        QObject::connect(poll, &QTimer::timeout, dialog, [dialog, count, poll] {
            if (LabelText(*dialog, "Num").toInt() < count)
                return;
            poll->stop();
            const auto* form = qobject_cast<tools::Form4*>(dialog);
            PrintBlock("Form4", form ? form->logText() : QString());
            for (const char* name : {"Num", "Zadergka", "poter", "Dgit"})
                PrintBlock(name, LabelText(*dialog, name));
            PrintEnd();
            dialog->reject();
        });
        poll->start(100);
    });
    window.OpenPingWindow();
}


}  // namespace app
