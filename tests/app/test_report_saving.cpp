// SPDX-License-Identifier: Apache-2.0
// "Сохранить отчёт…" and "Копировать отчёт" after a whole run against
// loopback servers: the three formats, hardware addresses left out, a file
// that cannot be written.
#include "app/main_window.h"
#include "app/report_collect.h"
#include "app/report_html.h"
#include "platform/dns_query.h"
#include "platform/user_message.h"
#include "support/fake_dns_server.h"
#include "support/fake_stun_server.h"

#include <QAction>
#include <QClipboard>
#include <QDir>
#include <QGuiApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMenu>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using Format = app::Form1a::ReportFormat;
Q_DECLARE_METATYPE(app::Form1a::ReportFormat)

namespace {

const QRegularExpression kMac(QStringLiteral("(?<![0-9a-f:])[0-9a-f]{2}(:[0-9a-f]{2}){5}(?![0-9a-f:])"),
                              QRegularExpression::CaseInsensitiveOption);

// The time fields differ between two compositions of the same state.
QString WithoutTimes(QString text)
{
    static const QRegularExpression json(QStringLiteral("\"(startedAt|durationSeconds)\": [^,\\n]*"));
    static const QRegularExpression lines(QStringLiteral("(?m)^(Начало теста|Длительность): .*$"));
    return text.replace(json, QStringLiteral("TIME")).replace(lines, QStringLiteral("TIME"));
}

}  // namespace

class TestReportSaving : public QObject {
    Q_OBJECT

    testsupport::FakeStunServer stun_;
    std::unique_ptr<testsupport::FakeDnsServer> dns_;
    std::unique_ptr<app::Form1a> window_;
    QStringList messages_;
    QTemporaryDir folder_;

private slots:
    void initTestCase()
    {
        QVERIFY(stun_.start());
        stun_.setMappedAddress(QStringLiteral("198.51.100.7"), 3333);
        dns_ = std::make_unique<testsupport::FakeDnsServer>();
        platform::SetDnsServerOverride(dns_->address(), dns_->port());
        platform::SetMessageHandler([this](const platform::UserMessage& m) { messages_ << m.text; });
        app::MainWindowDependencies d;
        auto& e = d.endpoints;
        e.mainServer = e.secondServer = e.passageServer = QStringLiteral("127.0.0.2");
        e.pingTarget = QStringLiteral("127.0.0.1");
        e.domain = QStringLiteral("127.0.0.53");
        e.networkPrefix = QStringLiteral("127.0.0");
        e.stunPort = stun_.port();
        e.sipPort = e.ssdpPort = 9;  // nothing listens
        e.ssdpGroup.clear();
        d.listInterfaces = [] {
            platform::InterfaceEntry lan;
            lan.Address = QStringLiteral("192.168.1.10");
            lan.Mask = QStringLiteral("255.255.255.0");
            return platform::InterfaceTable{lan};
        };
        window_ = std::make_unique<app::Form1a>(d);
        QAction* save = window_->menu()->findChild<QAction*>(QStringLiteral("SaveReport"));
        QVERIFY(save);
        window_->Form_Load();
        QVERIFY2(!save->isEnabled(), "saving waits for the end of the test");
        QSignalSpy finished(window_.get(), &app::Form1a::testRunFinished);
        QVERIFY(finished.wait(40000));
        QVERIFY(save->isEnabled());
        QCOMPARE(save->shortcut(), QKeySequence(QKeySequence::Save));
    }
    void cleanupTestCase()
    {
        window_.reset();
        platform::SetDnsServerOverride(QString(), 0);
        platform::SetMessageHandler({});
    }

