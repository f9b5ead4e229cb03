// SPDX-License-Identifier: Apache-2.0
#include "tools/ping_series.h"
#include "tools/ping_window.h"

#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include <utility>

using tools::PingSeries;

namespace {

constexpr uint32_t kTimedOut = 11010;

struct Echo {
    uint32_t status;
    uint32_t rtt;
};

// Replays chosen echo outcomes and notes the addresses asked for.
struct ScriptedEcho {
    explicit ScriptedEcho(QList<Echo> o) : outcomes(std::move(o)) {}

    QList<Echo> outcomes;
    QStringList targets;
    int next = 0;

    void operator()(const QString& address, probes::EchoReply& reply)
    {
        targets << address;
        const Echo e = outcomes.value(next++, Echo{kTimedOut, 0});
        reply.Status = e.status;
        reply.RoundTripTime = e.rtt;
    }
};

probes::ProviderEndpoints endpoints()
{
    probes::ProviderEndpoints e = probes::ProviderEndpoints::builtIn();
    e.mainServer = QStringLiteral("192.0.2.10");
    e.secondServer = QStringLiteral("192.0.2.20");
    e.furtherAddress = QStringLiteral("192.0.2.40");
    return e;
}

QString label(QWidget& w, const char* name)
{
    return w.findChild<QLabel*>(QString::fromLatin1(name))->text();
}

// A caption value as the system writes it, from its text with a point.
QString systemDecimal(QString text)
{
    return text.replace(QLatin1Char('.'), QLocale::system().decimalPoint());
}

}  // namespace

Q_DECLARE_METATYPE(QList<Echo>)

class TestPingWindow : public QObject {
    Q_OBJECT
private slots:
    void figures_data();
    void figures();
    void logLines();
    void pingTarget_data();
    void pingTarget();

    void loadState();
    void seriesUpdatesLabels();
    void startValuesBeforeFirstAnswer();
    void restartEmptiesLogAndCounters();
    void emptyTargetStopsTheTimer();
    void timerDrivesTheSeries();
};

void TestPingWindow::figures_data()
{
    QTest::addColumn<QList<Echo>>("echoes");
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("num");
    QTest::addColumn<QString>("delay");  // "" while no time has been summed
    QTest::addColumn<QString>("loss");
    QTest::addColumn<QString>("jitter");

    const QList<Echo> worked{{0, 20}, {0, 30}, {kTimedOut, 0}, {0, 25}};
    QTest::newRow("worked figures") << worked << QStringLiteral("ru_RU") << QStringLiteral("4")
                                    << QStringLiteral("25 мс.") << QStringLiteral("25 % (1)")
                                    << QStringLiteral("50 %  (10 мс.)");
    QTest::newRow("loss only, comma") << QList<Echo>{{kTimedOut, 0}} << QStringLiteral("ru_RU") << QStringLiteral("1")
                                      << QString() << QStringLiteral("100 % (1)")
                                      << QStringLiteral("-99,99 %  (-9998 мс.)");
    QTest::newRow("loss only, point") << QList<Echo>{{kTimedOut, 0}} << QStringLiteral("en_US") << QStringLiteral("1")
                                      << QString() << QStringLiteral("100 % (1)")
                                      << QStringLiteral("-99.99 %  (-9998 мс.)");
    QTest::newRow("no loss") << QList<Echo>{{0, 10}, {0, 10}} << QStringLiteral("ru_RU") << QStringLiteral("2")
                             << QStringLiteral("10 мс.") << QStringLiteral("0 % (0)") << QStringLiteral("0 %  (0 мс.)");
    QTest::newRow("two decimals") << QList<Echo>{{0, 1}, {0, 2}, {0, 2}} << QStringLiteral("ru_RU")
                                  << QStringLiteral("3") << QStringLiteral("1,67 мс.") << QStringLiteral("0 % (0)")
                                  << QStringLiteral("100 %  (1 мс.)");
    QTest::newRow("one loss in three") << QList<Echo>{{kTimedOut, 0}, {0, 40}, {0, 50}} << QStringLiteral("en_US")
                                       << QStringLiteral("3") << QStringLiteral("45 мс.")
                                       << QStringLiteral("33.33 % (1)") << QStringLiteral("25 %  (10 мс.)");
    QTest::newRow("1500 ms is kept") << QList<Echo>{{0, 1500}} << QStringLiteral("ru_RU") << QStringLiteral("1")
                                     << QStringLiteral("1500 мс.") << QStringLiteral("0 % (0)")
                                     << QStringLiteral("0 %  (0 мс.)");
    QTest::newRow("above 1500 ms counts as 0") << QList<Echo>{{0, 1501}} << QStringLiteral("ru_RU")
                                               << QStringLiteral("1") << QString() << QStringLiteral("0 % (0)")
                                               << QStringLiteral("0 %  (1 мс.)");
    QTest::newRow("0 ms then 10 ms") << QList<Echo>{{0, 0}, {0, 10}} << QStringLiteral("ru_RU") << QStringLiteral("2")
                                     << QStringLiteral("5 мс.") << QStringLiteral("0 % (0)")
                                     << QStringLiteral("0 %  (10 мс.)");
    QTest::newRow("failed echo with a time") << QList<Echo>{{11013, 300}, {0, 20}} << QStringLiteral("ru_RU")
                                             << QStringLiteral("2") << QStringLiteral("20 мс.")
                                             << QStringLiteral("50 % (1)") << QStringLiteral("0 %  (0 мс.)");
}

