// SPDX-License-Identifier: Apache-2.0
#include "app/report.h"
#include "app/report_html.h"
#include "app/report_json.h"
#include "probes/extended_summary.h"
#include "probes/nat_classifier.h"
#include "app/translation.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QtTest>

using namespace app;

class TestTranslation : public QObject {
    Q_OBJECT
private slots:
    void uiLanguages_data();
    void uiLanguages();
    void langOption_data();
    void langOption();
    void builtInEnglish();
    void textsOfEachLanguage_data();
    void textsOfEachLanguage();
};

void TestTranslation::uiLanguages_data()
{
    QTest::addColumn<QStringList>("languages");
    QTest::addColumn<bool>("english");
    QTest::newRow("en_US") << QStringList{"en-US", "en"} << true;
    QTest::newRow("ru_RU") << QStringList{"ru-RU", "ru"} << false;
    QTest::newRow("C locale") << QStringList{"C"} << false;
    QTest::newRow("none") << QStringList{} << false;
    QTest::newRow("LANGUAGE=de:en:ru") << QStringList{"de-DE", "en", "ru"} << true;
    QTest::newRow("LANGUAGE=fr:ru:en") << QStringList{"fr", "ru", "en-GB"} << false;
    QTest::newRow("German only") << QStringList{"de-DE", "de"} << false;
    QTest::newRow("underscore form") << QStringList{"en_GB"} << true;
    QTest::newRow("not English: eo, enq") << QStringList{"eo", "enq"} << false;
    QTest::newRow("upper case") << QStringList{"EN-us"} << true;
}

void TestTranslation::uiLanguages()
{
    QFETCH(QStringList, languages);
    QFETCH(bool, english);
    QCOMPARE(LanguageOfUiLanguages(languages) == Language::English, english);
}

void TestTranslation::langOption_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<int>("language");  // -1 refused, 0 Russian, 1 English
    QTest::newRow("ru") << "ru" << 0;
    QTest::newRow("en") << "en" << 1;
    QTest::newRow("empty") << "" << -1;
    QTest::newRow("EN") << "EN" << -1;
    QTest::newRow("en_US") << "en_US" << -1;
    QTest::newRow("de") << "de" << -1;
}

void TestTranslation::langOption()
{
    QFETCH(QString, value);
    QFETCH(int, language);
    const std::optional<Language> parsed = ParseLanguage(value);
    QCOMPARE(parsed ? int(*parsed) : -1, language);
}

// The translation is in the program's resources and turns a Russian text of
// the report into English; back to Russian, the text is as written.
void TestTranslation::builtInEnglish()
{
    const QString russian = GradeText(3, 40, 0, 5);
    QVERIFY(russian.startsWith(QStringLiteral("Качество Интернет канала отличное!")));
    QVERIFY(InstallTranslation(Language::English));
    QCOMPARE(CurrentLanguage(), Language::English);
    const QString english = GradeText(3, 40, 0, 5);
    QVERIFY2(english.startsWith(QStringLiteral("The Internet connection is excellent")), qPrintable(english));
    // Qt's own dialog texts stay Qt's English beside the English translation.
    QCOMPARE(QCoreApplication::translate("QFileDialog", "Look in:"), QStringLiteral("Look in:"));
    QVERIFY(InstallTranslation(Language::Russian));
    QCOMPARE(CurrentLanguage(), Language::Russian);
    QCOMPARE(GradeText(3, 40, 0, 5), russian);
    // In Russian the file dialog speaks Russian too (the test command installs
    // the system's Qt translations).
    QCOMPARE(QCoreApplication::translate("QFileDialog", "Look in:"), QStringLiteral("Перейти к:"));
}

// What the user reads follows the language; the NAT caption's English line
// and the JSON summary row's name do not.
void TestTranslation::textsOfEachLanguage_data()
{
    QTest::addColumn<int>("language");
    QTest::addColumn<QStringList>("texts");
    QTest::newRow("Russian") << int(Language::Russian)
                             << QStringList{"Полный конус\r\nFull Cone", "Протокол UDP заблокирован\r\nUDP Blocked",
                                            "Всё в порядке", "Петля через NAT", "Петля через NAT", "в порядке",
                                            "поддерживается", "окно пинга", "echoes", "ru"};
    QTest::newRow("English") << int(Language::English)
                             << QStringList{"Full cone\r\nFull Cone", "UDP blocked\r\nUDP Blocked", "All OK",
                                            "Петля через NAT", "Loop through the NAT", "OK", "supported",
                                            "ping window", "echoes", "en"};
}

void TestTranslation::textsOfEachLanguage()
{
    QFETCH(int, language);
    QFETCH(QStringList, texts);
    QVERIFY(InstallTranslation(Language(language)));
    probes::StunFlags fullCone;
    fullCone.gotMapped = fullCone.changeIpReply = 1;
    const QJsonObject summary = probes::SummaryJson(
        probes::SummarizeExtended(QJsonDocument::fromJson(R"({"hairpin":{"result":"supported"}})").object()));
    const QJsonObject row = summary.value("rows").toArray().at(0).toObject();
    const QStringList shown{probes::ClassifyNat(fullCone, "192.0.2.1", 4000, "10.0.0.2", 5000)->caption,
                            probes::UdpBlockedCaption(),
                            summary.value("action").toString(),
                            row.value("name").toString(),
                            probes::ShownRowName(row.value("name").toString()),
                            row.value("markText").toString(),
                            row.value("result").toString(),
                            RunStepDescription("ping"),
                            RunStepName(RunStep::Echoes),
                            QRegularExpression("<html lang=\"(\\w+)\">").match(QString::fromUtf8(ReportAsHtml({}))).captured(1)};
    InstallTranslation(Language::Russian);
    QCOMPARE(shown, texts);
}

QTEST_MAIN(TestTranslation)
#include "test_translation.moc"
