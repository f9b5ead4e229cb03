// SPDX-License-Identifier: Apache-2.0
// The "Меню" pop-up: its items, the About box, and the socket hand-over to
// the packet passage and STUN survey windows.
#include "app/main_window.h"
#include "platform/socket_set.h"
#include "platform/user_message.h"
#include "support/fake_stun_server.h"

#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QMenu>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>

using testsupport::FakeStunServer;

namespace {

platform::InterfaceTable lanTable()
{
    platform::InterfaceEntry lan;
    lan.Address = QStringLiteral("192.168.1.10");
    lan.Mask = QStringLiteral("255.255.255.0");
    return {lan};
}

QStringList describe(const QMenu* menu)
{
    QStringList items;
    for (const QAction* action : menu->actions()) {
        QString item = action->objectName() + QLatin1Char('=') + (action->isSeparator() ? QStringLiteral("-")
                                                                                         : action->text());
        if (action->menu())
            item += QStringLiteral(" {") + describe(action->menu()).join(QStringLiteral("; ")) + QLatin1Char('}');
        items << item;
    }
    return items;
}

QAction* findAction(const QMenu* menu, const QString& name)
{
    for (QAction* action : menu->findChildren<QAction*>(name))
        return action;
    for (QAction* action : menu->actions()) {
        if (action->objectName() == name)
            return action;
        if (action->menu())
            if (QAction* inner = findAction(action->menu(), name))
                return inner;
    }
    return nullptr;
}

}  // namespace

class TestMainMenu : public QObject {
    Q_OBJECT

    FakeStunServer stun_;
    QList<platform::UserMessage> messages_;

    app::MainWindowDependencies deps()
    {
        app::MainWindowDependencies d;
        auto& e = d.endpoints;
        e.mainServer = QStringLiteral("127.0.0.2");
        e.secondServer = QStringLiteral("127.0.0.2");
        e.passageServer = QStringLiteral("127.0.0.2");
        e.pingTarget = QStringLiteral("127.0.0.1");
        e.domain = QStringLiteral("127.0.0.53");
        e.networkPrefix = QStringLiteral("127.0.0");
        e.stunPort = stun_.port();
        e.sipPort = 9;  // nothing listens
        e.ssdpPort = 9;
        e.ssdpGroup.clear();
        d.listInterfaces = lanTable;
        // The survey polls the local STUN server only.
        tools::SurveyServer local;
        local.ServerAddress = QStringLiteral("127.0.0.2");
        local.ServerPort = stun_.port();
        d.surveyServers = {local};
        return d;
    }

    // Closes the next modal tool window once it has had time to open its sockets.
    // Returns what was seen while it was open.
    struct SeenInTool {
        QString className;
        bool socketsOpen = false;
        int fixedPort = -1;
        QString externalAddress;
    };
    static void closeModalLater(SeenInTool* seen)
    {
        QTimer::singleShot(400, qApp, [seen] {
            QWidget* modal = QApplication::activeModalWidget();
            if (!modal)
                return;
            seen->className = QString::fromLatin1(modal->metaObject()->className());
            seen->socketsOpen = platform::SocketsOpen();
            seen->fixedPort = platform::FixedLocalPort();
            if (auto* text1 = modal->findChild<QLineEdit*>(QStringLiteral("Text1")))
                seen->externalAddress = text1->text();
            if (auto* dialog = qobject_cast<QDialog*>(modal))
                dialog->reject();
        });
    }

private slots:
    void initTestCase()
    {
        QVERIFY(stun_.start());
        stun_.setMappedAddress(QStringLiteral("198.51.100.7"), 3333);
        platform::SetMessageHandler([this](const platform::UserMessage& m) { messages_ << m; });
    }
    void cleanupTestCase() { platform::SetMessageHandler({}); }

    void itemsInOrder()
    {
        app::Form1a window(deps());
        QCOMPARE(window.menu()->objectName(), QStringLiteral("mnuText"));
        QCOMPARE(window.menu()->title(), QStringLiteral("Menu"));
        const QStringList expected = {
            QStringLiteral("NewTest=Повторить тест"),
            QStringLiteral("www=-"),
            QStringLiteral("ForvardPorts=Проверка проброса портов"),
            QStringLiteral("STUNTest=Тест STUN серверов"),
            QStringLiteral("DNSSRV=Тест поддержки DNS SRV"),
            QStringLiteral("Pingtest=Пинг-тест"),
            QStringLiteral("ExtNatTest=Расширенный тест NAT"),
            QStringLiteral("SaveReport=&Сохранить отчёт…"),
            QStringLiteral("CopyReport=&Копировать отчёт"),
            QStringLiteral("Links=Полезные ссылки {speedtest1=Проверка скорости Интернета 1; "
                           "speedtest2=Проверка скорости Интернета 2; Speedtest3=Проверка скорости Интернета 3; "
                           "ExtIP=Показать внешний IP адрес}"),
            QStringLiteral("Voewipconfig=Показать сетевые интерфейсы"),
            QStringLiteral("rrrr=-"),
            QStringLiteral("Abaut=О программе"),
            QStringLiteral("rrrr22=-"),
            QStringLiteral("Exit=Выход"),
        };
        QCOMPARE(describe(window.menu()), expected);
    }