void TestPingWindow::figures()
{
    QFETCH(QList<Echo>, echoes);
    QFETCH(QString, locale);
    QFETCH(QString, num);
    QFETCH(QString, delay);
    QFETCH(QString, loss);
    QFETCH(QString, jitter);

    PingSeries series;
    series.Restart(QStringLiteral("10.0.0.1"));
    for (const Echo& e : echoes)
        series.Record(e.status, e.rtt);
    const QLocale l(locale);
    QCOMPARE(series.NumText(), num);
    QCOMPARE(series.DelayText(l).value_or(QString()), delay);
    QCOMPARE(series.LossText(l), loss);
    QCOMPARE(series.JitterText(l), jitter);
}

void TestPingWindow::logLines()
{
    PingSeries series;
    series.Restart(QStringLiteral("192.0.2.10"));
    QCOMPARE(series.Record(0, 23),
             QStringLiteral("Запрос № 1 на 192.0.2.10 - время ответа 23 мс - статус  [ping OK]\r\n"));
    QCOMPARE(series.Record(kTimedOut, 0),
             QStringLiteral("Запрос № 2 на 192.0.2.10 - время ответа 0 мс - статус  [ip req timed out]\r\n"));
    QCOMPARE(series.Record(0, 1600),
             QStringLiteral("Запрос № 3 на 192.0.2.10 - время ответа 0 мс - статус  [ping OK]\r\n"));
    series.Restart(QStringLiteral("192.0.2.11"));
    QCOMPARE(series.RequestCount(), 0);
    QCOMPARE(series.Record(0, 7),
             QStringLiteral("Запрос № 1 на 192.0.2.11 - время ответа 7 мс - статус  [ping OK]\r\n"));
}

void TestPingWindow::pingTarget_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("target");
    QTest::addColumn<bool>("lookedUp");

    QTest::newRow("dotted, begins with 1") << QStringLiteral("10.0.0.1") << QStringLiteral("10.0.0.1") << false;
    QTest::newRow("dotted, begins with 2, blanks") << QStringLiteral("  203.0.113.7 ")
                                                   << QStringLiteral("203.0.113.7") << false;
    QTest::newRow("dotted, other digit") << QStringLiteral("3.3.3.3") << QStringLiteral("looked up 3.3.3.3") << true;
    QTest::newRow("name") << QStringLiteral(" host.test ") << QStringLiteral("looked up host.test") << true;
    QTest::newRow("name beginning with 1") << QStringLiteral("1host.test") << QStringLiteral("looked up 1host.test")
                                           << true;
    QTest::newRow("three numbers") << QStringLiteral("10.0.1") << QStringLiteral("looked up 10.0.1") << true;
    QTest::newRow("number above 255") << QStringLiteral("256.1.1.1") << QStringLiteral("looked up 256.1.1.1") << true;
    QTest::newRow("empty") << QString() << QStringLiteral("looked up ") << true;
}

void TestPingWindow::pingTarget()
{
    QFETCH(QString, text);
    QFETCH(QString, target);
    QFETCH(bool, lookedUp);
    int lookups = 0;
    const QString result = tools::PingTargetFor(text, [&](const QString& name) {
        ++lookups;
        return QStringLiteral("looked up ") + name;
    });
    QCOMPARE(result, target);
    QCOMPARE(lookups, lookedUp ? 1 : 0);
}

