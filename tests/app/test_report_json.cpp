// SPDX-License-Identifier: Apache-2.0
#include "app/report_json.h"

#include <QFile>
#include <QJsonArray>
#include <QRegularExpression>
#include <QSet>
#include <QTimeZone>
#include <QJsonDocument>
#include <QtTest>

using namespace app;

Q_DECLARE_METATYPE(app::RunFigures)

namespace {

QJsonObject parsed(const RunReport& report)
{
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(ReportAsJson(report), &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        return {};
    return doc.object();
}

// Walks "a.b.c" through nested objects.
QJsonValue at(const QJsonObject& root, const QString& path)
{
    QJsonValue value = root;
    for (const QString& key : path.split(QLatin1Char('.')))
        value = value.toObject().value(key);
    return value;
}

}  // namespace

class TestReportJson : public QObject {
    Q_OBJECT
private slots:
    void stateFields_data();
    void stateFields();
    void listsKeepOrder();
    void textFollowsWindowOrder();
    void stoppedRunSaysWhere();
    void documentedFieldsMatchTheDocument();
};

void TestReportJson::stateFields_data()
{
    QTest::addColumn<RunFigures>("figures");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QJsonValue>("expected");

    RunFigures blocked;
    blocked.state.NatMode = kNatUndetermined;
    blocked.natCaption = QStringLiteral("Протокол UDP заблокирован\r\nUDP Blocked");
    QTest::newRow("nat code") << blocked << "nat.code" << QJsonValue(6);
    QTest::newRow("nat name") << blocked << "nat.name" << QJsonValue(QStringLiteral("undetermined"));
    QTest::newRow("nat caption with LF")
        << blocked << "nat.caption" << QJsonValue(QStringLiteral("Протокол UDP заблокирован\nUDP Blocked"));
    QTest::newRow("no STUN answer: no external address") << blocked << "externalAddress" << QJsonValue();
    QTest::newRow("no main interface: null address") << blocked << "mainAddress" << QJsonValue();
    QTest::newRow("no grade: null") << blocked << "grade" << QJsonValue();

    RunFigures behindNat;
    behindNat.state.NatMode = kNatPortRestrictedCone;
    behindNat.state.ExternalAddress = QStringLiteral("192.0.2.2");
    behindNat.state.MappedPort = 40001;
    behindNat.probeLocalPort = 50123;
    behindNat.state.SipState = kSipTranslated;
    behindNat.state.Udp5060Passed = 1;
    behindNat.state.Tcp5060Passed = 0;
    behindNat.state.UpnpFound = 1;
    behindNat.state.DnsTestPassed = 1;
    behindNat.state.AddressClass = 1;
    behindNat.state.MainAddress = QStringLiteral("192.168.1.10");
    behindNat.grade = QStringLiteral("Хорошо\r\n\r\n");
    QTest::newRow("nat name of code 5") << behindNat << "nat.name" << QJsonValue(QStringLiteral("port-restricted-cone"));
    QTest::newRow("external address") << behindNat << "externalAddress" << QJsonValue(QStringLiteral("192.0.2.2"));
    QTest::newRow("mapped port") << behindNat << "mappedPort" << QJsonValue(40001);
    QTest::newRow("local probe port") << behindNat << "probeLocalPort" << QJsonValue(50123);
    QTest::newRow("sip state") << behindNat << "sip.state" << QJsonValue(1);
    QTest::newRow("sip name") << behindNat << "sip.name" << QJsonValue(QStringLiteral("translated"));
    QTest::newRow("udp 5060 passed") << behindNat << "sip.udp5060" << QJsonValue(true);
    QTest::newRow("tcp 5060 failed") << behindNat << "sip.tcp5060" << QJsonValue(false);
    QTest::newRow("upnp") << behindNat << "upnp.found" << QJsonValue(true);
    QTest::newRow("dns") << behindNat << "dnsTestPassed" << QJsonValue(true);
    QTest::newRow("private class") << behindNat << "addressClass.private" << QJsonValue(true);
    QTest::newRow("grade without trailing blank lines") << behindNat << "grade" << QJsonValue(QStringLiteral("Хорошо"));

    RunFigures unknownCodes;
    unknownCodes.state.NatMode = 9;
    unknownCodes.state.SipState = -1;
    QTest::newRow("nat code out of range") << unknownCodes << "nat.name" << QJsonValue(QStringLiteral("unknown"));
    QTest::newRow("sip code out of range") << unknownCodes << "sip.name" << QJsonValue(QStringLiteral("unknown"));

    RunFigures noRouter;
    noRouter.state.Gateway = QStringLiteral("неопределенный");
    noRouter.echoes = {{0, 11010}, {0, 11010}};
    noRouter.state.LostPackets = 2;
    QTest::newRow("no first-hop router: null gateway") << noRouter << "gateway" << QJsonValue();
    QTest::newRow("no echo answered: null average") << noRouter << "ping.averageDelay" << QJsonValue();
    QTest::newRow("layout version") << noRouter << "schemaVersion" << QJsonValue(2);
    QTest::newRow("finished run: no step") << noRouter << "step" << QJsonValue();
    QTest::newRow("no start time known: null") << noRouter << "startedAt" << QJsonValue();

    RunFigures answered;
    answered.state.Gateway = QStringLiteral("192.168.1.1");
    answered.echoes = {{0, 11010}, {0, 0}};
    answered.state.AvgDelay = 0;
    answered.startedAt = QDateTime(QDate(2026, 12, 8), QTime(20, 40, 49), QTimeZone(3 * 3600));
    answered.durationSeconds = 7.06;
    answered.finished = false;
    answered.step = QStringLiteral("echoes");
    answered.endpoints.mainServer = QStringLiteral("198.51.100.5");
    QTest::newRow("router's address") << answered << "gateway" << QJsonValue(QStringLiteral("192.168.1.1"));
    QTest::newRow("one echo answered in 0 ms: average 0") << answered << "ping.averageDelay" << QJsonValue(0);
    QTest::newRow("start time in UTC") << answered << "startedAt" << QJsonValue(QStringLiteral("2026-12-08T17:40:49Z"));
    QTest::newRow("duration to 0.1 s") << answered << "durationSeconds" << QJsonValue(7.1);
    QTest::newRow("stopped run") << answered << "finished" << QJsonValue(false);
    QTest::newRow("stopped run's step") << answered << "step" << QJsonValue(QStringLiteral("echoes"));
    QTest::newRow("STUN server") << answered << "endpoints.stunServer" << QJsonValue(QStringLiteral("198.51.100.5"));
}

void TestReportJson::stateFields()
{
    QFETCH(RunFigures, figures);
    QFETCH(QString, path);
    QFETCH(QJsonValue, expected);
    RunReport report;
    report.figures = figures;
    const QJsonObject root = parsed(report);
    QVERIFY(!root.isEmpty());
    QCOMPARE(at(root, path), expected);
}

void TestReportJson::listsKeepOrder()
{
    RunReport report;
    report.figures.interfaces = {{QStringLiteral("10.0.0.5"), 2, QStringLiteral("255.0.0.0"), QStringLiteral("10.255.255.255")},
                                 {QStringLiteral("127.0.0.1"), 1, QStringLiteral("255.0.0.0"), QString()}};
    report.figures.echoes = {{12, 0}, {0, 11010}, {1500, 0}};
    report.figures.messages = {QStringLiteral("first\r\nline")};
    report.extra.append({{QStringLiteral("Extra"), {}, QStringLiteral("x")}, QStringLiteral("extended"),
                         QJsonObject{{QStringLiteral("value"), 3}}});
    const QJsonObject root = parsed(report);

    const QJsonArray interfaces = root.value(QStringLiteral("interfaces")).toArray();
    QCOMPARE(interfaces.size(), 2);
    QCOMPARE(interfaces[0].toObject().value(QStringLiteral("address")).toString(), QStringLiteral("10.0.0.5"));
    QCOMPARE(interfaces[0].toObject().value(QStringLiteral("loopback")).toBool(), false);
    QCOMPARE(interfaces[1].toObject().value(QStringLiteral("loopback")).toBool(), true);

    const QJsonArray echoes = at(root, QStringLiteral("ping.echoes")).toArray();
    QCOMPARE(echoes.size(), 3);
    const int times[] = {12, 0, 1500};
    const int statuses[] = {0, 11010, 0};
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(echoes[i].toObject().value(QStringLiteral("time")).toInt(), times[i]);
        QCOMPARE(echoes[i].toObject().value(QStringLiteral("status")).toInt(), statuses[i]);
    }
    QCOMPARE(root.value(QStringLiteral("messages")).toArray().first().toString(), QStringLiteral("first\nline"));
    QCOMPARE(at(root, QStringLiteral("extended.value")).toInt(), 3);
}

