// SPDX-License-Identifier: Apache-2.0
#pragma once
// "Тест STUN серверов": polls a list of public STUN servers every 5 seconds
// and shows, per answer, its time, the average time, the losses and the
// external address and port the server saw.
#include "probes/endpoints.h"
#include "tools/stun_survey.h"

#include <QDialog>
#include <QElapsedTimer>
#include <QList>
#include <QString>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTimer;

namespace platform {
class NotificationSink;
}

namespace tools {

// Modal dialog. The opener closes its own socket set and sets ProbeLocalPort
// to 0 before exec(), and reopens its set afterwards: this window opens the
// set (fixed port 5060) 5 ms after it is created and closes it when closed.
class Form2 : public QDialog {
    Q_OBJECT
public:
    // Polls the built-in list of public servers.
    explicit Form2(const probes::ProviderEndpoints& endpoints, QWidget* parent = nullptr);
    // Polls the given list instead (tests point it at local servers).
    Form2(const probes::ProviderEndpoints& endpoints, QList<SurveyServer> servers,
          QWidget* parent = nullptr);
    ~Form2() override;

    // Interval of the polling cycles, 5000 ms; shorter only in tests.
    void setCycleInterval(int milliseconds);

    const StunSurvey& survey() const { return survey_; }
    // The output area exactly as composed (CR LF line ends).
    const QString& outputText() const { return output_; }

public slots:
    void Timer1_Timer();
    void Timer2_Timer();
    void Picture1_MouseUp();
    void Command1_Click();

protected:
    // Every way of closing ends here: timers stop, the sockets are closed.
    void done(int result) override;

private:
    void setOutput(const QString& text);

    StunSurvey survey_;
    QString output_;
    QElapsedTimer clock_;
    bool socketsOpen_ = false;

    QPlainTextEdit* Text3_ = nullptr;
    QLabel* Label1_ = nullptr;
    QLineEdit* STUNAdr_ = nullptr;
    QLabel* Label2_ = nullptr;
    QLineEdit* STUN_Port_ = nullptr;
    QPushButton* Command1_ = nullptr;
    QPushButton* Command4_ = nullptr;
    QLabel* Label3_ = nullptr;
    platform::NotificationSink* Picture1_ = nullptr;
    platform::NotificationSink* Picture2_ = nullptr;
    platform::NotificationSink* Picture3_ = nullptr;
    QTimer* Timer1_ = nullptr;
    QTimer* Timer2_ = nullptr;
};

}  // namespace tools