    void savedAsTarvolinReportComposes_data()
    {
        QTest::addColumn<Format>("format");
        QTest::addColumn<bool>("hideMac");
        QTest::newRow("text") << Format::Text << true;
        QTest::newRow("JSON") << Format::Json << true;
        QTest::newRow("HTML") << Format::Html << true;
        QTest::newRow("text with hardware addresses") << Format::Text << false;
    }
    void savedAsTarvolinReportComposes()
    {
        QFETCH(Format, format);
        QFETCH(bool, hideMac);
        const QString path = folder_.filePath(QStringLiteral("report-%1").arg(QTest::currentDataTag()));
        QVERIFY(window_->saveReport(path, format, hideMac));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString saved = QString::fromUtf8(file.readAll());

        // What tarvolin-report prints for the same window.
        app::RunReport report = app::CollectRunReport(*window_, {}, window_->runStartedAt(), window_->runSeconds());
        if (hideMac)
            report = app::WithoutHardwareAddresses(report);
        const QByteArray expected = format == Format::Json   ? app::ReportAsJson(report)
                                    : format == Format::Html ? app::ReportAsHtml(report)
                                                             : app::ReportAsText(report);
        QCOMPARE(WithoutTimes(saved), WithoutTimes(QString::fromUtf8(expected)));
        QVERIFY(saved.contains(QStringLiteral("198.51.100.7")));
        // The report box ends with this machine's own listing: its hardware addresses.
        QCOMPARE(kMac.match(saved).hasMatch(), !hideMac && window_->reportText().contains(kMac));
        if (hideMac && window_->reportText().contains(kMac))
            QVERIFY(saved.contains(QStringLiteral("xx:xx:xx:xx:xx:xx")));
        if (format == Format::Json) {
            const QJsonObject doc = QJsonDocument::fromJson(saved.toUtf8()).object();
            QCOMPARE(doc.value(QStringLiteral("startedAt")).toString(),
                     window_->runStartedAt().toString(Qt::ISODate));
            QVERIFY(doc.value(QStringLiteral("durationSeconds")).toDouble() > 0);
        }
        if (format == Format::Html) {
            static const QRegularExpression external(
                QStringLiteral("<script|<link|<img|<iframe|\\b(src|href)\\s*=|url\\(|@import"),
                QRegularExpression::CaseInsensitiveOption);
            QVERIFY2(!saved.contains(external), qPrintable(external.match(saved).captured()));
        }
        if (format == Format::Text)
            QVERIFY(saved.contains(QStringLiteral("\nПроверенные адреса: STUN 127.0.0.2:")));
    }

    void unwritableFileLeavesNothing()
    {
        messages_.clear();
        QDir dir(folder_.path());
        QVERIFY(dir.mkpath(QStringLiteral("taken")));
        const QStringList before = dir.entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
        // A folder stands where the file would go; and a folder that does not exist.
        for (const QString& name : {QStringLiteral("taken"), QStringLiteral("missing/report.txt")}) {
            QVERIFY(!window_->saveReport(dir.filePath(name), Format::Text, true));
            QCOMPARE(dir.entryList(QDir::AllEntries | QDir::NoDotAndDotDot), before);
        }
        QCOMPARE(messages_.size(), 2);
        QVERIFY(messages_.first().startsWith(QStringLiteral("Не удалось сохранить отчёт в файл ")));
        QVERIFY(messages_.first().endsWith(QStringLiteral(" !!!")));
    }

    void copiedWithoutHardwareAddresses()
    {
        window_->copyReport();
        const QString copied = QGuiApplication::clipboard()->text();
        QVERIFY(copied.startsWith(QStringLiteral("Tarvolin  v.")));
        QVERIFY(!copied.contains(kMac));
    }

    void hardwareAddresses_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        QTest::newRow("link/ether and broadcast") << "link/ether 52:54:00:12:ab:CD brd ff:ff:ff:ff:ff:ff"
                                                  << "link/ether xx:xx:xx:xx:xx:xx brd xx:xx:xx:xx:xx:xx";
        QTest::newRow("with dashes") << "Physical Address: 52-54-00-12-AB-CD." << "Physical Address: xx:xx:xx:xx:xx:xx.";
        QTest::newRow("IPv6 address stays") << "inet6 fe80::5054:ff:fe12:abcd/64" << "inet6 fe80::5054:ff:fe12:abcd/64";
        QTest::newRow("IPv6 with six short groups stays") << "2001:db8:aa:bb:cc:dd:ee:ff" << "2001:db8:aa:bb:cc:dd:ee:ff";
        QTest::newRow("mixed separators stay") << "52:54-00:12-ab:cd" << "52:54-00:12-ab:cd";
        QTest::newRow("a time stays") << "17:40:49" << "17:40:49";
        QTest::newRow("infiniband-length address stays whole") << "00:11:22:33:44:55:66:77" << "00:11:22:33:44:55:66:77";
    }
    void hardwareAddresses()
    {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        QCOMPARE(app::WithoutHardwareAddresses(text), expected);
    }
};

QTEST_MAIN(TestReportSaving)
#include "test_report_saving.moc"
