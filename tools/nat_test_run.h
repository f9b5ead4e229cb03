// SPDX-License-Identifier: Apache-2.0
#pragma once
// One extended NAT test on sockets of its own: opens, feeds and closes them
// for the test, and keeps its timer. Two of these run side by side in the
// extended window: the binding lifetime search, and the other measurements
// while its sockets sit idle.
#include "probes/extended_nat_test.h"

#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QTimer>
#include <memory>

namespace platform {
class UdpSocket;
}

namespace tools {

class NatTestRun : public QObject, private probes::SocketHost {
    Q_OBJECT
public:
    explicit NatTestRun(QObject* parent = nullptr);
    ~NatTestRun() override;

    void start(const probes::ExtendedNatConfig& config);
    // Ends the measurement under way ("stopped") and closes every socket.
    void stop();
    // Forgets the last test (no findings, nothing running).
    void clear();
    bool running() const { return test_ && test_->running(); }
    // The test, started or not; nullptr before start() and after clear().
    const probes::ExtendedNatTest* test() const { return test_.get(); }
    int openSocketCount() const { return static_cast<int>(sockets_.size()); }
    // The local ports of the sockets open now.
    QList<int> localPorts() const;

signals:
    // The test handled an event: its step, percent or findings may have changed.
    void changed();
    // The test ended (ran to its end or was stopped); its sockets are closed.
    void finished();

private:
    int openSocket(int handle, int port) override;
    void send(int handle, const probes::stun5780::Endpoint& to, const QByteArray& data) override;
    void closeSocket(int handle) override;

    void closeAll();
    // Hands every queued datagram of every socket to the test.
    void readAll();
    void readSocket(int handle);
    void timerFired();
    void afterEvent();

    std::unique_ptr<probes::ExtendedNatTest> test_;
    QHash<int, platform::UdpSocket*> sockets_;
    QTimer timer_;
    QElapsedTimer clock_;
    bool reported_ = false;
};

}  // namespace tools
