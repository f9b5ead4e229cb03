// SPDX-License-Identifier: Apache-2.0
#include "tools/passage_window.h"

#include "platform/socket_set.h"
#include "platform/user_message.h"
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
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTime>
#include <QTimer>
#include <QVBoxLayout>
#include <QCoreApplication>

namespace tools {

namespace {

QString FixedPortCaption() { return QCoreApplication::translate("PassageWindow", "Отправлять запрос порта "); }

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

QString FixedPortFailureMessage(platform::FixedBind result, int port)
{
    const QString number = QString::number(port);
    switch (result) {
    case platform::FixedBind::Bound:
        return QString();
    case platform::FixedBind::Taken:
        return QCoreApplication::translate("PassageWindow", "Порт ") + number + QCoreApplication::translate("PassageWindow", " занят другой программой !!!");
    case platform::FixedBind::NoPermission:
        return QCoreApplication::translate("PassageWindow", "Порт ") + number
               + QCoreApplication::translate("PassageWindow", " недоступен: у программы нет прав на открытие этого порта !!!");
    case platform::FixedBind::Closed:
    case platform::FixedBind::Failed:
        break;
    }
    return QCoreApplication::translate("PassageWindow", "Ошибка открытия порта ") + number + QStringLiteral(" !!!");
}

Form1::Form1(const probes::ProviderEndpoints& endpoints, QWidget* parent)
    : QDialog(parent), endpoints_(endpoints)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QCoreApplication::translate("PassageWindow", "Проверка прохождения пакетов"));
    setModal(true);

    Label3_ = new QLabel(QCoreApplication::translate("PassageWindow", "Данный тест предназначен для проверки прохождения входящих пакетов "
                                        "при организации проброса портов на НАТе или настройке фаервола."),
                         this);
    Label3_->setObjectName(QStringLiteral("Label3"));
    Label3_->setWordWrap(true);

    Label1_ = new QLabel(QCoreApplication::translate("PassageWindow", "Внешний адрес"), this);
    Label1_->setObjectName(QStringLiteral("Label1"));
    Text1_ = new QLineEdit(this);
    Text1_->setObjectName(QStringLiteral("Text1"));
    Text1_->setReadOnly(true);

    Label2_ = new QLabel(QCoreApplication::translate("PassageWindow", "Порт для входящих пакетов"), this);
    Label2_->setObjectName(QStringLiteral("Label2"));
    Text2_ = new QLineEdit(QStringLiteral("5060"), this);
    Text2_->setObjectName(QStringLiteral("Text2"));

    Option1_0_ = new QRadioButton(QCoreApplication::translate("PassageWindow", "Отправлять запрос с произвольного порта"), this);
    Option1_0_->setObjectName(QStringLiteral("Option1_0"));
    Option1_1_ = new QRadioButton(FixedPortCaption() + QStringLiteral("5060"), this);
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
    // Entries are inserted and dropped through a cursor: no undo history to grow.
    Text3_->setUndoRedoEnabled(false);

    Command1_ = new QPushButton(QCoreApplication::translate("PassageWindow", "Отправить запрос"), this);
    Command1_->setObjectName(QStringLiteral("Command1"));
    Command2_ = new QPushButton(QCoreApplication::translate("PassageWindow", "Очистить"), this);
    Command2_->setObjectName(QStringLiteral("Command2"));
    Command4_ = new QPushButton(QCoreApplication::translate("PassageWindow", "Закрыть"), this);
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
    Timer1_->setTimerType(Qt::PreciseTimer);

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

std::optional<int> Form1::port() const
{
    return TypedPort(Text2_->text());
}

QString Form1::logText() const
{
    QString text;
    for (const QString& entry : log_)
        text += entry;
    return text;
}

void Form1::openSockets()
{
    // Without a valid port nothing is bound, and nothing can be sent or logged.
    const std::optional<int> typed = port();
    if (!typed) {
        platform::CloseSockets();
        socketsOpen_ = false;
        return;
    }
    platform::OpenSockets(*typed, Picture1_, Picture2_, Picture3_);
    socketsOpen_ = true;
}

void Form1::Timer1_Timer()
{
    Timer1_->stop();
    openSockets();
}

void Form1::Text2_Change()
{
    const std::optional<int> typed = port();
    Option1_1_->setText(FixedPortCaption()
                        + (typed ? QString::number(*typed) : PlainNumberText(LeadingNumber(Text2_->text()))));
    // A pending first opening would only open the set a second time.
    Timer1_->stop();
    platform::CloseSockets();
    socketsOpen_ = false;
    openSockets();
}

void Form1::Command1_Click()
{
    const std::optional<int> typed = port();
    if (!typed) {
        platform::ShowMessage(TypedPortMessage());
        return;
    }
    // The request names the typed port: unless it is ours, nothing goes out,
    // neither from a port the system would pick for an unbound socket.
    if (!socketsOpen_) {
        Timer1_->stop();
        openSockets();
    }
    if (platform::FixedBindResult() != platform::FixedBind::Bound) {
        platform::ShowMessage(FixedPortFailureMessage(platform::FixedBindResult(), *typed));
        return;
    }
    const QByteArray request = probes::BuildPassageRegisterRequest(
        endpoints_.mainServer, Text1_->text().trimmed(), QString::number(*typed), probes::DrawRegisterNumber());
    const platform::SocketId socket =
        Option1_1_->isChecked() ? platform::SocketId::Fixed : platform::SocketId::Probe;
    for (int i = 0; i < 2; ++i)
        platform::SocketSend(socket, endpoints_.passageServer, endpoints_.sipPort, request, false);
}

void Form1::logArrival(const QString& port)
{
    const QString entry = QStringLiteral("(") + TimeOfDayText(QTime::currentTime())
                          + QCoreApplication::translate("PassageWindow", ") пришел пакет на порт ") + port + QStringLiteral("\r\n\r\n");
    log_.push_front(entry);

    // Only the new entry goes into the box, on top; the rest stays as rendered.
    QTextCursor top(Text3_->document());
    top.movePosition(QTextCursor::Start);
    top.insertText(QString(entry).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));

    if (log_.size() > static_cast<size_t>(kMaxLogEntries)) {
        log_.pop_back();
        // The oldest entry is its line, an empty line and the last (empty) block.
        QTextDocument* document = Text3_->document();
        const QTextBlock oldest = document->findBlockByNumber(document->blockCount() - 3);
        QTextCursor tail(document);
        tail.setPosition(oldest.position());
        tail.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
        tail.removeSelectedText();
    }
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
    // Logged under the port the socket is bound to, and only when it is bound.
    if (data.size() > 5 && platform::FixedBindResult() == platform::FixedBind::Bound)
        logArrival(QString::number(platform::FixedLocalPort()));
}

void Form1::Command2_Click()
{
    log_.clear();
    Text3_->clear();
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
