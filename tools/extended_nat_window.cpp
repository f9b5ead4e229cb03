// SPDX-License-Identifier: Apache-2.0
#include "tools/extended_nat_window.h"

#include "platform/interfaces.h"
#include "platform/socket_set.h"
#include "platform/udp_socket.h"
#include "platform/window_service.h"
#include "probes/extended_summary.h"
#include "tools/extended_plots.h"
#include "tools/extended_summary_view.h"

#include <QHBoxLayout>
#include <QTextDocument>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

namespace tools {

Form5::Form5(const probes::ProviderEndpoints& endpoints, QWidget* parent) : QDialog(parent), endpoints_(endpoints)
{
    setObjectName(QStringLiteral("Form5"));
    setWindowTitle(QStringLiteral("Расширенный тест NAT"));
    setModal(true);
    clock_.start();

    Text1_ = new QPlainTextEdit(this);
    Text1_->setObjectName(QStringLiteral("Text1"));
    Text1_->setReadOnly(true);
    Text1_->setMinimumSize(Text1_->fontMetrics().horizontalAdvance(QLatin1Char('m')) * 72, 240);

    Label1_ = new QLabel(QStringLiteral("Нажмите «Начать тест»."), this);
    Label1_->setObjectName(QStringLiteral("Label1"));
    ProgressBar1_ = new QProgressBar(this);
    ProgressBar1_->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1_->setRange(0, 100);
    ProgressBar1_->setValue(0);

    Command1_ = new QPushButton(QStringLiteral("Начать тест"), this);
    Command1_->setObjectName(QStringLiteral("Command1"));
    Command2_ = new QPushButton(QStringLiteral("Остановить"), this);
    Command2_->setObjectName(QStringLiteral("Command2"));
    Command2_->setEnabled(false);
    Command3_ = new QPushButton(QStringLiteral("Закрыть"), this);
    Command3_->setObjectName(QStringLiteral("Command3"));
    for (QPushButton* button : {Command1_, Command2_, Command3_})
        button->setAutoDefault(false);
    // The DNS queries of the path sections wait with the windows served:
    // stopping and closing still work then.
    platform::ServeWhileBusy(Command2_);
    platform::ServeWhileBusy(Command3_);

    Timer1_ = new QTimer(this);
    Timer1_->setObjectName(QStringLiteral("Timer1"));
    Timer1_->setSingleShot(true);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(Command1_);
    buttons->addWidget(Command2_);
    buttons->addStretch(1);
    buttons->addWidget(Command3_);

    Summary_ = new ExtendedSummaryView(this);
    connect(Summary_, &ExtendedSummaryView::detailsWanted, this, &Form5::scrollToFinding);

    VoicePlot_ = new PlotView(PlotKind::Voice, this);
    LifetimePlot_ = new PlotView(PlotKind::Lifetime, this);
    auto* plots = new QHBoxLayout;
    plots->addWidget(VoicePlot_, 3);
    plots->addWidget(LifetimePlot_, 2);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Summary_);
    layout->addLayout(plots);
    layout->addWidget(Text1_, 1);
    layout->addWidget(Label1_);
    layout->addWidget(ProgressBar1_);
    layout->addLayout(buttons);

    connect(Command1_, &QPushButton::clicked, this, &Form5::Command1_Click);
    connect(Command2_, &QPushButton::clicked, this, &Form5::Command2_Click);
    connect(Command3_, &QPushButton::clicked, this, &Form5::reject);
    connect(Timer1_, &QTimer::timeout, this, &Form5::Timer1_Timer);

    // The path sections run after the NAT measurements, on sockets of their own.
    paths_ = new ExtendedPathsRun(this);
    connect(paths_, &ExtendedPathsRun::progress, this, [this](const QString& step) {
        Label1_->setText(step);
        ProgressBar1_->setValue(paths_->percent());
    });
    connect(paths_, &ExtendedPathsRun::finished, this, &Form5::finishTest);
}

Form5::~Form5()
{
    Timer1_->stop();
    closeAllSockets();
}

