#include "tools/passage_window.h"

#include "app/decimal_text.h"
#include "platform/socket_set.h"
#include "probes/sip_register.h"
#include "tools/leading_number.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTime>
#include <QTimer>
#include <QVBoxLayout>

namespace tools {

namespace {

const QString kFixedPortCaption = QStringLiteral("Отправлять запрос порта ");

}  // namespace

QString TimeOfDayText(const QTime& time, const QLocale& locale)
{
    // Drop the time zone fields ("t", "tt", ...) of the long format, keeping
    // quoted literal text as it is.
    const QString format = locale.timeFormat(QLocale::LongFormat);
    QString kept;
    bool quoted = false;
    for (const QChar c : format) {
        if (c == QLatin1Char('\''))
            quoted = !quoted;
        if (!quoted && c == QLatin1Char('t'))
            continue;
        kept += c;
    }
    kept = kept.simplified();
    if (kept.isEmpty())
        kept = QStringLiteral("HH:mm:ss");
    return locale.toString(time, kept);
}

Form1::Form1(const probes::ProviderEndpoints& endpoints, QWidget* parent)
    : QDialog(parent), endpoints_(endpoints)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Проверка прохождения пакетов"));
    setModal(true);

    Label3_ = new QLabel(QStringLiteral("Данный тест предназначен для проверки прохождения входящих пакетов "
                                        "при организации проброса портов на НАТе или настройке фаервола."),
                         this);
    Label3_->setObjectName(QStringLiteral("Label3"));
    Label3_->setWordWrap(true);

    Label1_ = new QLabel(QStringLiteral("Внешний адрес"), this);
    Label1_->setObjectName(QStringLiteral("Label1"));
    Text1_ = new QLineEdit(this);
    Text1_->setObjectName(QStringLiteral("Text1"));
    Text1_->setReadOnly(true);

    Label2_ = new QLabel(QStringLiteral("Порт для входящих пакетов"), this);
    Label2_->setObjectName(QStringLiteral("Label2"));
    Text2_ = new QLineEdit(QStringLiteral("5060"), this);
    Text2_->setObjectName(QStringLiteral("Text2"));

    Option1_0_ = new QRadioButton(QStringLiteral("Отправлять запрос с произвольного порта"), this);
    Option1_0_->setObjectName(QStringLiteral("Option1_0"));
    Option1_1_ = new QRadioButton(kFixedPortCaption + QStringLiteral("5060"), this);
    Option1_1_->setObjectName(QStringLiteral("Option1_1"));
    Option1_ = new QButtonGroup(this);
    Option1_->setObjectName(QStringLiteral("Option1"));
    Option1_->addButton(Option1_0_, 0);
    Option1_->addButton(Option1_1_, 1);
    Option1_0_->setChecked(true);

    Text3_ = new QPlainTextEdit(this);
    Text3_->setObjectName(QStringLiteral("Text3"));
    Text3_->setReadOnly(true);
    Text3_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Text3_->setMinimumHeight(160);

    Command1_ = new QPushButton(QStringLiteral("Отправить запрос"), this);
    Command1_->setObjectName(QStringLiteral("Command1"));
    Command2_ = new QPushButton(QStringLiteral("Очистить"), this);
    Command2_->setObjectName(QStringLiteral("Command2"));
    Command4_ = new QPushButton(QStringLiteral("Закрыть"), this);
    Command4_->setObjectName(QStringLiteral("Command4"));
    Command1_->setAutoDefault(false);
    Command2_->setAutoDefault(false);
    Command4_->setAutoDefault(false);

    Picture1_ = new platform::NotificationSink(this, QStringLiteral("Picture1"));
    Picture2_ = new platform::NotificationSink(this, QStringLiteral("Picture2"));
    Picture3_ = new platform::NotificationSink(this, QStringLiteral("Picture3"));

    Timer1_ = new QTimer(this);
    Timer1_->setObjectName(QStringLiteral("Timer1"));
    Timer1_->setSingleShot(true);

