// SPDX-License-Identifier: Apache-2.0
#include "tools/stun_survey_window.h"

#include "platform/socket_set.h"
#include "platform/user_message.h"
#include "tools/leading_number.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QWindow>
#include <QVBoxLayout>

#include <utility>
#include <QCoreApplication>

namespace tools {

Form2::Form2(const probes::ProviderEndpoints& endpoints, QWidget* parent)
    : Form2(endpoints, StunSurvey::BuiltInServers(), parent)
{
}

Form2::Form2(const probes::ProviderEndpoints& /*endpoints*/, QList<SurveyServer> servers, QWidget* parent)
    : QDialog(parent), survey_(std::move(servers))
{
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QCoreApplication::translate("StunSurveyWindow", "Тест STUN серверов"));
    setModal(true);
    clock_.start();

    Text3_ = new QPlainTextEdit(this);
    Text3_->setObjectName(QStringLiteral("Text3"));
    Text3_->setReadOnly(true);
    Text3_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Text3_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Text3_->setMinimumSize(860, 470);

    Label1_ = new QLabel(QCoreApplication::translate("StunSurveyWindow", "STUN сервер"), this);
    Label1_->setObjectName(QStringLiteral("Label1"));
    STUNAdr_ = new QLineEdit(this);
    STUNAdr_->setObjectName(QStringLiteral("STUNAdr"));
    Label2_ = new QLabel(QCoreApplication::translate("StunSurveyWindow", "порт"), this);
    Label2_->setObjectName(QStringLiteral("Label2"));
    STUN_Port_ = new QLineEdit(QStringLiteral("3478"), this);
    STUN_Port_->setObjectName(QStringLiteral("STUN_Port"));
    STUN_Port_->setMaximumWidth(80);
    Command1_ = new QPushButton(QCoreApplication::translate("StunSurveyWindow", "Добавить"), this);
    Command1_->setObjectName(QStringLiteral("Command1"));
    Command1_->setAutoDefault(false);
    Command4_ = new QPushButton(QCoreApplication::translate("StunSurveyWindow", "Закрыть"), this);
    Command4_->setObjectName(QStringLiteral("Command4"));
    Command4_->setAutoDefault(false);

    Label3_ = new QLabel(
        QCoreApplication::translate("StunSurveyWindow", "Данный тест веярно опрашивает наиболее известные STUN серверы. STUN сервер, имеющий "
                       "минимальное время ответа и количество потерь является наиболее оптимальным для вашего "
                       "местоположения. Следует также обратить внимание, если разные STUN серверы возвращают "
                       "разный внешний порт, то при такой конфигурации сети STUN технологию лучше не "
                       "использовать."),
        this);
    Label3_->setObjectName(QStringLiteral("Label3"));
    Label3_->setWordWrap(true);

    Picture1_ = new platform::NotificationSink(this, QStringLiteral("Picture1"));
    Picture2_ = new platform::NotificationSink(this, QStringLiteral("Picture2"));
    Picture3_ = new platform::NotificationSink(this, QStringLiteral("Picture3"));

    Timer1_ = new QTimer(this);
    Timer1_->setObjectName(QStringLiteral("Timer1"));
    Timer1_->setSingleShot(true);
    Timer1_->setTimerType(Qt::PreciseTimer);
    Timer2_ = new QTimer(this);
    Timer2_->setObjectName(QStringLiteral("Timer2"));
    Timer2_->setTimerType(Qt::PreciseTimer);  // the cycle is a minimum
    Timer2_->setInterval(5000);

    auto* row = new QHBoxLayout;
    row->addWidget(Label1_);
    row->addWidget(STUNAdr_, 1);
    row->addWidget(Label2_);
    row->addWidget(STUN_Port_);
    row->addWidget(Command1_);
    row->addStretch();
    row->addWidget(Command4_);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Text3_, 1);
    layout->addLayout(row);
    layout->addWidget(Label3_);

    connect(Command1_, &QPushButton::clicked, this, &Form2::Command1_Click);
    connect(Command4_, &QPushButton::clicked, this, &Form2::reject);
    connect(Picture1_, &platform::NotificationSink::ready, this, &Form2::Picture1_MouseUp);
    connect(Timer1_, &QTimer::timeout, this, &Form2::Timer1_Timer);
    connect(Timer2_, &QTimer::timeout, this, &Form2::Timer2_Timer);

    setOutput(QCoreApplication::translate("StunSurveyWindow", "Опрос DNS сервера..."));
    Timer1_->start(5);
}

Form2::~Form2()
{
    if (socketsOpen_)
        platform::CloseSockets();
}

void Form2::setCycleInterval(int milliseconds)
{
    Timer2_->setInterval(milliseconds);
}

void Form2::setOutput(const QString& text)
{
    output_ = text;
    Text3_->setPlainText(output_);
}

void Form2::Timer1_Timer()
{
    // The name lookups below block: the window is painted first.
    if (!windowHandle() || !windowHandle()->isExposed()) {
        Timer1_->start(5);
        return;
    }
    repaint();
    Timer2_->stop();
    setOutput(QString());
    platform::OpenSockets(probes::kSipLocalPort, Picture1_, Picture2_, Picture3_);
    socketsOpen_ = true;
    QString text = survey_.ResolveAll(&platform::ResolveHostText);
    text += StunSurvey::PollingHeader(platform::ProbeLocalPort());
    setOutput(text);
    Timer1_->stop();
    Timer2_->start();
}

void Form2::Timer2_Timer()
{
    setOutput(QString());
    survey_.RunCycle(
        [](const QString& address, int port, const QByteArray& data) {
            platform::SocketSend(platform::SocketId::Probe, address, port, data, false);
        },
        [this] { return clock_.elapsed(); });
}

void Form2::Picture1_MouseUp()
{
    QString from;
    int fromPort = 0;
    platform::SocketData data;
    platform::SocketReceive(platform::SocketId::Probe, from, fromPort, data);
    if (const std::optional<QString> line = survey_.HandleAnswer(data, from, fromPort, clock_.elapsed()))
        setOutput(output_ + *line);
}

void Form2::Command1_Click()
{
    if (survey_.AddServer(STUNAdr_->text(), STUN_Port_->text(), &platform::ResolveHostText) == AddResult::BadPort)
        platform::ShowMessage(TypedPortMessage());
}

void Form2::done(int result)
{
    Timer1_->stop();
    Timer2_->stop();
    if (socketsOpen_) {
        platform::CloseSockets();
        socketsOpen_ = false;
    }
    QDialog::done(result);
}

}  // namespace tools
