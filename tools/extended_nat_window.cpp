// SPDX-License-Identifier: Apache-2.0
#include "tools/extended_nat_window.h"

#include "platform/interfaces.h"
#include "platform/socket_set.h"
#include "platform/udp_socket.h"
#include "platform/window_service.h"
#include "probes/extended_summary.h"
#include "tools/extended_plots.h"
#include "tools/extended_summary_view.h"
#include "tools/nat_test_run.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTextDocument>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <QCoreApplication>

namespace tools {

namespace {

QString LifetimeCaption() { return QCoreApplication::translate("ExtendedNatWindow", "Время жизни отображения"); }

// The lifetime search's step under its caption, with the caption's mnemonic.
QString LifetimeLabel(const QString& step)
{
    QString detail = step;
    if (detail.startsWith(LifetimeCaption()))
        detail = detail.mid(LifetimeCaption().size()).section(QLatin1Char(':'), 1).trimmed();
    const QString caption = QCoreApplication::translate("ExtendedNatWindow", "Время &жизни отображения");
    return detail.isEmpty() ? caption : caption + QStringLiteral(": ") + detail;
}

}  // namespace

Form5::Form5(const probes::ProviderEndpoints& endpoints, QWidget* parent) : QDialog(parent), endpoints_(endpoints)
{
    setObjectName(QStringLiteral("Form5"));
    setWindowTitle(QCoreApplication::translate("ExtendedNatWindow", "Расширенный тест NAT"));
    setModal(true);

    Text1_ = new QPlainTextEdit(this);
    Text1_->setObjectName(QStringLiteral("Text1"));
    Text1_->setReadOnly(true);
    Text1_->setMinimumSize(Text1_->fontMetrics().horizontalAdvance(QLatin1Char('m')) * 72, 240);

    Label1_ = new QLabel(QCoreApplication::translate("ExtendedNatWindow", "Нажмите «Начать тест»."), this);
    Label1_->setObjectName(QStringLiteral("Label1"));
    ProgressBar1_ = new QProgressBar(this);
    ProgressBar1_->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1_->setRange(0, 100);
    ProgressBar1_->setValue(0);
    ProgressBar1_->setAccessibleName(QCoreApplication::translate("ExtendedNatWindow", "Ход текущей проверки"));
    ProgressBar2_ = new QProgressBar(this);
    ProgressBar2_->setObjectName(QStringLiteral("ProgressBar2"));
    ProgressBar2_->setRange(0, 100);
    ProgressBar2_->setValue(0);
    ProgressBar2_->setAccessibleName(QCoreApplication::translate("ExtendedNatWindow", "Ход поиска времени жизни отображения"));
    Label2_ = new QLabel(LifetimeLabel(QString()), this);
    Label2_->setObjectName(QStringLiteral("Label2"));
    Label2_->setBuddy(ProgressBar2_);
    ProgressBar2_->setFocusPolicy(Qt::TabFocus);

    Command1_ = new QPushButton(QCoreApplication::translate("ExtendedNatWindow", "Начать тест"), this);
    Command1_->setObjectName(QStringLiteral("Command1"));
    Command2_ = new QPushButton(QCoreApplication::translate("ExtendedNatWindow", "Остановить"), this);
    Command2_->setObjectName(QStringLiteral("Command2"));
    Command2_->setEnabled(false);
    Command3_ = new QPushButton(QCoreApplication::translate("ExtendedNatWindow", "Закрыть"), this);
    Command3_->setObjectName(QStringLiteral("Command3"));
    for (QPushButton* button : {Command1_, Command2_, Command3_})
        button->setAutoDefault(false);
    // The DNS queries of the path sections wait with the windows served:
    // stopping and closing still work then.
    platform::ServeWhileBusy(Command2_);
    platform::ServeWhileBusy(Command3_);

    lifetimeRun_ = new NatTestRun(this);
    othersRun_ = new NatTestRun(this);
    for (NatTestRun* run : {lifetimeRun_, othersRun_}) {
        connect(run, &NatTestRun::changed, this, &Form5::showProgress);
        connect(run, &NatTestRun::finished, this, &Form5::finishWhenIdle);
    }
    connect(othersRun_, &NatTestRun::finished, this, &Form5::othersFinished);
    // The voice stream and the idle waits move between events: shown twice a second.
    refresh_ = new QTimer(this);
    refresh_->setInterval(500);
    connect(refresh_, &QTimer::timeout, this, &Form5::showProgress);

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
    // The measurement or section under way, and the lifetime search beside it.
    auto* progress = new QGridLayout;
    progress->addWidget(Label1_, 0, 0);
    progress->addWidget(ProgressBar1_, 1, 0);
    progress->addWidget(Label2_, 0, 1);
    progress->addWidget(ProgressBar2_, 1, 1);
    progress->setColumnStretch(0, 1);
    progress->setColumnStretch(1, 1);
    layout->addLayout(progress);
    layout->addLayout(buttons);

    connect(Command1_, &QPushButton::clicked, this, &Form5::Command1_Click);
    connect(Command2_, &QPushButton::clicked, this, &Form5::Command2_Click);
    connect(Command3_, &QPushButton::clicked, this, &Form5::reject);

    // The path sections run after the other NAT measurements, on sockets of their own.
    paths_ = new ExtendedPathsRun(this);
    connect(paths_, &ExtendedPathsRun::progress, this, [this](const QString& step) {
        Label1_->setText(step);
        ProgressBar1_->setValue(paths_->percent());
    });
    connect(paths_, &ExtendedPathsRun::finished, this, &Form5::finishWhenIdle);
}

Form5::~Form5() = default;

bool Form5::testRunning() const
{
    return lifetimeRun_->running() || othersRun_->running() || paths_->running() || pathsStarting_;
}

int Form5::openSocketCount() const
{
    return lifetimeRun_->openSocketCount() + othersRun_->openSocketCount();
}

QList<int> Form5::lifetimePorts() const
{
    return lifetimeRun_->localPorts();
}

QList<probes::Finding> Form5::findings() const
{
    QList<probes::Finding> all;
    for (const NatTestRun* run : {othersRun_, lifetimeRun_})
        if (run->test())
            all << run->test()->findings();
    std::stable_sort(all.begin(), all.end(), [this](const probes::Finding& a, const probes::Finding& b) {
        return measurements_.indexOf(a.kind) < measurements_.indexOf(b.kind);
    });
    return all;
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
    config.lifetime = lifetime_;

    lifetimeRun_->clear();
    othersRun_->clear();
    active_ = true;
    pathsPending_ = true;
    stopped_ = false;
    resultText_.clear();
    Text1_->clear();
    Summary_->clear();
    VoicePlot_->setFigures({});
    LifetimePlot_->setFigures({});
    const bool lifetime = measurements_.contains(probes::Measurement::Lifetime);
    QList<probes::Measurement> others = measurements_;
    others.removeAll(probes::Measurement::Lifetime);
    Label2_->setVisible(lifetime);
    ProgressBar2_->setVisible(lifetime);
    ProgressBar2_->setValue(0);
    ProgressBar1_->setValue(0);
    Command1_->setEnabled(false);
    Command2_->setEnabled(true);
    refresh_->start();
    // The lifetime sockets are bound first: while they are open no other
    // measurement can have their local ports.
    if (lifetime) {
        config.measurements = {probes::Measurement::Lifetime};
        lifetimeRun_->start(config);
    }
    if (!others.isEmpty()) {
        config.measurements = others;
        othersRun_->start(config);
    } else {
        othersFinished();
    }
}

void Form5::Command2_Click()
{
    if (pathsStarting_)
        stopped_ = true;  // taken once the server's name is looked up
    if (!testRunning())
        return;
    stopped_ = true;
    paths_->stop();
    othersRun_->stop();
    lifetimeRun_->stop();
}

void Form5::showProgress()
{
    if (!active_)
        return;
    const QString text = probes::FindingsText(findings());
    if (text != resultText_) {
        resultText_ = text;
        Text1_->setPlainText(text);
    }
    if (const probes::ExtendedNatTest* test = lifetimeRun_->test()) {
        ProgressBar2_->setValue(test->percent());
        Label2_->setText(LifetimeLabel(test->finished() ? QCoreApplication::translate("ExtendedNatWindow", "поиск окончен") : test->stepText()));
    }
    if (pathsPending_) {
        if (const probes::ExtendedNatTest* test = othersRun_->test()) {
            ProgressBar1_->setValue(test->percent());
            Label1_->setText(test->stepText());
        }
    } else if (paths_->running()) {
        ProgressBar1_->setValue(paths_->percent());
    } else if (!pathsStarting_ && lifetimeRun_->running()) {
        ProgressBar1_->setValue(100);
        Label1_->setText(QCoreApplication::translate("ExtendedNatWindow", "Остальные проверки окончены, идёт поиск времени жизни отображения"));
    }
}

void Form5::othersFinished()
{
    if (!active_ || !pathsPending_)
        return;
    pathsPending_ = false;
    if (!stopped_ && !pathSections_.isEmpty())
        startPaths();
    showProgress();
    finishWhenIdle();
}

void Form5::startPaths()
{
    ExtendedPathsConfig config;
    pathsStarting_ = true;
    config.stunServer = platform::ResolveHostText(endpoints_.mainServer);
    pathsStarting_ = false;
    if (stopped_)
        return;
    config.stunPort = endpoints_.stunPort;
    config.hopTarget = config.stunServer;
    config.domain = endpoints_.domain;
    config.ssdpGroup = endpoints_.ssdpGroup;
    config.sipPort = endpoints_.sipPort;
    config.secondSipPort = endpoints_.secondSipPort;
    config.stunServer6 = endpoints_.stunServer6;
    config.stunAlternate6 = endpoints_.stunAlternate6;
    config.stunPort6 = endpoints_.stunPort6;
    config.sections = pathSections_;
    ProgressBar1_->setValue(0);
    paths_->start(config);
}

void Form5::finishWhenIdle()
{
    if (active_ && !pathsPending_ && !testRunning())
        finishTest();
}

void Form5::finishTest()
{
    active_ = false;
    refresh_->stop();
    // The IPv4 lifetime ran beside the sections: its keep-alive reaches the IPv6 advice now.
    for (const probes::Finding& f : findings())
        if (f.kind == probes::Measurement::Lifetime)
            paths_->setIpv4KeepAlive(f.figures.value(QStringLiteral("keepAliveSeconds")).toInt());
    // The NAT findings, then one section per path finding.
    QString text = probes::FindingsText(findings());
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
    ProgressBar2_->setValue(100);
    Label2_->setText(LifetimeLabel(stopped_ ? QCoreApplication::translate("ExtendedNatWindow", "остановлен") : QCoreApplication::translate("ExtendedNatWindow", "поиск окончен")));
    Label1_->setText(stopped_ ? QCoreApplication::translate("ExtendedNatWindow", "Тест остановлен.") : QCoreApplication::translate("ExtendedNatWindow", "Тест завершён."));
    Command1_->setEnabled(true);
    Command2_->setEnabled(false);
    emit testFinished();
}

QJsonObject Form5::figures() const
{
    if (!lifetimeRun_->test() && !othersRun_->test())
        return QJsonObject();
    QHash<QString, double> durations;
    for (const NatTestRun* run : {othersRun_, lifetimeRun_})
        if (run->test())
            durations.insert(run->test()->durations());
    QJsonObject json = probes::FindingsJson(findings());
    for (auto it = json.begin(); it != json.end(); ++it) {
        QJsonObject member = it.value().toObject();
        member.insert(QStringLiteral("seconds"), durations.value(it.key()));
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
    for (const probes::Finding& f : findings())
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
    othersRun_->stop();
    lifetimeRun_->stop();
    QDialog::done(result);
}

}  // namespace tools
