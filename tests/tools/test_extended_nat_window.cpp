// SPDX-License-Identifier: Apache-2.0
// The extended NAT test window on real sockets against a loopback RFC 5780
// server: a whole run, stopping, and no socket left open afterwards.
#include "platform/dns_query.h"
#include "platform/window_service.h"
#include "support/fake_dns_server.h"
#include "support/rfc5780_server.h"
#include "tools/extended_nat_window.h"

#include <QDir>
#include <QJsonArray>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTreeWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

namespace {

void Click(QWidget* widget)
{
    const QPointF at(2, 2);
    for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease})
        QCoreApplication::postEvent(widget, new QMouseEvent(type, at, widget->mapToGlobal(at), Qt::LeftButton,
                                                            type == QEvent::MouseButtonPress ? Qt::LeftButton
                                                                                             : Qt::NoButton,
                                                            Qt::NoModifier));
}

int openDescriptors()
{
    return static_cast<int>(QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::NoDotAndDotDot | QDir::System).size());
}

}  // namespace

class TestExtendedNatWindow : public QObject {
    Q_OBJECT

    testsupport::Rfc5780Server server_;

    std::unique_ptr<tools::Form5> makeWindow()
    {
        probes::ProviderEndpoints endpoints;
        endpoints.mainServer = QStringLiteral("127.0.0.2");
        endpoints.stunPort = static_cast<uint16_t>(server_.primaryPort());
        auto window = std::make_unique<tools::Form5>(endpoints);
        // Datagrams to 127.0.0.2 leave from 127.0.0.1.
        window->setLocalAddresses({QStringLiteral("127.0.0.1")});
        window->setLifetimeSearch(probes::LifetimeSearch{1, 2});
        // The path sections that follow have tests of their own.
        window->setPathSections({});
        return window;
    }

private slots:
    void initTestCase() { QVERIFY(server_.start()); }

    void fullRun()
    {
        const int descriptors = openDescriptors();
        auto window = makeWindow();
        QCOMPARE(window->windowTitle(), QStringLiteral("Расширенный тест NAT"));
        auto* start = window->findChild<QPushButton*>(QStringLiteral("Command1"));
        auto* stop = window->findChild<QPushButton*>(QStringLiteral("Command2"));
        QCOMPARE(start->text(), QStringLiteral("Начать тест"));
        QCOMPARE(stop->text(), QStringLiteral("Остановить"));
        QCOMPARE(window->findChild<QPushButton*>(QStringLiteral("Command3"))->text(), QStringLiteral("Закрыть"));

        QSignalSpy finished(window.get(), &tools::Form5::testFinished);
        start->click();
        QVERIFY(!start->isEnabled());
        QVERIFY(stop->isEnabled());
        QVERIFY(window->openSocketCount() > 0);
        QVERIFY(finished.wait(20000));

        const QString text = window->resultText();
        const QStringList sections = text.split(QStringLiteral("\r\n\r\n"));
        QCOMPARE(sections.size(), 5);
        QVERIFY2(sections[0].contains(QStringLiteral("NAT не обнаружен")), qPrintable(sections[0]));
        QVERIFY2(sections[1].contains(QStringLiteral("(Endpoint-Independent Filtering)")), qPrintable(sections[1]));
        QVERIFY2(sections[2].contains(QStringLiteral("проверка не нужна")), qPrintable(sections[2]));
        QVERIFY2(sections[3].contains(QStringLiteral("порты сохранены — да")), qPrintable(sections[3]));
        // The computer's own address and answers from the server's other address: nothing keeps a binding.
        QVERIFY2(sections[4].contains(QStringLiteral("keep-alive-пакеты для удержания отображения не нужны")),
                 qPrintable(sections[4]));
        QCOMPARE(window->figures().value("lifetime").toObject().value("result").toString(),
                 QStringLiteral("no-binding"));
        QCOMPARE(window->findChild<QProgressBar*>(QStringLiteral("ProgressBar1"))->value(), 100);
        // The summary on top: a row per finding; a row leads to its details.
        auto* rows = window->findChild<QTreeWidget*>(QStringLiteral("SummaryRows"));
        QVERIFY(rows);
        QCOMPARE(rows->topLevelItemCount(), 5);
        QCOMPARE(window->findChild<QLabel*>(QStringLiteral("SummaryAction"))->text(), QStringLiteral("Всё в порядке"));
        auto* details = window->findChild<QPlainTextEdit*>(QStringLiteral("Text1"));
        emit rows->itemActivated(rows->topLevelItem(4), 0);
        QVERIFY2(details->textCursor().block().text().startsWith(QStringLiteral("Время жизни")),
                 qPrintable(details->textCursor().block().text()));
        QCOMPARE(window->figures().value("summary").toObject().value("rows").toArray().size(), 5);
        QVERIFY(start->isEnabled());
        QVERIFY(!stop->isEnabled());
        QCOMPARE(window->openSocketCount(), 0);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCOMPARE(openDescriptors(), descriptors);
    }