    void aboutBox()
    {
        app::Form1a window(deps());
        messages_.clear();
        QAction* about = findAction(window.menu(), QStringLiteral("Abaut"));
        QVERIFY(about);
        about->trigger();
        QCOMPARE(messages_.size(), 1);
        const platform::UserMessage& m = messages_.first();
        QCOMPARE(m.title, QStringLiteral("О программе"));
        QCOMPARE(m.icon, platform::MessageIcon::Information);
        const QStringList lines = m.text.split(QStringLiteral("\r\n"));
        QCOMPARE(lines.size(), 9);
        QCOMPARE(lines[0], QStringLiteral("Tarvolin  v.1.1.61"));
        QCOMPARE(lines[2], QString(38, QLatin1Char('_')));
        QCOMPARE(lines[3], QStringLiteral("Благодарности:"));
        for (int i = 4; i <= 6; ++i)
            QVERIFY2(lines[i].size() > 10 && lines[i].endsWith(QLatin1Char(',')), qPrintable(lines[i]));
        QCOMPARE(lines[7], QStringLiteral("а также многочисленным партнерам,"));
        QCOMPARE(lines[8], QStringLiteral("которые используют данную программу."));
    }

    void toolWindowsHandSocketsBack_data()
    {
        QTest::addColumn<QString>("item");
        QTest::addColumn<QString>("toolClass");
        QTest::newRow("packet passage") << "ForvardPorts" << "tools::Form1";
        QTest::newRow("STUN survey") << "STUNTest" << "tools::Form2";
    }
    void toolWindowsHandSocketsBack()
    {
        QFETCH(QString, item);
        QFETCH(QString, toolClass);
        app::Form1a window(deps());
        window.Form_Load();
        QSignalSpy finished(&window, &app::Form1a::testRunFinished);
        QVERIFY(finished.wait(40000));
        QCOMPARE(window.state().ExternalAddress, QStringLiteral("198.51.100.7"));

        SeenInTool seen;
        closeModalLater(&seen);
        findAction(window.menu(), item)->trigger();
        QCOMPARE(seen.className, toolClass);
        QVERIFY(seen.socketsOpen);
        QCOMPARE(seen.fixedPort, 5060);
        if (item == QLatin1String("ForvardPorts"))
            QCOMPARE(seen.externalAddress, QStringLiteral("198.51.100.7"));

        // The main window's set is open again on 5060 and a repeated test runs through it.
        QVERIFY(platform::SocketsOpen());
        QCOMPARE(platform::FixedLocalPort(), 5060);
        QVERIFY(platform::ProbeLocalPort() > 0);
        stun_.setMappedAddress(QStringLiteral("198.51.100.8"), 3334);
        findAction(window.menu(), QStringLiteral("NewTest"))->trigger();
        QVERIFY(finished.wait(40000));
        QCOMPARE(window.state().ExternalAddress, QStringLiteral("198.51.100.8"));
        QVERIFY(window.reportText().startsWith(QStringLiteral("Внешний адрес NATа: 198.51.100.8 (")));
        stun_.setMappedAddress(QStringLiteral("198.51.100.7"), 3333);
    }

    // The extended NAT test's SIP section sends from port 5060: the main
    // window's set is closed while it is shown and open again on 5060 after.
    void extendedTestFreesPort5060()
    {
        app::Form1a window(deps());
        window.Form_Load();
        SeenInTool seen;
        closeModalLater(&seen);
        findAction(window.menu(), QStringLiteral("ExtNatTest"))->trigger();
        QCOMPARE(seen.className, QStringLiteral("tools::Form5"));
        QVERIFY(!seen.socketsOpen);
        QVERIFY(platform::SocketsOpen());
        QCOMPARE(platform::FixedLocalPort(), 5060);
    }

    void passageWindowWithoutExternalAddress()
    {
        app::Form1a window(deps());
        SeenInTool seen;
        seen.externalAddress = QStringLiteral("unset");
        closeModalLater(&seen);
        window.OpenPassageTest();
        QCOMPARE(seen.className, QStringLiteral("tools::Form1"));
        QCOMPARE(seen.externalAddress, QString());
    }
};

QTEST_MAIN(TestMainMenu)
#include "test_main_menu.moc"