void TestPingWindow::loadState()
{
    tools::Form4 window(endpoints());
    QCOMPARE(window.windowTitle(), QStringLiteral("Пинг-тест"));
    auto* combo = window.findChild<QComboBox*>(QStringLiteral("Combo1"));
    QVERIFY(combo->isEditable());
    QCOMPARE(combo->count(), 3);
    QCOMPARE(combo->itemText(0), QStringLiteral("192.0.2.10"));
    QCOMPARE(combo->itemText(1), QStringLiteral("192.0.2.20"));
    QCOMPARE(combo->itemText(2), QStringLiteral("192.0.2.40"));
    QCOMPARE(combo->currentText(), QStringLiteral("192.0.2.10"));
    QVERIFY(!window.findChild<QTimer*>(QStringLiteral("Timer1"))->isActive());
    QCOMPARE(window.series().MaxRtt(), 1);
    QCOMPARE(window.series().MinRtt(), 9999);
    QCOMPARE(window.findChild<QPushButton*>(QStringLiteral("Command1"))->text(), QStringLiteral("Пинг"));
    QCOMPARE(label(window, "Label1"), QStringLiteral("Средняя задержка"));
    QCOMPARE(label(window, "Label2"), QStringLiteral("Ошибок"));
    QCOMPARE(label(window, "Label3"), QStringLiteral("Джиттер"));
}

