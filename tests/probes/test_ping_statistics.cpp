// SPDX-License-Identifier: Apache-2.0
// Texts and figures of the ping series and the listing lines of the report.
#include <QTest>

#include "probes/ping_statistics.h"
#include "probes/ping.h"
#include "probes/decimal_text.h"

using namespace probes;
using probes::RoundedDecimalText;
using probes::RoundHalfEven;
using Series = std::array<int16_t, 10>;

Q_DECLARE_METATYPE(Series)

namespace {
const QLocale kC(QLocale::C);
const QString kHead = QStringLiteral("\r\nИтоговые данные\r\n");
}  // namespace

class TestPingStatistics : public QObject {
    Q_OBJECT
private slots:
    void logLine();
    void cappedRoundTrip_data();
    void cappedRoundTrip();
    void summary_data();
    void summary();
    void jitterDecimalSeparator();
    void waitingInterval_data();
    void waitingInterval();
    void roundedDecimalText_data();
    void roundedDecimalText();
    void roundHalfEven_data();
    void roundHalfEven();
    void listingLines_data();
    void listingLines();
};

void TestPingStatistics::logLine()
{
    QCOMPARE(PingLogLine(3, 27, 0), QStringLiteral("3 - 27 мс - ") + probes::EchoStatusText(0) + QStringLiteral("\r\n"));
    QCOMPARE(PingLogLine(9, 0, 11010),
             QStringLiteral("9 - 0 мс - ") + probes::EchoStatusText(11010) + QStringLiteral("\r\n"));
    QVERIFY(PingLogLine(0, 1, 0).startsWith(QStringLiteral("0 - 1 мс -")));
}

void TestPingStatistics::cappedRoundTrip_data()
{
    QTest::addColumn<uint>("rtt");
    QTest::addColumn<int>("capped");
    QTest::newRow("0") << 0u << 0;
    QTest::newRow("1500 stays") << 1500u << 1500;
    QTest::newRow("1501 counts as 0") << 1501u << 0;
    QTest::newRow("huge") << 4000000000u << 0;
}

void TestPingStatistics::cappedRoundTrip()
{
    QFETCH(uint, rtt);
    QFETCH(int, capped);
    QCOMPARE(int(CappedRoundTrip(rtt)), capped);
}

void TestPingStatistics::summary_data()
{
    QTest::addColumn<Series>("rtt");
    QTest::addColumn<int>("lost");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("avgDelay");
    QTest::addColumn<int>("jitter");

    // Previous run's figures: avg 77, jitter 33.
    QTest::newRow("all 0 ms") << Series{0, 0, 0, 0, 0, 0, 0, 0, 0, 0} << 0
        << kHead + QStringLiteral("Средняя задержка - 0\r\nПотерянных пакетов - 0\r\nДжиттер - отсутствует") << 0
        << 33;
    QTest::newRow("20/30/25 jitter") << Series{20, 30, 25, 25, 25, 25, 25, 25, 25, 25} << 0
        << kHead + QStringLiteral("Средняя задержка - 25\r\nПотерянных пакетов - 0\r\nДжиттер - 50 %  (10 мс)")
        << 25 << 10;
    // Four losses: sum 60 / 6 = 10.
    QTest::newRow("four losses") << Series{10, 20, 30, 0, 0, 0, 0, 0, 0, 0} << 4
        << kHead + QStringLiteral("Средняя задержка - 10\r\nПотерянных пакетов - 4\r\nДжиттер - 200 %  (20 мс)")
        << 10 << 20;
    QTest::newRow("five losses") << Series{10, 20, 30, 40, 50, 0, 0, 0, 0, 0} << 5
        << kHead + QStringLiteral("Средняя задержка - неизвестна\r\nПотерянных пакетов - 5\r\nДжиттер - 400 %  (40 мс)")
        << 77 << 40;
    QTest::newRow("ten losses") << Series{0, 0, 0, 0, 0, 0, 0, 0, 0, 0} << 10
        << kHead + QStringLiteral("Средняя задержка - неизвестна\r\nПотерянных пакетов - 10\r\nДжиттер - отсутствует")
        << 77 << 33;
    // 1500 counts fully; the slot of a 1501 ms echo holds 0 and is not the smallest.
    QTest::newRow("1500 and a capped 1501") << Series{1500, 0, 100, 100, 100, 100, 100, 100, 100, 100} << 0
        << kHead + QStringLiteral("Средняя задержка - 230\r\nПотерянных пакетов - 0\r\nДжиттер - 1400 %  (1400 мс)")
        << 230 << 1400;
    // Halves to even: 25/10 = 2.5 -> 2, 35/10 = 3.5 -> 4.
    QTest::newRow("average 2.5 -> 2") << Series{25, 0, 0, 0, 0, 0, 0, 0, 0, 0} << 0
        << kHead + QStringLiteral("Средняя задержка - 2\r\nПотерянных пакетов - 0\r\nДжиттер - 0 %  (0 мс)") << 2
        << 0;
    QTest::newRow("average 3.5 -> 4") << Series{35, 0, 0, 0, 0, 0, 0, 0, 0, 0} << 0
        << kHead + QStringLiteral("Средняя задержка - 4\r\nПотерянных пакетов - 0\r\nДжиттер - 0 %  (0 мс)") << 4
        << 0;
    // 6 and 7: 7 / 0.06 - 100 = 16.666... -> 16.67.
    QTest::newRow("fractional jitter") << Series{6, 7, 6, 6, 6, 6, 6, 6, 6, 6} << 0
        << kHead + QStringLiteral("Средняя задержка - 6\r\nПотерянных пакетов - 0\r\nДжиттер - 16.67 %  (1 мс)")
        << 6 << 1;
}