void TestReportJson::textFollowsWindowOrder()
{
    RunReport report;
    report.windowTitle = QStringLiteral("Tarvolin  v.1");
    report.groups = {{QStringLiteral("NAT"),
                      {{QStringLiteral("Тип"), QStringLiteral("Полный конус\r\nFull Cone")},
                       {QStringLiteral("UPnP"), QStringLiteral("Есть")}},
                      QString()},
                     {QStringLiteral("Ping"), {}, QStringLiteral("0 - 5 мс\r\n1 - 6 мс\r\n")}};
    report.figures.messages = {QStringLiteral("Порт занят")};
    report.extra.append({{QStringLiteral("Extra"), {}, QStringLiteral("x")}, QStringLiteral("extended"), {}});
    const QString text = QString::fromUtf8(ReportAsText(report));
    QCOMPARE(text,
             QStringLiteral("Tarvolin  v.1\n"
                            "\nNAT\n---\n"
                            "Тип: Полный конус\n"
                            "     Full Cone\n"
                            "UPnP: Есть\n"
                            "\nPing\n----\n"
                            "0 - 5 мс\n1 - 6 мс\n"
                            "\nСообщения\n---------\n"
                            "Порт занят\n"
                            "\nExtra\n-----\nx\n"));
}

void TestReportJson::stoppedRunSaysWhere()
{
    RunReport report;
    report.windowTitle = QStringLiteral("Tarvolin  v.1");
    report.figures.finished = false;
    report.figures.step = RunStepName(RunStep::Answers);
    const QStringList lines = QString::fromUtf8(ReportAsText(report)).split(QLatin1Char('\n'));
    QCOMPARE(lines.value(1), QStringLiteral("Тест не завершён: остановлен на шаге «ожидание ответов STUN, SIP и UPnP»."));
}