void Form5::Command1_Click()
{
    if (testRunning())
        return;
    probes::ExtendedNatConfig config;
    closed_ = false;
    const QString server = platform::ResolveHostText(endpoints_.mainServer);
    if (closed_)
        return;  // closed while the name was looked up
    config.server = probes::stun5780::Endpoint{server, endpoints_.stunPort};
    if (!localAddressesSet_) {
        localAddresses_.clear();
        for (const platform::InterfaceEntry& entry : platform::ListInterfaces())
            localAddresses_ << entry.Address;
    }
    config.localAddresses = localAddresses_;
    config.measurements = measurements_;
    config.lifetime = lifetime_;

    closeAllSockets();
    reported_ = false;
    stopped_ = false;
    resultText_.clear();
    Text1_->clear();
    Summary_->clear();
    VoicePlot_->setFigures({});
    LifetimePlot_->setFigures({});
    probes::SocketHost& host = *this;
    test_ = std::make_unique<probes::ExtendedNatTest>(host, config);
    Command1_->setEnabled(false);
    Command2_->setEnabled(true);
    test_->start(clock_.elapsed());
    afterEvent();
}

void Form5::Command2_Click()
{
    if (pathsStarting_)
        stopped_ = true;  // taken once the server's name is looked up
    if (!testRunning())
        return;
    stopped_ = true;
    if (paths_->running()) {
        paths_->stop();
        return;
    }
    test_->stop(clock_.elapsed());
    afterEvent();
}

int Form5::openSocket(int handle, int port)
{
    auto* socket = new platform::UdpSocket(this);
    if (!socket->bind(port)) {
        delete socket;
        return -1;
    }
    sockets_.insert(handle, socket);
    connect(socket, &platform::UdpSocket::readyRead, this, [this, handle] { readSocket(handle); });
    return socket->localPort();
}

void Form5::send(int handle, const probes::stun5780::Endpoint& to, const QByteArray& data)
{
    if (platform::UdpSocket* socket = sockets_.value(handle))
        socket->sendTo(to.address, to.port, data);
}

void Form5::closeSocket(int handle)
{
    if (platform::UdpSocket* socket = sockets_.take(handle)) {
        socket->close();
        socket->deleteLater();
    }
}

void Form5::closeAllSockets()
{
    const QList<int> handles = sockets_.keys();
    for (int handle : handles)
        closeSocket(handle);
}

void Form5::readSocket(int handle)
{
    // The socket may be closed by the test while its datagrams are handled.
    while (platform::UdpSocket* socket = sockets_.value(handle)) {
        const std::optional<platform::ReceivedDatagram> datagram = socket->receive();
        if (!datagram)
            break;
        if (test_)
            test_->datagramArrived(handle, {datagram->fromAddress, datagram->fromPort}, datagram->data,
                                   clock_.elapsed());
    }
    afterEvent();
}

void Form5::Timer1_Timer()
{
    if (test_)
        test_->timerFired(clock_.elapsed());
    afterEvent();
}

void Form5::afterEvent()
{
    if (!test_)
        return;
    ProgressBar1_->setValue(test_->percent());
    Label1_->setText(test_->stepText());
    const QString text = probes::FindingsText(test_->findings());
    if (text != resultText_) {
        resultText_ = text;
        Text1_->setPlainText(text);
    }
    if (const std::optional<qint64> next = test_->nextDeadline())
        Timer1_->start(static_cast<int>(std::clamp<qint64>(*next - clock_.elapsed(), 0, 600000)));
    else
        Timer1_->stop();
    if (test_->finished() && !reported_) {
        reported_ = true;
        closeAllSockets();
        if (stopped_ || pathSections_.isEmpty())
            finishTest();
        else
            startPaths();
    }
}

void Form5::startPaths()
{
    ExtendedPathsConfig config;
    pathsStarting_ = true;
    config.stunServer = platform::ResolveHostText(endpoints_.mainServer);
    pathsStarting_ = false;
    if (stopped_) {
        finishTest();
        return;
    }
    config.stunPort = endpoints_.stunPort;
    config.hopTarget = config.stunServer;
    config.domain = endpoints_.domain;
    config.ssdpGroup = endpoints_.ssdpGroup;
    config.sipPort = endpoints_.sipPort;
    config.secondSipPort = endpoints_.secondSipPort;
    config.stunServer6 = endpoints_.stunServer6;
    config.stunAlternate6 = endpoints_.stunAlternate6;
    config.stunPort6 = endpoints_.stunPort6;
    if (test_)
        for (const probes::Finding& f : test_->findings())
            if (f.kind == probes::Measurement::Lifetime)
                config.keepAlive4Seconds = f.figures.value(QStringLiteral("keepAliveSeconds")).toInt();
    config.sections = pathSections_;
    ProgressBar1_->setValue(0);
    paths_->start(config);
}

