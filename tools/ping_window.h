// SPDX-License-Identifier: Apache-2.0
#pragma once
// "Пинг-тест": pings one address every 2.5 seconds and keeps the request
// number, the average delay, the losses and the jitter on screen.
#include "probes/endpoints.h"
#include "probes/ping.h"
#include "tools/ping_series.h"

#include <QDialog>
#include <QString>
#include <functional>

class QComboBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTimer;

namespace tools {

// Modal dialog; the opener's sockets stay open while it is shown.
class Form4 : public QDialog {
    Q_OBJECT
public:
    using EchoFunction = std::function<void(const QString& address, probes::EchoReply& reply)>;
    using Resolver = std::function<QString(const QString&)>;

    explicit Form4(const probes::ProviderEndpoints& endpoints, QWidget* parent = nullptr);

    // Replace the ICMP echo and the name lookup (tests feed chosen outcomes).
    void setEchoFunction(EchoFunction echo) { echo_ = std::move(echo); }
    void setResolver(Resolver resolve) { resolve_ = std::move(resolve); }

    const PingSeries& series() const { return series_; }
    // The log exactly as composed (CR LF line ends).
    const QString& logText() const { return log_; }

public slots:
    void Command1_Click();
    void Timer1_Timer();

protected:
    void done(int result) override;

private:
    PingSeries series_;
    QString log_;
    EchoFunction echo_;
    Resolver resolve_;

    QComboBox* Combo1_ = nullptr;
    QPushButton* Command1_ = nullptr;
    QPlainTextEdit* Text1_ = nullptr;
    QLabel* Num_ = nullptr;
    QLabel* Label1_ = nullptr;
    QLabel* Zadergka_ = nullptr;
    QLabel* Label2_ = nullptr;
    QLabel* poter_ = nullptr;
    QLabel* Label3_ = nullptr;
    QLabel* Dgit_ = nullptr;
    QTimer* Timer1_ = nullptr;
    QPushButton* Command4_ = nullptr;
};

}  // namespace tools
