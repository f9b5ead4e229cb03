// SPDX-License-Identifier: Apache-2.0
// The timed test run of the main window: two ticks of Timer1. The phase is
// carried by the timer's interval: 1 ms means the first tick.
#include "app/main_window.h"
#include "probes/ping_statistics.h"
#include "app/report.h"
#include "platform/socket_set.h"
#include "platform/window_service.h"
#include "probes/ping.h"

#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTimer>
#include <array>
#include <QCoreApplication>

namespace app {

void Form1a::Timer1_Timer()
{
    if (loading_ > 0)
        return;  // the timer keeps running; its next tick after loading counts
    if (platform::InWindowService()) {
        // A tick due while another step waits (a tool window's echo) runs
        // once that step is over, never inside it.
        Timer1_->stop();
        platform::RunAfterWindowService(this, [this] { Timer1_Timer(); });
        return;
    }
    if (Timer1_->interval() == 1)
        runFirstTick();
    else
        runSecondTick();
}

void Form1a::runFirstTick()
{
    // The echoes block the thread; keep the timer from queueing another tick meanwhile.
    Timer1_->stop();
    runStep_ = RunStep::Echoes;
    Ping_->setText(QCoreApplication::translate("TestRun", "Пинг на ") + deps_.endpoints.displayName + QStringLiteral("\r\n\r\n"));
    probes::PingTimeout = 1000;
    repaint();
    state_.LostPackets = 0;
    echoes_.clear();

    std::array<int16_t, 10> rtt{};
    for (int i = 0; i < 10; ++i) {
        probes::EchoReply reply;
        probes::PingEcho(deps_.endpoints.pingTarget, reply);
        const int16_t time = probes::CappedRoundTrip(reply.RoundTripTime);
        Ping_->setText(Ping_->text() + probes::PingLogLine(i, static_cast<uint32_t>(time), reply.Status));
        if (reply.Status != 0)
            ++state_.LostPackets;
        rtt[i] = time;
        echoes_.append({time, reply.Status});
        repaint();
    }

    const probes::PingSeriesResult series =
        probes::SummarizePingSeries(rtt, state_.LostPackets, state_.AvgDelay, state_.Jitter);
    Ping_->setText(Ping_->text() + series.text);
    state_.AvgDelay = series.avgDelay;
    state_.Jitter = series.jitter;

    runStep_ = RunStep::Answers;
    SendSIP();
    SendStun();
    SendUPnP();

    Timer1_->setInterval(probes::WaitingInterval(state_.AvgDelay));
    Timer1_->start();
}

void Form1a::runSecondTick()
{
    ReportInput input;
    input.state = state_;
    input.probeLocalPort = runProbePort_;
    input.table = interfaceTable_;
    input.ipAdrCaption = IPAdr_->text();
    input.natTypeCaption = NATType_->text();
    input.stunPortCaption = STUN_Port_->text();
    input.sipSupCaption = SIPsup_->text();
    input.upnpCaption = UPnP_->text();
    input.ipsCaption = IPs_->text();
    const ReportOutput output = ComposeReport(input);
    STUN_Port_->setText(output.stunPortCaption);
    IPs_->setText(output.ipsCaption);
    SIPsup_->setText(output.sipSupCaption);

    QString report = output.reportText;
    const QString path = listingFilePath();
    if (!path.isEmpty() && QFile::exists(path)) {
        QFile file(path);
        if (file.open(QIODevice::ReadOnly))
            report += probes::ListingTextForReport(QString::fromLocal8Bit(file.readAll()));
        file.close();
        QFile::remove(path);
    }
    setReportText(report);

    Timer1_->stop();
    runStep_ = RunStep::Finished;
    runSecondsAtEnd_ = runClock_.elapsed() / 1000.0;
    saveReport_->setEnabled(true);
    copyReport_->setEnabled(true);
    emit testRunFinished();
}

}  // namespace app