    void stoppedOrClosedMidway_data()
    {
        QTest::addColumn<bool>("close");
        QTest::newRow("Остановить") << false;
        QTest::newRow("Закрыть") << true;
    }
    void stoppedOrClosedMidway()
    {
        QFETCH(bool, close);
        const int descriptors = openDescriptors();
        auto window = makeWindow();
        window->setLifetimeSearch(probes::LifetimeSearch{});
        window->setMeasurements({probes::Measurement::Lifetime});
        // Taken for a NAT, so that the search runs.
        window->setLocalAddresses({QStringLiteral("198.51.100.1")});
        QSignalSpy finished(window.get(), &tools::Form5::testFinished);
        window->Command1_Click();
        QTest::qWait(500);
        QVERIFY(window->testRunning());
        QVERIFY(window->openSocketCount() > 50);
        window->findChild<QPushButton*>(close ? QStringLiteral("Command3") : QStringLiteral("Command2"))->click();
        QVERIFY(!window->testRunning());
        QCOMPARE(window->openSocketCount(), 0);
        if (!close) {
            QCOMPARE(finished.size(), 1);
            QVERIFY(window->resultText().contains(QStringLiteral("проверка остановлена")));
        }
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCOMPARE(openDescriptors(), descriptors);
    }

    // The lifetime search alone, or with the other measurements run while
    // its sockets sit idle: they start together and the result is the same.
    void lifetimeBesideTheOthers_data()
    {
        QTest::addColumn<bool>("others");
        QTest::newRow("alone") << false;
        QTest::newRow("beside the other measurements") << true;
    }
    void lifetimeBesideTheOthers()
    {
        QFETCH(bool, others);
        auto window = makeWindow();
        window->setLifetimeSearch(probes::LifetimeSearch{1, 3});
        // Taken for a NAT, so that the search runs; loopback keeps every binding.
        window->setLocalAddresses({QStringLiteral("198.51.100.1")});
        if (!others)
            window->setMeasurements({probes::Measurement::Lifetime});
        QSignalSpy finished(window.get(), &tools::Form5::testFinished);
        window->Command1_Click();
        const QList<int> lifetimePorts = window->lifetimePorts();
        QVERIFY(lifetimePorts.size() > 3);
        if (others) {
            // The first measurement ends while the search holds its sockets.
            QTRY_VERIFY_WITH_TIMEOUT(window->figures().contains(QStringLiteral("mapping")), 5000);
            QCOMPARE(window->lifetimePorts(), lifetimePorts);
        }
        QVERIFY(finished.wait(20000));
        const QJsonObject figures = window->figures();
        QCOMPARE(figures.keys().contains(QStringLiteral("rtp-pair")), others);
        const QJsonObject lifetime = figures.value(QStringLiteral("lifetime")).toObject();
        QCOMPARE(lifetime.value(QStringLiteral("result")).toString(), QStringLiteral("at-least-cap"));
        QCOMPARE(lifetime.value(QStringLiteral("lastAliveSeconds")).toInt(), 3);
        QCOMPARE(window->findChild<QProgressBar*>(QStringLiteral("ProgressBar2"))->value(), 100);
        QCOMPARE(window->openSocketCount(), 0);
    }

    // The SIP server section's DNS queries wait with the windows served: a
    // click on "Остановить" or "Закрыть" takes effect inside the wait.
    void stoppedOrClosedDuringDns_data() { stoppedOrClosedMidway_data(); }
    void stoppedOrClosedDuringDns()
    {
        QFETCH(bool, close);
        testsupport::FakeDnsServer dns;
        dns.setSilent(true);
        platform::SetDnsServerOverride(dns.address(), dns.port());
        platform::InstallWindowService();
        auto window = makeWindow();
        window->setMeasurements({probes::Measurement::Mapping});
        window->setPathSections({tools::PathSection::Dns});
        QVERIFY(platform::ShowAndWaitForExposure(window.get(), 2000));
        QPushButton* button = window->findChild<QPushButton*>(close ? QStringLiteral("Command3") : QStringLiteral("Command2"));
        connect(&window->pathsRun(), &tools::ExtendedPathsRun::progress, button, [button](const QString& step) {
            if (step.startsWith(QStringLiteral("Запросы DNS")))
                Click(button);
        });
        bool insideWait = false, ended = false;
        connect(window.get(), &tools::Form5::testFinished, window.get(), [&] {
            ended = true;
            insideWait = platform::InWindowService();
        });
        window->Command1_Click();
        QTRY_VERIFY_WITH_TIMEOUT(ended, 10000);
        QVERIFY(insideWait);
        QVERIFY(!window->testRunning());
        QCOMPARE(window->isVisible(), !close);
        // The query under way ends; no further query is sent.
        QTest::qWait(1500);
        QCOMPARE(dns.queryCount(), 1);
        if (!close)
            QCOMPARE(window->findChild<QLabel*>(QStringLiteral("Label1"))->text(), QStringLiteral("Тест остановлен."));
        platform::RemoveWindowService();
        platform::SetDnsServerOverride(QString(), 0);
    }
};

QTEST_MAIN(TestExtendedNatWindow)
#include "test_extended_nat_window.moc"
