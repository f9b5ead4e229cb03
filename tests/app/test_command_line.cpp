// SPDX-License-Identifier: Apache-2.0
#include "app/command_line.h"

#include <QtTest>

using namespace app;

class TestCommandLine : public QObject {
    Q_OBJECT
private slots:
    void timeout_data();
    void timeout();
    void programArguments_data();
    void programArguments();
    void helpNamesTheProgram();
};

void TestCommandLine::timeout_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("seconds");  // 0: refused
    QTest::newRow("one second") << "1" << 1;
    QTest::newRow("a day") << "86400" << 86400;
    QTest::newRow("default") << "180" << 180;
    QTest::newRow("zero") << "0" << 0;
    QTest::newRow("a day and a second") << "86401" << 0;
    QTest::newRow("milliseconds beyond an int") << "4294968" << 0;
    QTest::newRow("beyond 64 bits") << "99999999999999999999" << 0;
    QTest::newRow("negative") << "-5" << 0;
    QTest::newRow("with a unit") << "10s" << 0;
    QTest::newRow("fraction") << "1.5" << 0;
    QTest::newRow("empty") << "" << 0;
}

void TestCommandLine::timeout()
{
    QFETCH(QString, text);
    QFETCH(int, seconds);
    QCOMPARE(ParseTimeoutSeconds(text).value_or(0), seconds);
}

void TestCommandLine::programArguments_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("action");
    const int run = ProgramCommand::Run, help = ProgramCommand::Help, version = ProgramCommand::Version,
              error = ProgramCommand::UsageError;
    QTest::newRow("none") << QStringList{} << run;
    QTest::newRow("--help") << QStringList{"--help"} << help;
    QTest::newRow("-h") << QStringList{"-h"} << help;
    QTest::newRow("--version") << QStringList{"--version"} << version;
    QTest::newRow("Qt's platform with its value") << QStringList{"-platform", "offscreen"} << run;
    QTest::newRow("Qt option with two dashes and =") << QStringList{"--style=fusion"} << run;
    QTest::newRow("a value that looks like --help is a value") << QStringList{"-qwindowtitle", "--help"} << run;
    QTest::newRow("Qt option without its value") << QStringList{"-display"} << error;
    QTest::newRow("unknown option") << QStringList{"--bogus"} << error;
    QTest::newRow("unknown option before --version") << QStringList{"--bogus", "--version"} << error;
    QTest::newRow("a file name") << QStringList{"report.txt"} << error;
    QTest::newRow("help after a Qt option") << QStringList{"-reverse", "--help"} << help;
}

void TestCommandLine::programArguments()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, action);
    const ProgramCommand command = ParseProgramArguments(arguments);
    QCOMPARE(int(command.action), action);
    QCOMPARE(command.message.isEmpty(), action != ProgramCommand::UsageError);
}

void TestCommandLine::helpNamesTheProgram()
{
    const QString qtHelp = QStringLiteral("Usage: /usr/lib/x/tarvolin-report [options]\nRuns Tarvolin.\n");
    QCOMPARE(HelpWithProgramName(qtHelp, QStringLiteral("tarvolin-report")),
             QStringLiteral("Usage: tarvolin-report [options]\nRuns Tarvolin.\n"));
    QVERIFY(VersionBlurb(QStringLiteral("tarvolin")).contains(QStringLiteral("\nLicense: Apache-2.0")));
}

QTEST_GUILESS_MAIN(TestCommandLine)
#include "test_command_line.moc"
