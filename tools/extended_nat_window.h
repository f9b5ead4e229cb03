// SPDX-License-Identifier: Apache-2.0
#pragma once
// "Расширенный тест NAT": how the NAT maps and filters (RFC 4787 terms), how
// long it keeps an idle binding, hairpinning and the RTP port pair, measured
// against the provider's STUN server with the window's own sockets.
#include "probes/endpoints.h"
#include "probes/extended_nat_test.h"
#include "tools/extended_paths.h"

#include <QDialog>
#include <QElapsedTimer>
#include <QHash>
#include <QJsonObject>
#include <memory>

class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QTimer;

namespace platform {
class UdpSocket;
}

namespace tools {

class ExtendedSummaryView;
class PlotView;

class Form5 : public QDialog, private probes::SocketHost {
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
    bool testRunning() const { return (test_ && test_->running()) || paths_->running(); }
    int openSocketCount() const { return static_cast<int>(sockets_.size()); }

public slots:
    void Command1_Click();  // "Начать тест"
    void Command2_Click();  // "Остановить"

signals:
    // The test ran to its end or was stopped; the result text is complete.
    void testFinished();

protected:
    void done(int result) override;

private:
    int openSocket(int handle, int port) override;
    void send(int handle, const probes::stun5780::Endpoint& to, const QByteArray& data) override;
    void closeSocket(int handle) override;

    void readSocket(int handle);
    void Timer1_Timer();
    void afterEvent();
    void closeAllSockets();
    void startPaths();
    void finishTest();
    // The summary rows from the findings so far; a row scrolls to its finding.
    void showSummary();
    void scrollToFinding(const QString& key);

    probes::ProviderEndpoints endpoints_;
    QList<probes::Measurement> measurements_ = probes::AllMeasurements();
    QStringList localAddresses_;
    bool localAddressesSet_ = false;
    probes::LifetimeSearch lifetime_;
    std::unique_ptr<probes::ExtendedNatTest> test_;
    QHash<int, platform::UdpSocket*> sockets_;
    QElapsedTimer clock_;
    QString resultText_;
    bool reported_ = false;
    ExtendedPathsRun* paths_ = nullptr;
    QSet<PathSection> pathSections_ = AllPathSections();
    bool stopped_ = false;
    bool pathsStarting_ = false;
    bool closed_ = false;         // "Закрыть" (or the frame) ended the dialog  // the STUN server's name is being looked up

    QPushButton* Command1_ = nullptr;
    QPushButton* Command2_ = nullptr;
    QPushButton* Command3_ = nullptr;
    QProgressBar* ProgressBar1_ = nullptr;
    QLabel* Label1_ = nullptr;
    QPlainTextEdit* Text1_ = nullptr;
    QTimer* Timer1_ = nullptr;
    ExtendedSummaryView* Summary_ = nullptr;
    PlotView* VoicePlot_ = nullptr;
    PlotView* LifetimePlot_ = nullptr;
};

}  // namespace tools
