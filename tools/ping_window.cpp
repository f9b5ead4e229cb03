// SPDX-License-Identifier: Apache-2.0
#include "tools/ping_window.h"

#include "platform/socket_set.h"
#include "platform/window_service.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTextCursor>
#include <QTimer>
#include <QVBoxLayout>
#include <QCoreApplication>

namespace tools {

namespace {

constexpr int kPingInterval = 2500;

}  // namespace

Form4::Form4(const probes::ProviderEndpoints& endpoints, QWidget* parent)
    : QDialog(parent), echo_(&probes::PingEcho), resolve_(&platform::ResolveHostText)
{
    setObjectName(QStringLiteral("Form4"));
    setWindowTitle(QCoreApplication::translate("PingWindow", "Пинг-тест"));
    setModal(true);

    Combo1_ = new QComboBox(this);
    Combo1_->setObjectName(QStringLiteral("Combo1"));
    Combo1_->setEditable(true);
    Combo1_->setInsertPolicy(QComboBox::NoInsert);
    Combo1_->addItems({endpoints.mainServer, endpoints.secondServer, endpoints.furtherAddress});
    Combo1_->setCurrentIndex(0);
    Combo1_->setMinimumWidth(200);

    Command1_ = new QPushButton(QCoreApplication::translate("PingWindow", "Пинг"), this);
    Command1_->setObjectName(QStringLiteral("Command1"));
    Command1_->setAutoDefault(false);

    Text1_ = new QPlainTextEdit(this);
    Text1_->setObjectName(QStringLiteral("Text1"));
    // Wide enough for a whole log line with a long status text.
    Text1_->setMinimumSize(Text1_->fontMetrics().horizontalAdvance(QCoreApplication::translate("PingWindow",
                               "Запрос № 9999 на 255.255.255.255 - время ответа 1000 мс - статус  [ip dest port non trouve]"))
                               + 40,
                           260);

    Num_ = new QLabel(this);
    Num_->setObjectName(QStringLiteral("Num"));
    Label1_ = new QLabel(QCoreApplication::translate("PingWindow", "Средняя задержка"), this);
    Label1_->setObjectName(QStringLiteral("Label1"));
    Zadergka_ = new QLabel(this);
    Zadergka_->setObjectName(QStringLiteral("Zadergka"));
    Label2_ = new QLabel(QCoreApplication::translate("PingWindow", "Ошибок"), this);
    Label2_->setObjectName(QStringLiteral("Label2"));
    poter_ = new QLabel(this);
    poter_->setObjectName(QStringLiteral("poter"));
    Label3_ = new QLabel(QCoreApplication::translate("PingWindow", "Джиттер"), this);
    Label3_->setObjectName(QStringLiteral("Label3"));
    Dgit_ = new QLabel(this);
    Dgit_->setObjectName(QStringLiteral("Dgit"));
    for (QLabel* value : {Zadergka_, poter_, Dgit_})
        value->setMinimumWidth(160);

    Command4_ = new QPushButton(QCoreApplication::translate("PingWindow", "Закрыть"), this);
    Command4_->setObjectName(QStringLiteral("Command4"));
    Command4_->setAutoDefault(false);

    Timer1_ = new QTimer(this);
    Timer1_->setObjectName(QStringLiteral("Timer1"));
    Timer1_->setTimerType(Qt::PreciseTimer);  // 2.5 s between echoes at least

    auto* targetRow = new QHBoxLayout;
    targetRow->addWidget(Combo1_, 1);
    targetRow->addWidget(Command1_);

    auto* figures = new QGridLayout;
    figures->addWidget(Num_, 0, 0);
    figures->addWidget(Label1_, 1, 0);
    figures->addWidget(Zadergka_, 1, 1);
    figures->addWidget(Label2_, 2, 0);
    figures->addWidget(poter_, 2, 1);
    figures->addWidget(Label3_, 3, 0);
    figures->addWidget(Dgit_, 3, 1);
    figures->setColumnStretch(2, 1);
    figures->addWidget(Command4_, 3, 3);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(targetRow);
    layout->addWidget(Text1_, 1);
    layout->addLayout(figures);

    connect(Command1_, &QPushButton::clicked, this, &Form4::Command1_Click);
    connect(Command4_, &QPushButton::clicked, this, &Form4::reject);
    connect(Timer1_, &QTimer::timeout, this, &Form4::Timer1_Timer);
}

void Form4::Command1_Click()
{
    const QString target = PingTargetFor(Combo1_->currentText(), resolve_);
    Timer1_->start(kPingInterval);
    series_.Restart(target);
    log_ = QCoreApplication::translate("PingWindow", "Пинг на адрес ") + target + QStringLiteral("\r\n");
    Text1_->setPlainText(log_);
}

void Form4::Timer1_Timer()
{
    if (platform::InWindowService())
        return;  // never an echo inside another one's wait; the next interval brings it
    if (series_.PingTarget().size() <= 1) {
        Timer1_->stop();
        return;
    }
    probes::EchoReply reply{};
    echo_(series_.PingTarget(), reply);
    log_ += series_.Record(reply.Status, reply.RoundTripTime);
    Text1_->setPlainText(log_);

    Num_->setText(series_.NumText());
    if (const std::optional<QString> delay = series_.DelayText())
        Zadergka_->setText(*delay);
    poter_->setText(series_.LossText());
    Dgit_->setText(series_.JitterText());

    // Keep the newest line in view.
    Text1_->moveCursor(QTextCursor::End);
    Text1_->ensureCursorVisible();
}

void Form4::done(int result)
{
    Timer1_->stop();
    QDialog::done(result);
}

}  // namespace tools
