// SPDX-License-Identifier: Apache-2.0
#pragma once
// "SIP через маршрутизатор": an INVITE with an SDP offer and a REGISTER to
// the mirror on the provider's SIP server, over UDP from local port 5060 and
// over TCP, to the SIP port and to the second SIP port when there is one; the
// copies that come back are compared with what was sent. Driven by the event
// loop; every wait has a time limit.
#include "probes/sip_mirror.h"

#include <QJsonObject>
#include <QObject>
#include <QTimer>
#include <memory>

namespace platform {
class UdpSocket;
class StreamConnection;
}

namespace tools {

struct SipMirrorConfig {
    QString server;          // dotted
    QString domain;
    int port = 5060;
    int secondPort = 0;      // 0: none configured
    int localUdpPort = 5060;
    int answerMs = 1000;     // per request
};

class SipMirrorRun : public QObject {
    Q_OBJECT
public:
    explicit SipMirrorRun(QObject* parent = nullptr);
    ~SipMirrorRun() override;
    void start(const SipMirrorConfig& config);
    void stop();
    bool running() const { return running_; }
    const QVector<probes::MirrorCheck>& checks() const { return checks_; }
    probes::MirrorFindings findings() const;
    static QString title();
    QString text() const;
    QJsonObject json() const;
signals:
    void finished();

private:
    void nextCheck();
    void sendRequest();
    void answer(const QByteArray& message);
    void checkDone();
    void onDatagrams();
    void onStream(const QByteArray& data);

    SipMirrorConfig config_;
    QVector<probes::MirrorCheck> checks_;
    int index_ = -1;
    bool invite_ = true;     // the request of the current check in flight
    bool running_ = false;
    bool advancing_ = false;  // the current check is over; the next one is queued
    int rtpPort_ = 0;
    probes::MirrorTransaction transaction_;
    QByteArray sent_, stream_;
    QTimer timer_, resend_;
    std::unique_ptr<platform::UdpSocket> udp_;
    std::unique_ptr<platform::StreamConnection> tcp_;
};

}  // namespace tools