void TestPingStatistics::summary()
{
    QFETCH(Series, rtt);
    QFETCH(int, lost);
    QFETCH(QString, text);
    QFETCH(int, avgDelay);
    QFETCH(int, jitter);

    const PingSeriesResult result = SummarizePingSeries(rtt, static_cast<int16_t>(lost), 77, 33, kC);
    QCOMPARE(result.text, text);
    QCOMPARE(int(result.avgDelay), avgDelay);
    QCOMPARE(int(result.jitter), jitter);
    QCOMPARE(int(result.lostPackets), lost);
}

void TestPingStatistics::jitterDecimalSeparator()
{
    const Series rtt{6, 7, 6, 6, 6, 6, 6, 6, 6, 6};
    const PingSeriesResult result = SummarizePingSeries(rtt, 0, 0, 0, QLocale(QLocale::Russian));
    QVERIFY2(result.text.endsWith(QStringLiteral("Джиттер - 16,67 %  (1 мс)")), qPrintable(result.text));
}

void TestPingStatistics::waitingInterval_data()
{
    QTest::addColumn<int>("avg");
    QTest::addColumn<int>("interval");
    QTest::newRow("0") << 0 << 7000;
    QTest::newRow("100") << 100 << 7000;
    QTest::newRow("101") << 101 << 707;
    QTest::newRow("1500") << 1500 << 10500;
}

void TestPingStatistics::waitingInterval()
{
    QFETCH(int, avg);
    QFETCH(int, interval);
    QCOMPARE(WaitingInterval(static_cast<int16_t>(avg)), interval);
}

void TestPingStatistics::roundedDecimalText_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("c");
    QTest::addColumn<QString>("russian");

    QTest::newRow("whole") << 50.0 << QStringLiteral("50") << QStringLiteral("50");
    QTest::newRow("two places") << 16.666666 << QStringLiteral("16.67") << QStringLiteral("16,67");
    QTest::newRow("trailing zero dropped") << 2.5 << QStringLiteral("2.5") << QStringLiteral("2,5");
    QTest::newRow("rounds to whole") << 49.999 << QStringLiteral("50") << QStringLiteral("50");
    QTest::newRow("half to even down") << 0.125 << QStringLiteral("0.12") << QStringLiteral("0,12");
    QTest::newRow("half to even up") << 0.375 << QStringLiteral("0.38") << QStringLiteral("0,38");
    QTest::newRow("no group separator") << 12345.5 << QStringLiteral("12345.5") << QStringLiteral("12345,5");
    QTest::newRow("negative") << -3.25 << QStringLiteral("-3.25") << QStringLiteral("-3,25");
    QTest::newRow("tiny negative is 0") << -0.001 << QStringLiteral("0") << QStringLiteral("0");
    QTest::newRow("small fraction") << 0.05 << QStringLiteral("0.05") << QStringLiteral("0,05");
}

void TestPingStatistics::roundedDecimalText()
{
    QFETCH(double, value);
    QFETCH(QString, c);
    QFETCH(QString, russian);
    QCOMPARE(RoundedDecimalText(value, kC), c);
    QCOMPARE(RoundedDecimalText(value, QLocale(QLocale::Russian)), russian);
}

void TestPingStatistics::roundHalfEven_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("rounded");
    QTest::newRow("2.5") << 2.5 << 2;
    QTest::newRow("3.5") << 3.5 << 4;
    QTest::newRow("2.51") << 2.51 << 3;
    QTest::newRow("-2.5") << -2.5 << -2;
    QTest::newRow("16.67") << 16.67 << 17;
}

void TestPingStatistics::roundHalfEven()
{
    QFETCH(double, value);
    QFETCH(int, rounded);
    QCOMPARE(RoundHalfEven(value), rounded);
}

void TestPingStatistics::listingLines_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("appended");

    QTest::newRow("short lines skipped")
        << QStringLiteral("eth0: flags\n\n   \nabc\nabcd\n  inet 10.0.0.2\n")
        << QStringLiteral("eth0: flags\r\nabcd\r\n  inet 10.0.0.2\r\n");
    QTest::newRow("CR LF file") << QStringLiteral("Windows IP\r\n\r\nab\r\nAdapter x:\r\n")
                                << QStringLiteral("Windows IP\r\nAdapter x:\r\n");
    QTest::newRow("no final line end") << QStringLiteral("line one\nlast line")
                                       << QStringLiteral("line one\r\nlast line\r\n");
    QTest::newRow("empty file") << QString() << QString();
}

void TestPingStatistics::listingLines()
{
    QFETCH(QString, file);
    QFETCH(QString, appended);
    QCOMPARE(ListingTextForReport(file), appended);
    for (const QString& line : ListingLinesForReport(file))
        QVERIFY(line.size() >= 4 && !line.contains(QLatin1Char('\n')) && !line.contains(QLatin1Char('\r')));
}

QTEST_GUILESS_MAIN(TestPingStatistics)
#include "test_ping_statistics.moc"