void TestPingWindow::seriesUpdatesLabels()
{
    tools::Form4 window(endpoints());
    ScriptedEcho script({{0, 20}, {0, 30}, {kTimedOut, 0}, {0, 25}});
    auto* echo = &script;
    window.setEchoFunction([echo](const QString& a, probes::EchoReply& r) { (*echo)(a, r); });
    window.setResolver([](const QString&) -> QString {
        QTest::qFail("a dotted address was looked up", __FILE__, __LINE__);
        return QString();
    });

    window.findChild<QPushButton*>(QStringLiteral("Command1"))->click();
    auto* timer = window.findChild<QTimer*>(QStringLiteral("Timer1"));
    QVERIFY(timer->isActive());
    QCOMPARE(timer->interval(), 2500);
    QCOMPARE(window.logText(), QStringLiteral("Пинг на адрес 192.0.2.10\r\n"));

    for (int i = 0; i < 4; ++i)
        window.Timer1_Timer();
    QCOMPARE(script.targets, QStringList(4, QStringLiteral("192.0.2.10")));
    QCOMPARE(label(window, "Num"), QStringLiteral("4"));
    QCOMPARE(label(window, "Zadergka"), QStringLiteral("25 мс."));
    QCOMPARE(label(window, "poter"), QStringLiteral("25 % (1)"));
    QCOMPARE(label(window, "Dgit"), QStringLiteral("50 %  (10 мс.)"));

    const QStringList lines = window.logText().split(QStringLiteral("\r\n"));
    QCOMPARE(lines.size(), 6);  // heading, four requests, empty rest after the last CR LF
    QCOMPARE(lines[3], QStringLiteral("Запрос № 3 на 192.0.2.10 - время ответа 0 мс - статус  [ip req timed out]"));
    QCOMPARE(lines[5], QString());

    auto* text = window.findChild<QPlainTextEdit*>(QStringLiteral("Text1"));
    QCOMPARE(text->toPlainText(), QString(window.logText()).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    QCOMPARE(text->textCursor().position(), text->document()->characterCount() - 1);
}

void TestPingWindow::startValuesBeforeFirstAnswer()
{
    tools::Form4 window(endpoints());
    ScriptedEcho script({{kTimedOut, 0}, {0, 12}});
    auto* echo = &script;
    window.setEchoFunction([echo](const QString& a, probes::EchoReply& r) { (*echo)(a, r); });
    window.findChild<QPushButton*>(QStringLiteral("Command1"))->click();

    window.Timer1_Timer();
    QCOMPARE(label(window, "Num"), QStringLiteral("1"));
    QCOMPARE(label(window, "Zadergka"), QString());
    QCOMPARE(label(window, "poter"), QStringLiteral("100 % (1)"));
    QCOMPARE(label(window, "Dgit"), systemDecimal(QStringLiteral("-99.99 %  (-9998 мс.)")));

    window.Timer1_Timer();
    QCOMPARE(label(window, "Zadergka"), QStringLiteral("12 мс."));
    QCOMPARE(label(window, "poter"), QStringLiteral("50 % (1)"));
    QCOMPARE(label(window, "Dgit"), QStringLiteral("0 %  (0 мс.)"));
}

void TestPingWindow::restartEmptiesLogAndCounters()
{
    tools::Form4 window(endpoints());
    ScriptedEcho script({{0, 20}, {0, 40}, {kTimedOut, 0}, {0, 10}});
    auto* echo = &script;
    window.setEchoFunction([echo](const QString& a, probes::EchoReply& r) { (*echo)(a, r); });
    QStringList lookups;
    window.setResolver([&lookups](const QString& name) {
        lookups << name;
        return QStringLiteral("198.51.100.77");
    });
    window.findChild<QPushButton*>(QStringLiteral("Command1"))->click();
    window.Timer1_Timer();
    window.Timer1_Timer();
    QCOMPARE(label(window, "Zadergka"), QStringLiteral("30 мс."));

    window.findChild<QComboBox*>(QStringLiteral("Combo1"))->setEditText(QStringLiteral(" ping.example.test "));
    window.findChild<QPushButton*>(QStringLiteral("Command1"))->click();
    QCOMPARE(lookups, QStringList{QStringLiteral("ping.example.test")});
    QCOMPARE(window.logText(), QStringLiteral("Пинг на адрес 198.51.100.77\r\n"));
    QCOMPARE(window.series().RequestCount(), 0);
    QCOMPARE(window.series().MaxRtt(), 1);
    QCOMPARE(window.series().MinRtt(), 9999);
    // The labels keep the old series' figures until the next tick.
    QCOMPARE(label(window, "Num"), QStringLiteral("2"));

    window.Timer1_Timer();  // lost
    QCOMPARE(label(window, "Num"), QStringLiteral("1"));
    QCOMPARE(label(window, "Zadergka"), QStringLiteral("30 мс."));  // nothing summed yet: kept
    QCOMPARE(label(window, "poter"), QStringLiteral("100 % (1)"));
    window.Timer1_Timer();
    QCOMPARE(label(window, "Zadergka"), QStringLiteral("10 мс."));
    QCOMPARE(label(window, "poter"), QStringLiteral("50 % (1)"));
    QCOMPARE(script.targets.last(), QStringLiteral("198.51.100.77"));
    QVERIFY(window.logText().startsWith(
        QStringLiteral("Пинг на адрес 198.51.100.77\r\nЗапрос № 1 на 198.51.100.77 - время ответа 0 мс")));
}

void TestPingWindow::emptyTargetStopsTheTimer()
{
    tools::Form4 window(endpoints());
    int echoes = 0;
    window.setEchoFunction([&echoes](const QString&, probes::EchoReply&) { ++echoes; });
    window.setResolver([](const QString&) { return QString(); });
    window.findChild<QComboBox*>(QStringLiteral("Combo1"))->setEditText(QStringLiteral("unknown.test"));
    window.findChild<QPushButton*>(QStringLiteral("Command1"))->click();
    auto* timer = window.findChild<QTimer*>(QStringLiteral("Timer1"));
    QVERIFY(timer->isActive());
    window.Timer1_Timer();
    QVERIFY(!timer->isActive());
    QCOMPARE(echoes, 0);
    QCOMPARE(window.series().RequestCount(), 0);
}

void TestPingWindow::timerDrivesTheSeries()
{
    tools::Form4 window(endpoints());
    int echoes = 0;
    window.setEchoFunction([&echoes](const QString&, probes::EchoReply& r) {
        ++echoes;
        r.Status = 0;
        r.RoundTripTime = 5;
    });
    window.show();
    window.findChild<QPushButton*>(QStringLiteral("Command1"))->click();
    QTest::qWait(2000);
    QCOMPARE(echoes, 0);
    QTRY_COMPARE_WITH_TIMEOUT(echoes, 1, 1500);
    QCOMPARE(label(window, "Num"), QStringLiteral("1"));

    window.findChild<QPushButton*>(QStringLiteral("Command4"))->click();
    QVERIFY(!window.findChild<QTimer*>(QStringLiteral("Timer1"))->isActive());
}

QTEST_MAIN(TestPingWindow)
#include "test_ping_window.moc"