void Form5::finishTest()
{
    // The NAT findings, then one section per path finding.
    QString text = test_ ? probes::FindingsText(test_->findings()) : QString();
    // A stopped run shows no path findings: half-measured, they would mislead.
    if (!stopped_ && !pathSections_.isEmpty()) {
        for (const PathSectionText& section : paths_->sections())
            text += (text.isEmpty() ? QString() : QStringLiteral("\r\n\r\n")) + section.title
                + QStringLiteral("\r\n") + section.text;
    }
    resultText_ = text;
    Text1_->setPlainText(text);
    showSummary();
    ProgressBar1_->setValue(100);
    Label1_->setText(stopped_ ? QStringLiteral("Тест остановлен.") : QStringLiteral("Тест завершён."));
    Command1_->setEnabled(true);
    Command2_->setEnabled(false);
    emit testFinished();
}

QJsonObject Form5::figures() const
{
    if (!test_)
        return QJsonObject();
    QJsonObject json = probes::FindingsJson(test_->findings());
    for (auto it = json.begin(); it != json.end(); ++it) {
        QJsonObject member = it.value().toObject();
        member.insert(QStringLiteral("seconds"), test_->durations().value(it.key()));
        it.value() = member;
    }
    if (!stopped_ && !pathSections_.isEmpty()) {
        json.insert(QStringLiteral("paths"), paths_->json());
        if (pathSections_.contains(PathSection::Sip))
            json.insert(QStringLiteral("sipPath"), paths_->sipJson());
        if (pathSections_.contains(PathSection::Ipv6))
            json.insert(QStringLiteral("ipv6"), paths_->ipv6Json());
    }
    json.insert(QStringLiteral("summary"), probes::SummaryJson(probes::SummarizeExtended(json)));
    return json;
}

void Form5::showSummary()
{
    const QJsonObject json = figures();
    Summary_->setSummary(probes::SummarizeExtended(json));
    VoicePlot_->setFigures(json);
    LifetimePlot_->setFigures(json);
    // The summary and the pictures take room of their own: grow to hold them.
    layout()->activate();
    const QSize needed = minimumSizeHint().expandedTo(sizeHint());
    if (height() < needed.height() || width() < needed.width())
        resize(size().expandedTo(needed));
}

void Form5::scrollToFinding(const QString& key)
{
    // Each finding starts with its title on a line of its own.
    QString title;
    if (test_)
        for (const probes::Finding& f : test_->findings())
            if (probes::MeasurementName(f.kind) == key)
                title = f.title;
    const QHash<QString, PathSection> paths = {{QStringLiteral("nat"), PathSection::Nat},
                                               {QStringLiteral("ports"), PathSection::Ports},
                                               {QStringLiteral("voice"), PathSection::Voice},
                                               {QStringLiteral("dns"), PathSection::Dns},
                                               {QStringLiteral("sip"), PathSection::Sip},
                                               {QStringLiteral("ipv6"), PathSection::Ipv6}};
    if (paths.contains(key))
        for (const PathSectionText& section : paths_->sections())
            if (section.section == paths.value(key))
                title = section.title;
    if (title.isEmpty())
        return;
    QTextCursor found = Text1_->document()->find(title);
    if (found.isNull())
        return;
    // Bring the title to the top: the end of the text first, then back to it.
    Text1_->moveCursor(QTextCursor::End);
    Text1_->setTextCursor(found);
    Text1_->ensureCursorVisible();
    Text1_->setFocus();
}

void Form5::done(int result)
{
    stopped_ = true;
    closed_ = true;
    paths_->stop();
    if (test_ && test_->running())
        test_->stop(clock_.elapsed());
    Timer1_->stop();
    closeAllSockets();
    QDialog::done(result);
}

}  // namespace tools
