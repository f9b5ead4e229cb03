// SPDX-License-Identifier: Apache-2.0
#include "app/main_window.h"

#include "app/startup_survey.h"
#include "platform/dns_query.h"
#include "platform/socket_set.h"
#include "platform/window_service.h"
#include "probes/ping.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QIcon>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QScopeGuard>
#include <QScrollArea>
#include <QTemporaryDir>
#include <QTimer>
#include <QVBoxLayout>
#include <QCoreApplication>

namespace app {

namespace {

const QString kListingFile = QStringLiteral("temp.tmp");

std::unique_ptr<QTemporaryDir>& tempDirHolder()
{
    static std::unique_ptr<QTemporaryDir> dir;
    return dir;
}

QLabel* valueLabel(QWidget* parent, const QString& name, const QString& text)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    QFont bold = label->font();
    bold.setBold(true);
    label->setFont(bold);
    return label;
}

// Drawn at the screens' pixel ratio, so that it stays sharp on a 2x screen.
QPixmap logoPixmap(qreal ratio)
{
    QPixmap pixmap(QSize(150, 40) * ratio);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(QColor(0x1f, 0x5f, 0xa8));
    p.setPen(Qt::NoPen);
    p.drawRoundedRect(QRectF(0, 0, 150, 40), 8, 8);
    p.setPen(Qt::white);
    QFont f = p.font();
    f.setPointSize(15);
    f.setBold(true);
    p.setFont(f);
    p.drawText(QRectF(0, 0, 150, 40), Qt::AlignCenter, QStringLiteral("Tarvolin"));
    return pixmap;
}

}  // namespace

QString PrivateTempPath()
{
    auto& dir = tempDirHolder();
    if (!dir) {
        dir = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/tarvolin-XXXXXX"));
        if (!dir->isValid())
            return QString();
    }
    return dir->path();
}

void RemovePrivateTempDir()
{
    tempDirHolder().reset();
}

Form1a::Form1a(Dependencies deps, QWidget* parent) : QWidget(parent), deps_(std::move(deps))
{
    setObjectName(QStringLiteral("Form1a"));
    setWindowTitle(QStringLiteral("Tarvolin"));
    buildControls();
    buildMenu();
}

Form1a::~Form1a()
{
    Form_Unload();
}