namespace {

// Every member path of a document: "a.b" for members of objects, "a[].b" for
// members of an array's objects; arrays are listed themselves too.
void memberPaths(const QJsonValue& value, const QString& path, QSet<QString>& out)
{
    if (value.isObject()) {
        const QJsonObject object = value.toObject();
        for (auto it = object.begin(); it != object.end(); ++it)
            memberPaths(it.value(), path.isEmpty() ? it.key() : path + QLatin1Char('.') + it.key(), out);
        return;
    }
    out.insert(path);
    if (value.isArray())
        for (const QJsonValue& element : value.toArray())
            if (element.isObject())
                memberPaths(element, path + QStringLiteral("[]"), out);
}

}  // namespace

// docs/report.md names each member of the main document in its own row;
// neither side may have a member the other lacks.
void TestReportJson::documentedFieldsMatchTheDocument()
{
    QFile file(QStringLiteral(TARVOLIN_SOURCE_DIR "/docs/report.md"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString doc = QString::fromUtf8(file.readAll());
    const qsizetype begin = doc.indexOf(QStringLiteral("\n## JSON"));
    const qsizetype end = doc.indexOf(QStringLiteral("\n## "), begin + 1);
    QVERIFY(begin >= 0 && end > begin);
    QSet<QString> documented;
    static const QRegularExpression row(QStringLiteral("^\\| `([^`]+)` \\|"), QRegularExpression::MultilineOption);
    for (auto it = row.globalMatch(doc.mid(begin, end - begin)); it.hasNext();)
        documented.insert(it.next().captured(1));

    RunReport report;
    report.figures.interfaces = {{QStringLiteral("10.0.0.5"), 2, QStringLiteral("255.0.0.0"), QStringLiteral("10.255.255.255")}};
    report.figures.echoes = {{12, 0}};
    report.figures.messages = {QStringLiteral("m")};
    QSet<QString> printed;
    memberPaths(parsed(report), QString(), printed);
    QVERIFY(printed.size() > 40);
    QCOMPARE(documented - printed, QSet<QString>());
    QCOMPARE(printed - documented, QSet<QString>());
}

QTEST_GUILESS_MAIN(TestReportJson)
#include "test_report_json.moc"
