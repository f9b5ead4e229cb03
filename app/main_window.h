// SPDX-License-Identifier: Apache-2.0
#pragma once
// The main window: start-up survey, the two-tick test run, the probes'
// sending and answer handling, and the menu.
#include "app/test_run_state.h"
#include "platform/interfaces.h"
#include "probes/endpoints.h"
#include "probes/stun_answer_check.h"
#include "tools/stun_survey.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QWidget>
#include <QList>
#include <functional>
#include <memory>

class QAction;
class QLabel;
class QMenu;
class QPlainTextEdit;
class QProcess;
class QPushButton;
class QTimer;
class QTemporaryDir;

namespace platform {
class NotificationSink;
}

namespace app {

struct ExtendedReport;

// What the main window talks to; tests replace the built-in values.
struct MainWindowDependencies {
    probes::ProviderEndpoints endpoints = probes::ProviderEndpoints::builtIn();
    probes::WebPages pages = probes::WebPages::builtIn();
    std::function<platform::InterfaceTable()> listInterfaces = platform::ListInterfaces;
    // Servers of the STUN survey window; empty: its built-in list of public servers.
    QList<tools::SurveyServer> surveyServers;
};

class Form1a : public QWidget {
    Q_OBJECT
public:
    using Dependencies = MainWindowDependencies;

    explicit Form1a(Dependencies deps = Dependencies(), QWidget* parent = nullptr);
    ~Form1a() override;

    // Start-up survey; arms Timer1 for the test run.
    void Form_Load();
    // "Повторить тест".
    void RestartTest();

    // The probes: send only; answers come through the sinks.
    void SendStun();
    void SendSIP();
    void SendUPnP();
    // Capture of the system's interface listing into temp.tmp.
    void ipconfig();

    // Tool windows opened from the menu.
    void OpenPassageTest();
    void OpenStunSurvey();
    void OpenDnsSrvWindow();
    void OpenPingWindow();
    void OpenExtendedNatTest();

    TestRunState& state() { return state_; }
    const TestRunState& state() const { return state_; }
    // The echoes of the last series, in order.
    const QList<EchoRecord>& echoes() const { return echoes_; }
    const platform::InterfaceTable& interfaceTable() const { return interfaceTable_; }
    const probes::ProviderEndpoints& endpoints() const { return deps_.endpoints; }
    QString listingFilePath() const;
    // Text of the report box exactly as composed (CR LF line ends).
    QString reportText() const { return reportText_; }
    QMenu* menu() const { return mnuText_; }
    QTimer* timer() const { return Timer1_; }
    RunStep runStep() const { return runStep_; }
    // When the last test run started, and how long it took (so far, while it runs).
    QDateTime runStartedAt() const { return runStartedAt_; }
    double runSeconds() const
    {
        return runSecondsAtEnd_ >= 0 ? runSecondsAtEnd_ : runClock_.isValid() ? runClock_.elapsed() / 1000.0 : 0;
    }
    // The extended test's findings of this session (the last time its window ran).
    const ExtendedReport* lastExtendedFindings() const { return lastExtended_.get(); }
    void setLastExtendedFindings(const ExtendedReport& findings);

    // "Сохранить отчёт…" and "Копировать отчёт": the report as tarvolin-report
    // composes it. saveReport writes the whole file or nothing (a message
    // says why) and returns whether it did.
    enum class ReportFormat { Text, Json, Html };
    bool saveReport(const QString& path, ReportFormat format, bool hideHardwareAddresses);
    void copyReport();
    void SaveReportDialog();

signals:
    // The second tick has written the report.
    void testRunFinished();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    void buildMenu();
    void Timer1_Timer();
    void runFirstTick();
    void runSecondTick();
    void HandleStunReply();
    void HandleFixedPortReply();
    void TcpConnected();
    void FirstHopCheck();
    void DnsTest();
    void openSockets();
    void Form_Unload();
    void stopCapture();
    void appendIps(const QString& text);
    void setReportText(const QString& text);
    void openPage(const QString& url);
    void showInterfaceListing();
    void showAbout();
    [[noreturn]] void exitProgram();

    Dependencies deps_;
    TestRunState state_;
    QList<EchoRecord> echoes_;
    platform::InterfaceTable interfaceTable_;
    bool unloaded_ = false;
    RunStep runStep_ = RunStep::Startup;
    QDateTime runStartedAt_;
    QElapsedTimer runClock_;
    double runSecondsAtEnd_ = -1;
    std::shared_ptr<const ExtendedReport> lastExtended_;
    QAction* saveReport_ = nullptr;
    QAction* copyReport_ = nullptr;
    // Set while the load sequence (or a restart) runs: a message box shown
    // meanwhile runs an event loop, and Timer1 must not tick inside it.
    int loading_ = 0;
    // The run's STUN requests (where they went, which were sent) and the
    // local port of the socket they left from: the verdict compares the
    // mapped port with that port even when a tool window has opened a socket
    // set of its own meanwhile.
    probes::StunRunRequests stunRun_;
    int runProbePort_ = 0;
    QString reportText_;
    QProcess* capture_ = nullptr;  // the running listing capture, if any

    QPushButton* Command5_ = nullptr;
    QPushButton* Command3_ = nullptr;
    platform::NotificationSink* Sig_ = nullptr;
    platform::NotificationSink* Sig2_ = nullptr;
    platform::NotificationSink* Sig3_ = nullptr;
    QTimer* Timer1_ = nullptr;
    QPlainTextEdit* Label2_ = nullptr;
    QLabel* Ping_ = nullptr;
    QLabel* IPAdr_ = nullptr;
    QLabel* NATType_ = nullptr;
    QLabel* SIPsup_ = nullptr;
    QLabel* UPnP_ = nullptr;
    QLabel* STUN_Port_ = nullptr;
    QLabel* IPs_ = nullptr;
    QLabel* Image1_ = nullptr;
    QMenu* mnuText_ = nullptr;
};

// The main window exactly as the program starts it: built-in endpoints,
// shown and painted, then the load sequence run; from here on the windows
// stay served while an echo waits (platform/window_service.h). Shared by the
// program and the scenario runner.
std::unique_ptr<Form1a> StartMainWindow();

// Private temporary directory of this process (removed at exit).
QString PrivateTempPath();
void RemovePrivateTempDir();

}  // namespace app
