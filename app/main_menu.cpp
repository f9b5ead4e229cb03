// SPDX-License-Identifier: Apache-2.0
// The "Меню" pop-up of the main window and the small actions behind it.
#include "app/extended_report.h"
#include "app/main_window.h"
#include "app/startup_survey.h"
#include "platform/socket_set.h"
#include "platform/user_message.h"
#include "tools/dns_srv_window.h"
#include "tools/extended_nat_window.h"
#include "tools/passage_window.h"
#include "tools/ping_window.h"
#include "tools/stun_survey_window.h"

#include <QDesktopServices>
#include <optional>
#include <QDialog>
#include <QEvent>
#include <QFontDatabase>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QUrl>
#include <QVBoxLayout>
#include <unistd.h>
#include <QCoreApplication>

namespace app {

namespace {

QAction* addItem(QMenu* menu, const char* name, const QString& caption)
{
    QAction* action = menu->addAction(caption);
    action->setObjectName(QString::fromLatin1(name));
    return action;
}

void addSeparator(QMenu* menu, const char* name)
{
    QAction* separator = menu->addSeparator();
    separator->setObjectName(QString::fromLatin1(name));
}

// Lines of the About box.
QString AboutText()
{
    const QStringList lines = {
        WindowCaption(),
        QString(),
        QStringLiteral("______________________________________"),
        QCoreApplication::translate("MainMenu", "Благодарности:"),
        QCoreApplication::translate("MainMenu", "авторам стандартов SIP и STUN из рабочих групп IETF,"),
        QCoreApplication::translate("MainMenu", "разработчикам библиотеки Qt,"),
        QCoreApplication::translate("MainMenu", "разработчикам сетевой подсистемы ядра Linux и iproute2,"),
        QCoreApplication::translate("MainMenu", "а также многочисленным партнерам,"),
        QCoreApplication::translate("MainMenu", "которые используют данную программу."),
    };
    return lines.join(QStringLiteral("\r\n"));
}

}  // namespace

void Form1a::buildMenu()
{
    mnuText_ = new QMenu(QStringLiteral("Menu"), this);
    mnuText_->setObjectName(QStringLiteral("mnuText"));
    connect(addItem(mnuText_, "NewTest", QCoreApplication::translate("MainMenu", "Повторить тест")), &QAction::triggered, this,
            &Form1a::RestartTest);
    addSeparator(mnuText_, "www");
    connect(addItem(mnuText_, "ForvardPorts", QCoreApplication::translate("MainMenu", "Проверка проброса портов")), &QAction::triggered,
            this, &Form1a::OpenPassageTest);
    connect(addItem(mnuText_, "STUNTest", QCoreApplication::translate("MainMenu", "Тест STUN серверов")), &QAction::triggered, this,
            &Form1a::OpenStunSurvey);
    connect(addItem(mnuText_, "DNSSRV", QCoreApplication::translate("MainMenu", "Тест поддержки DNS SRV")), &QAction::triggered, this,
            &Form1a::OpenDnsSrvWindow);
    connect(addItem(mnuText_, "Pingtest", QCoreApplication::translate("MainMenu", "Пинг-тест")), &QAction::triggered, this,
            &Form1a::OpenPingWindow);
    connect(addItem(mnuText_, "ExtNatTest", QCoreApplication::translate("MainMenu", "Расширенный тест NAT")), &QAction::triggered, this,
            &Form1a::OpenExtendedNatTest);
    // Available once the automatic test has ended; Ctrl+S works on the window too.
    saveReport_ = addItem(mnuText_, "SaveReport", QCoreApplication::translate("MainMenu", "&Сохранить отчёт…"));
    saveReport_->setShortcut(QKeySequence::Save);
    saveReport_->setEnabled(runStep_ == RunStep::Finished);
    addAction(saveReport_);
    connect(saveReport_, &QAction::triggered, this, &Form1a::SaveReportDialog);
    copyReport_ = addItem(mnuText_, "CopyReport", QCoreApplication::translate("MainMenu", "&Копировать отчёт"));
    copyReport_->setEnabled(runStep_ == RunStep::Finished);
    connect(copyReport_, &QAction::triggered, this, &Form1a::copyReport);

    QMenu* links = mnuText_->addMenu(QCoreApplication::translate("MainMenu", "Полезные ссылки"));
    links->setObjectName(QStringLiteral("Links"));
    links->menuAction()->setObjectName(QStringLiteral("Links"));
    const char* speedNames[] = {"speedtest1", "speedtest2", "Speedtest3"};
    for (int i = 0; i < 3; ++i) {
        QAction* item = addItem(links, speedNames[i], QCoreApplication::translate("MainMenu", "Проверка скорости Интернета %1").arg(i + 1));
        const QString page = deps_.pages.speedTests.value(i);
        connect(item, &QAction::triggered, this, [this, page] { openPage(page); });
    }
    connect(addItem(links, "ExtIP", QCoreApplication::translate("MainMenu", "Показать внешний IP адрес")), &QAction::triggered, this,
            [this] { openPage(deps_.pages.externalAddress); });

    connect(addItem(mnuText_, "Voewipconfig", QCoreApplication::translate("MainMenu", "Показать сетевые интерфейсы")), &QAction::triggered,
            this, &Form1a::showInterfaceListing);
    addSeparator(mnuText_, "rrrr");
    connect(addItem(mnuText_, "Abaut", QCoreApplication::translate("MainMenu", "О программе")), &QAction::triggered, this,
            &Form1a::showAbout);
    addSeparator(mnuText_, "rrrr22");
    connect(addItem(mnuText_, "Exit", QCoreApplication::translate("MainMenu", "Выход")), &QAction::triggered, this,
            [this] { exitProgram(); });

    connect(Command5_, &QPushButton::clicked, this, [this] {
        // The menu opens above the button: its top edge 3050 twips above the button's top edge.
        const int lift = 3050 * logicalDpiY() / 1440;
        mnuText_->popup(Command5_->mapToGlobal(QPoint(0, -lift)));
    });
}

bool Form1a::eventFilter(QObject* watched, QEvent* event)
{
    // A click opens the maker's page; a double click is two clicks (two releases).
    if (watched == static_cast<QObject*>(Image1_) && event->type() == QEvent::MouseButtonRelease) {
        openPage(deps_.pages.maker);
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void Form1a::OpenPassageTest()
{
    {
        tools::Form1 window(deps_.endpoints, this);
        window.setExternalAddress(state_.ExternalAddress);
        platform::CloseSockets();
        window.exec();
    }
    openSockets();
}

void Form1a::OpenStunSurvey()
{
    platform::CloseSockets();
    platform::SetProbeLocalPort(0);
    {
        std::unique_ptr<tools::Form2> window =
            deps_.surveyServers.isEmpty()
                ? std::make_unique<tools::Form2>(deps_.endpoints, this)
                : std::make_unique<tools::Form2>(deps_.endpoints, deps_.surveyServers, this);
        window->exec();
    }
    openSockets();
}

void Form1a::OpenDnsSrvWindow()
{
    tools::Form3 window(deps_.endpoints, this);
    window.exec();
}

void Form1a::OpenPingWindow()
{
    tools::Form4 window(deps_.endpoints, this);
    window.exec();
}

// Uses sockets of its own. The main window's set is closed while it is open:
// its SIP section sends from local port 5060, which the set holds.
void Form1a::OpenExtendedNatTest()
{
    platform::CloseSockets();
    tools::Form5 window(deps_.endpoints, this);
    // What it found stays for the saved report, until the next time it runs;
    // taken when the test ends, before closing the window stops it.
    std::optional<ExtendedReport> found;
    connect(&window, &tools::Form5::testFinished, this,
            [&found, &window] { found = ExtendedReport{true, window.resultText(), window.figures()}; });
    window.exec();
    if (!found && !window.resultText().isEmpty())
        found = ExtendedReport{false, window.resultText(), window.figures()};
    if (found)
        setLastExtendedFindings(*found);
    // The window is closed: its run has let go of port 5060.
    openSockets();
}

void Form1a::setLastExtendedFindings(const ExtendedReport& findings)
{
    lastExtended_ = std::make_shared<const ExtendedReport>(findings);
}

void Form1a::openPage(const QString& url)
{
    QDesktopServices::openUrl(QUrl(url));
}

void Form1a::showInterfaceListing()
{
    // A terminal that runs the listing and stays open, as a console would.
    const QString script = QStringLiteral("ip address; exec \"${SHELL:-/bin/sh}\"");
    const QStringList terminals = {QStringLiteral("x-terminal-emulator"), QStringLiteral("gnome-terminal"),
                                   QStringLiteral("konsole"),            QStringLiteral("xfce4-terminal"),
                                   QStringLiteral("mate-terminal"),      QStringLiteral("lxterminal"),
                                   QStringLiteral("xterm")};
    for (const QString& terminal : terminals) {
        if (QStandardPaths::findExecutable(terminal).isEmpty())
            continue;
        QStringList args;
        if (terminal == QLatin1String("gnome-terminal"))
            args << QStringLiteral("--") << QStringLiteral("sh") << QStringLiteral("-c") << script;
        else
            args << QStringLiteral("-e") << QStringLiteral("sh") << QStringLiteral("-c") << script;
        if (QProcess::startDetached(terminal, args))
            return;
    }

    // No terminal on this desktop: show the same listing in a window of our own.
    QProcess ip;
    ip.start(QStringLiteral("ip"), {QStringLiteral("address")});
    ip.waitForFinished(5000);
    QString listing = QString::fromLocal8Bit(ip.readAllStandardOutput());
    if (listing.isEmpty())
        listing = QString::fromLocal8Bit(ip.readAllStandardError());

    QDialog dialog(this);
    dialog.setObjectName(QStringLiteral("InterfaceListing"));
    dialog.setWindowTitle(QCoreApplication::translate("MainMenu", "Показать сетевые интерфейсы"));
    auto* layout = new QVBoxLayout(&dialog);
    auto* text = new QPlainTextEdit(listing, &dialog);
    text->setReadOnly(true);
    text->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    text->setLineWrapMode(QPlainTextEdit::NoWrap);
    layout->addWidget(text);
    auto* close = new QPushButton(QCoreApplication::translate("MainMenu", "Закрыть"), &dialog);
    connect(close, &QPushButton::clicked, &dialog, &QDialog::accept);
    layout->addWidget(close, 0, Qt::AlignRight);
    dialog.resize(760, 480);
    dialog.exec();
}

void Form1a::showAbout()
{
    platform::ShowMessage(AboutText(), QCoreApplication::translate("MainMenu", "О программе"), platform::MessageIcon::Information);
}

void Form1a::exitProgram()
{
    // Ends the process at once; only the private temporary directory is removed.
    stopCapture();
    RemovePrivateTempDir();
    ::_exit(0);
}

}  // namespace app
