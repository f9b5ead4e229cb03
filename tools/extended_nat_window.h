// SPDX-License-Identifier: Apache-2.0
#pragma once
// "Расширенный тест NAT": how the NAT maps and filters (RFC 4787 terms), how
// long it keeps an idle binding, hairpinning and the RTP port pair, measured
// against the provider's STUN server with the window's own sockets, then the
// path sections. The lifetime search spends nearly all its time waiting: the
// other measurements and the path sections run meanwhile, each on sockets of
// its own, so that none of them refreshes a binding the search watches.
#include "probes/endpoints.h"
#include "probes/extended_nat_test.h"
#include "tools/extended_paths.h"

#include <QDialog>
#include <QHash>
#include <QJsonObject>

class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QTimer;

namespace tools {

class ExtendedSummaryView;
class NatTestRun;
class PlotView;

class Form5 : public QDialog {
    Q_OBJECT
public:
    explicit Form5(const probes::ProviderEndpoints& endpoints, QWidget* parent = nullptr);
    ~Form5() override;

    // Measurements run by "Начать тест" (all by default).
    void setMeasurements(const QList<probes::Measurement>& measurements) { measurements_ = measurements; }
    // The computer's own addresses (for "no NAT"); the interface list by default.
    void setLocalAddresses(const QStringList& addresses)
    {
        localAddresses_ = addresses;
        localAddressesSet_ = true;
    }
    // Shorter searches for tests.
    void setLifetimeSearch(const probes::LifetimeSearch& search) { lifetime_ = search; }
    // Sections of the path test that follow the NAT measurements (all by default).
    void setPathSections(const QSet<PathSection>& sections) { pathSections_ = sections; }
    const ExtendedPathsRun& pathsRun() const { return *paths_; }

    // The result text exactly as composed (CR LF line ends).
    QString resultText() const { return resultText_; }
    // Figures of the last test, one member per measurement, with "seconds" each.
    QJsonObject figures() const;
    bool testRunning() const;
    int openSocketCount() const;
    // The local ports the lifetime search holds now (none when it is not running).
    QList<int> lifetimePorts() const;

public slots:
    void Command1_Click();  // "Начать тест"
    void Command2_Click();  // "Остановить"

signals:
    // The test ran to its end or was stopped; the result text is complete.
    void testFinished();

protected:
    void done(int result) override;

private:
    // The findings of both NAT test runs, in the order of the measurements.
    QList<probes::Finding> findings() const;
    void showProgress();
    // The measurements beside the lifetime search are over: the path sections next.
    void othersFinished();
    void startPaths();
    // Ends the test once nothing runs any more.
    void finishWhenIdle();
    void finishTest();
    // The summary rows from the findings so far; a row scrolls to its finding.
    void showSummary();
    void scrollToFinding(const QString& key);

    probes::ProviderEndpoints endpoints_;
    QList<probes::Measurement> measurements_ = probes::AllMeasurements();
    QStringList localAddresses_;
    bool localAddressesSet_ = false;
    probes::LifetimeSearch lifetime_;
    NatTestRun* lifetimeRun_ = nullptr;   // the lifetime search alone
    NatTestRun* othersRun_ = nullptr;     // the other measurements, one after another
    QString resultText_;
    ExtendedPathsRun* paths_ = nullptr;
    QSet<PathSection> pathSections_ = AllPathSections();
    bool active_ = false;         // a test is under way (started, not yet finished)
    bool pathsPending_ = false;   // the path sections wait for the other measurements
    bool stopped_ = false;
    bool pathsStarting_ = false;  // the STUN server's name is being looked up
    bool closed_ = false;         // "Закрыть" (or the frame) ended the dialog

    QPushButton* Command1_ = nullptr;
    QPushButton* Command2_ = nullptr;
    QPushButton* Command3_ = nullptr;
    QProgressBar* ProgressBar1_ = nullptr;   // the measurement or section under way
    QLabel* Label1_ = nullptr;
    QProgressBar* ProgressBar2_ = nullptr;   // the lifetime search, beside it
    QLabel* Label2_ = nullptr;
    QPlainTextEdit* Text1_ = nullptr;
    QTimer* refresh_ = nullptr;
    ExtendedSummaryView* Summary_ = nullptr;
    PlotView* VoicePlot_ = nullptr;
    PlotView* LifetimePlot_ = nullptr;
};

}  // namespace tools