void Form1a::buildControls()
{
    Sig_ = new platform::NotificationSink(this, QStringLiteral("Sig"));
    Sig2_ = new platform::NotificationSink(this, QStringLiteral("Sig2"));
    Sig3_ = new platform::NotificationSink(this, QStringLiteral("Sig3"));
    connect(Sig_, &platform::NotificationSink::ready, this, &Form1a::HandleStunReply);
    connect(Sig2_, &platform::NotificationSink::ready, this, &Form1a::HandleFixedPortReply);
    connect(Sig3_, &platform::NotificationSink::ready, this, &Form1a::TcpConnected);

    Timer1_ = new QTimer(this);
    Timer1_->setObjectName(QStringLiteral("Timer1"));
    // Its intervals are minimums: a coarse timer may fire up to 5 % early.
    Timer1_->setTimerType(Qt::PreciseTimer);
    connect(Timer1_, &QTimer::timeout, this, &Form1a::Timer1_Timer);

    // NAT parameters.
    auto* Frame2 = new QGroupBox(QCoreApplication::translate("MainWindow", "Параметры NATа"), this);
    Frame2->setObjectName(QStringLiteral("Frame2"));
    auto* natGrid = new QGridLayout(Frame2);
    auto addPair = [&](int row, const char* captionName, const QString& caption, const char* valueName,
                       const QString& value) {
        auto* c = new QLabel(caption, Frame2);
        c->setObjectName(QString::fromLatin1(captionName));
        QLabel* v = valueLabel(Frame2, QString::fromLatin1(valueName), value);
        natGrid->addWidget(c, row, 0, Qt::AlignLeft | Qt::AlignTop);
        natGrid->addWidget(v, row, 1, Qt::AlignLeft | Qt::AlignTop);
        return v;
    };
    IPAdr_ = addPair(0, "Label1", QCoreApplication::translate("MainWindow", "Внешний адрес"), "IPAdr", QCoreApplication::translate("MainWindow", "Неопределен"));
    NATType_ = addPair(1, "Label3", QCoreApplication::translate("MainWindow", "Тип используемого NATа"), "NATType",
                       QCoreApplication::translate("MainWindow", "Неопределен"));
    SIPsup_ = addPair(2, "Label5", QCoreApplication::translate("MainWindow", "Поддержка SIP протокола"), "SIPsup",
                      QCoreApplication::translate("MainWindow", "Отсутствует"));
    UPnP_ = addPair(3, "Label4", QCoreApplication::translate("MainWindow", "Поддержка UPnP"), "UPnP", QCoreApplication::translate("MainWindow", "Отсутствует"));
    STUN_Port_ = addPair(4, "Label6", QCoreApplication::translate("MainWindow", "Распределение портов"), "STUN_Port",
                         QCoreApplication::translate("MainWindow", "Неизвестно"));
    natGrid->setColumnStretch(1, 1);
    // Room for the longest value, so the window does not change shape when captions arrive.
    natGrid->setColumnMinimumWidth(
        1, STUN_Port_->fontMetrics().horizontalAdvance(QCoreApplication::translate("MainWindow", "Совпадающий порт (Preserves port)")) + 8);

    // Interfaces.
    auto* Frame1 = new QGroupBox(QCoreApplication::translate("MainWindow", "Сетевые интерфейсы"), this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    auto* ifLayout = new QVBoxLayout(Frame1);
    IPs_ = new QLabel(Frame1);
    IPs_->setObjectName(QStringLiteral("IPs"));
    IPs_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    IPs_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* ipsScroll = new QScrollArea(Frame1);
    ipsScroll->setWidget(IPs_);
    ipsScroll->setWidgetResizable(true);
    ipsScroll->setFrameShape(QFrame::NoFrame);
    ipsScroll->setMinimumHeight(230);
    ifLayout->addWidget(ipsScroll);

    // Line quality.
    auto* Frame6 = new QGroupBox(QCoreApplication::translate("MainWindow", "Качество Интернета"), this);
    Frame6->setObjectName(QStringLiteral("Frame6"));
    auto* pingLayout = new QVBoxLayout(Frame6);
    Ping_ = new QLabel(Frame6);
    Ping_->setObjectName(QStringLiteral("Ping"));
    Ping_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Ping_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    Ping_->setMinimumHeight(Ping_->fontMetrics().lineSpacing() * 17);
    pingLayout->addWidget(Ping_);

    // Report.
    auto* Frame7 = new QGroupBox(QCoreApplication::translate("MainWindow", "Рекомендации по подключению"), this);
    Frame7->setObjectName(QStringLiteral("Frame7"));
    auto* reportLayout = new QVBoxLayout(Frame7);
    Label2_ = new QPlainTextEdit(Frame7);
    Label2_->setObjectName(QStringLiteral("Label2"));
    Label2_->setReadOnly(true);
    QFont arial(QStringLiteral("Arial"));
    arial.setPointSize(font().pointSize());
    Label2_->setFont(arial);
    Label2_->setMinimumWidth(520);
    reportLayout->addWidget(Label2_);

    // Decoration, logo and buttons.
    auto* Picture1 = new QFrame(this);
    Picture1->setObjectName(QStringLiteral("Picture1"));
    auto* bottom = new QHBoxLayout(Picture1);
    bottom->setContentsMargins(0, 0, 0, 0);
    Image1_ = new QLabel(Picture1);
    Image1_->setObjectName(QStringLiteral("Image1"));
    Image1_->setPixmap(logoPixmap(qGuiApp->devicePixelRatio()));
    Image1_->setCursor(Qt::PointingHandCursor);
    Image1_->installEventFilter(this);
    Command5_ = new QPushButton(QCoreApplication::translate("MainWindow", "Меню"), Picture1);
    Command5_->setObjectName(QStringLiteral("Command5"));
    Command3_ = new QPushButton(QCoreApplication::translate("MainWindow", "Выход"), Picture1);
    Command3_->setObjectName(QStringLiteral("Command3"));
    bottom->addWidget(Image1_);
    bottom->addStretch(1);
    bottom->addWidget(Command5_);
    bottom->addWidget(Command3_);
    connect(Command3_, &QPushButton::clicked, this, [this] { exitProgram(); });
    // "Выход" ends the program even while an echo is being waited for.
    platform::ServeWhileBusy(Command3_);

    auto* Line1 = new QFrame(this);
    Line1->setObjectName(QStringLiteral("Line1"));
    Line1->setFrameShape(QFrame::HLine);
    Line1->setFrameShadow(QFrame::Sunken);

    auto* grid = new QGridLayout(this);
    grid->addWidget(Frame2, 0, 0);
    grid->addWidget(Frame1, 1, 0);
    grid->addWidget(Frame6, 2, 0);
    grid->addWidget(Frame7, 0, 1, 3, 1);
    grid->addWidget(Line1, 3, 0, 1, 2);
    grid->addWidget(Picture1, 4, 0, 1, 2);
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(1, 1);
    resize(1120, 780);
}

QString Form1a::listingFilePath() const
{
    const QString dir = PrivateTempPath();
    return dir.isEmpty() ? QString() : dir + QLatin1Char('/') + kListingFile;
}

void Form1a::setReportText(const QString& text)
{
    reportText_ = text;
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    Label2_->setPlainText(shown);
}

void Form1a::appendIps(const QString& text)
{
    IPs_->setText(IPs_->text() + text);
}

void Form1a::Form_Load()
{
    // The first tick comes once the load sequence has returned.
    ++loading_;
    const auto loaded = qScopeGuard([this] { --loading_; });
    unloaded_ = false;
    runStep_ = RunStep::Startup;
    runStartedAt_ = QDateTime::currentDateTimeUtc();
    runClock_.start();
    runSecondsAtEnd_ = -1;
    if (saveReport_) {
        saveReport_->setEnabled(false);
        copyReport_->setEnabled(false);
    }
    // 1. Interface table.
    interfaceTable_ = deps_.listInterfaces();
    // 2. Background capture of the system's listing.
    ipconfig();
    // 3.
    IPs_->setText(QString());
    // 5. Caption with the version.
    setWindowTitle(WindowCaption());
    // 6. Numbered addresses.
    appendIps(InterfaceListing(interfaceTable_));
    // 7. Main interface.
    const int main = MainInterfacePosition(interfaceTable_);
    if (main >= 0) {
        const platform::InterfaceEntry& entry = interfaceTable_[main];
        appendIps(MainInterfaceLines(entry));
        state_.MainAddress = entry.Address;
        state_.InterfaceAddress = entry.Address;
        state_.MainMask = entry.Mask;
    }
    // 8. Arm the test run.
    state_.NatMode = kNatUndetermined;
    setReportText(QCoreApplication::translate("MainWindow", "Идет процесс тестирования..."));
    Timer1_->setInterval(1);
    Timer1_->start();
    // 9. Sockets.
    openSockets();
    // 10. First-hop router.
    FirstHopCheck();
    // 11. Address class.
    state_.AddressClass = AddressClassOf(state_.MainAddress);
    appendIps(AddressClassLines(state_.AddressClass));
    // 12. DNS test.
    DnsTest();
}

void Form1a::openSockets()
{
    platform::OpenSockets(probes::kSipLocalPort, Sig_, Sig2_, Sig3_);
}

void Form1a::FirstHopCheck()
{
    state_.Gateway = GatewayFromFirstHop(probes::FirstHopAddress(deps_.endpoints.mainServer));
    appendIps(GatewayLine(state_.Gateway));
}

void Form1a::DnsTest()
{
    const bool addressHolds = DomainInsideProvider(platform::ResolveHostText(deps_.endpoints.domain),
                                                   deps_.endpoints.networkPrefix);
    QVector<platform::DnsEntry> entries;
    int32_t count = 0;
    const bool srvHolds =
        platform::DnsLookup(QStringLiteral("_sip._udp.") + deps_.endpoints.domain, entries, count, 33, 0) == 0;
    if (addressHolds && srvHolds)
        state_.DnsTestPassed = 1;
    appendIps(DnsTestLine(state_.DnsTestPassed));
}

void Form1a::RestartTest()
{
    ++loading_;
    const auto restarted = qScopeGuard([this] { --loading_; });
    platform::CloseSockets();
    // A restarted run starts from clean per-run results, so that it never
    // reports an earlier run's findings as its own.
    state_.StunGotMapped = 0;
    state_.StunChangeIpReply = 0;
    state_.StunChangePortReply = 0;
    state_.StunSameMapping = 0;
    state_.StunMappedAddress.clear();
    state_.ExternalAddress.clear();
    state_.MappedPort = 0;
    state_.StunChangedAddress.clear();
    state_.StunChangedPort = 0;
    state_.SipState = kSipNoAnswer;
    state_.UpnpFound = 0;
    state_.DnsTestPassed = 0;
    state_.AvgDelay = 0;
    state_.Jitter = 0;
    // Without a usable interface now, the earlier main address must not stand in for one.
    state_.MainAddress.clear();
    state_.InterfaceAddress.clear();
    state_.MainMask.clear();
    stunRun_ = probes::StunRunRequests();
    runProbePort_ = 0;

    Form_Load();

    state_.NatMode = kNatOpenInternet;
    state_.Udp5060Passed = 0;
    state_.Tcp5060Passed = 0;
    setReportText(QCoreApplication::translate("MainWindow", "Идет процесс тестирования..."));
    SIPsup_->setText(QCoreApplication::translate("MainWindow", "Отсутствует"));
    STUN_Port_->setText(QCoreApplication::translate("MainWindow", "Неизвестно"));
    UPnP_->setText(QCoreApplication::translate("MainWindow", "Отсутствует"));
    NATType_->setText(QCoreApplication::translate("MainWindow", "Неопределенный"));
    IPAdr_->setText(QCoreApplication::translate("MainWindow", "Неопределенный"));
    Timer1_->setInterval(1);
    Timer1_->start();
}

void Form1a::ipconfig()
{
    const QString path = listingFilePath();
    if (path.isEmpty())
        return;
    stopCapture();
    if (QFile::exists(path))
        QFile::remove(path);
    // Runs in the background; the second tick of the test run reads the file.
    capture_ = new QProcess(this);
    capture_->setProgram(QStringLiteral("ip"));
    capture_->setArguments({QStringLiteral("address")});
    capture_->setStandardOutputFile(path);
    capture_->setStandardErrorFile(QProcess::nullDevice());
    capture_->start();
}

void Form1a::stopCapture()
{
    if (!capture_)
        return;
    if (capture_->state() != QProcess::NotRunning) {
        capture_->kill();
        capture_->waitForFinished(1000);
    }
    delete capture_;
    capture_ = nullptr;
}

void Form1a::Form_Unload()
{
    if (unloaded_)
        return;
    unloaded_ = true;
    platform::CloseSockets();
    stopCapture();
    const QString path = listingFilePath();
    if (!path.isEmpty() && QFile::exists(path))
        QFile::remove(path);
}

void Form1a::closeEvent(QCloseEvent* event)
{
    Timer1_->stop();
    Form_Unload();
    event->accept();
}

std::unique_ptr<Form1a> StartMainWindow()
{
    // Blocking steps (the echoes) keep the windows served from here on.
    platform::InstallWindowService();
    auto window = std::make_unique<Form1a>();
    window->setWindowIcon(QIcon(QStringLiteral(":/icons/tarvolin.svg")));
    // The window is on screen before the load sequence's first echo; the
    // first tick comes after the load sequence, so after this first paint too.
    platform::ShowAndWaitForExposure(window.get(), 1000);
    window->Form_Load();
    return window;
}

}  // namespace app