    auto* addressRow = new QHBoxLayout;
    addressRow->addWidget(Label1_);
    addressRow->addWidget(Text1_, 1);
    auto* portRow = new QHBoxLayout;
    portRow->addWidget(Label2_);
    portRow->addWidget(Text2_, 1);
    auto* buttons = new QGridLayout;
    buttons->addWidget(Command1_, 0, 0);
    buttons->addWidget(Command2_, 0, 1);
    buttons->addWidget(Command4_, 1, 1);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Label3_);
    layout->addLayout(addressRow);
    layout->addLayout(portRow);
    layout->addWidget(Option1_0_);
    layout->addWidget(Option1_1_);
    layout->addWidget(Text3_, 1);
    layout->addLayout(buttons);
    setMinimumWidth(460);

    connect(Text2_, &QLineEdit::textChanged, this, &Form1::Text2_Change);
    connect(Command1_, &QPushButton::clicked, this, &Form1::Command1_Click);
    connect(Command2_, &QPushButton::clicked, this, &Form1::Command2_Click);
    connect(Command4_, &QPushButton::clicked, this, &Form1::reject);
    connect(Picture1_, &platform::NotificationSink::ready, this, &Form1::Picture1_MouseUp);
    connect(Picture2_, &platform::NotificationSink::ready, this, &Form1::Picture2_MouseUp);
    connect(Timer1_, &QTimer::timeout, this, &Form1::Timer1_Timer);

    // The sockets are opened once the window is up and the opener has let go of its own.
    Timer1_->start(5);
}

Form1::~Form1()
{
    if (socketsOpen_)
        platform::CloseSockets();
}

void Form1::setExternalAddress(const QString& address)
{
    Text1_->setText(address);
}

double Form1::portValue() const
{
    return LeadingNumber(Text2_->text());
}

int Form1::portNumber() const
{
    return app::RoundHalfEven(portValue());
}

void Form1::openSockets()
{
    platform::OpenSockets(portNumber(), Picture1_, Picture2_, Picture3_);
    socketsOpen_ = true;
}

void Form1::Timer1_Timer()
{
    Timer1_->stop();
    openSockets();
}

void Form1::Text2_Change()
{
    Option1_1_->setText(kFixedPortCaption + PlainNumberText(portValue()));
    // A pending first opening would only open the set a second time.
    Timer1_->stop();
    platform::CloseSockets();
    socketsOpen_ = false;
    openSockets();
}

void Form1::Command1_Click()
{
    const QByteArray request = probes::BuildPassageRegisterRequest(
        endpoints_.mainServer, Text1_->text().trimmed(), PlainNumberText(portValue()),
        probes::DrawRegisterNumber());
    const platform::SocketId socket =
        Option1_1_->isChecked() ? platform::SocketId::Fixed : platform::SocketId::Probe;
    for (int i = 0; i < 2; ++i)
        platform::SocketSend(socket, endpoints_.passageServer, endpoints_.sipPort, request, false);
}

void Form1::logArrival(const QString& port)
{
    log_ = QStringLiteral("(") + TimeOfDayText(QTime::currentTime()) + QStringLiteral(") пришел пакет на порт ") +
           port + QStringLiteral("\r\n\r\n") + log_;
    Text3_->setPlainText(log_);
}

void Form1::Picture1_MouseUp()
{
    QString from;
    int fromPort = 0;
    platform::SocketData data;
    platform::SocketReceive(platform::SocketId::Probe, from, fromPort, data);
    if (data.size() > 5)
        logArrival(QString::number(platform::ProbeLocalPort()));
}

void Form1::Picture2_MouseUp()
{
    QString from;
    int fromPort = 0;
    platform::SocketData data;
    platform::SocketReceive(platform::SocketId::Fixed, from, fromPort, data);
    if (data.size() > 5)
        logArrival(PlainNumberText(portValue()));
}

void Form1::Command2_Click()
{
    log_.clear();
    Text3_->setPlainText(log_);
}

void Form1::done(int result)
{
    Timer1_->stop();
    if (socketsOpen_) {
        platform::CloseSockets();
        socketsOpen_ = false;
    }
    QDialog::done(result);
}

}  // namespace tools
