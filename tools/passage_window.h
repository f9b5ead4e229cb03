// SPDX-License-Identifier: Apache-2.0
#pragma once
// "Проверка прохождения пакетов": sends a REGISTER to the packet passage test
// server naming the external address and a chosen port, and logs every
// datagram that then reaches either of the window's two UDP sockets.
#include "platform/socket_set.h"
#include "probes/endpoints.h"

#include <QDialog>
#include <QLocale>
#include <QTime>
#include <QString>

#include <deque>
#include <optional>

class QButtonGroup;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QTimer;

namespace platform {
class NotificationSink;
}

namespace tools {

// Modal dialog. The opener sets the external address, closes its own socket
// set, runs exec() and reopens its set afterwards: this window opens the set
// 5 ms after it is created and closes it when it is closed.
class Form1 : public QDialog {
    Q_OBJECT
public:
    explicit Form1(const probes::ProviderEndpoints& endpoints, QWidget* parent = nullptr);
    ~Form1() override;

    // Text1: the external address found by the main window ("" when unknown).
    void setExternalAddress(const QString& address);

    // The log exactly as composed (CR LF line ends), newest entry first.
    QString logText() const;

    // Entries kept in the log; older ones are dropped.
    static constexpr int kMaxLogEntries = 1000;

    // The typed port when it is a whole number from 1 to 65535, else nullopt.
    std::optional<int> port() const;

public slots:
    void Timer1_Timer();
    void Text2_Change();
    void Command1_Click();
    void Picture1_MouseUp();
    void Picture2_MouseUp();
    void Command2_Click();

protected:
    // Every way of closing ends here: the window's sockets are closed.
    void done(int result) override;

private:
    void openSockets();
    void logArrival(const QString& port);

    probes::ProviderEndpoints endpoints_;
    std::deque<QString> log_;  // entries, newest first
    bool socketsOpen_ = false;

    QLabel* Label3_ = nullptr;
    QLabel* Label1_ = nullptr;
    QLineEdit* Text1_ = nullptr;
    QLabel* Label2_ = nullptr;
    QLineEdit* Text2_ = nullptr;
    QButtonGroup* Option1_ = nullptr;
    QRadioButton* Option1_0_ = nullptr;
    QRadioButton* Option1_1_ = nullptr;
    QPlainTextEdit* Text3_ = nullptr;
    QPushButton* Command1_ = nullptr;
    QPushButton* Command2_ = nullptr;
    QPushButton* Command4_ = nullptr;
    platform::NotificationSink* Picture1_ = nullptr;
    platform::NotificationSink* Picture2_ = nullptr;
    platform::NotificationSink* Picture3_ = nullptr;
    QTimer* Timer1_ = nullptr;
};

// The system's long time format without its time zone part (hours, minutes
// and seconds as the user's system writes them).
QString TimeOfDayText(const QTime& time, const QLocale& locale = QLocale::system());

// Why nothing can be sent for a fixed port that could not be bound ("" when
// it is bound).
QString FixedPortFailureMessage(platform::FixedBind result, int port);

}  // namespace tools
