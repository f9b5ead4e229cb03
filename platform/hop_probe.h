// SPDX-License-Identifier: Apache-2.0
#pragma once
// The routers on the first hops towards an address: one UDP datagram per TTL
// (1..n) to an unused port, each from its own socket with IP_RECVERR, so that
// the ICMP time-exceeded answer of each router arrives on that socket's error
// queue with the router's address. Needs no privilege.
#include <QObject>
#include <QString>
#include <QTimer>
#include <QVector>
#include <memory>

class QSocketNotifier;

namespace platform {

class HopProbe : public QObject {
    Q_OBJECT
public:
    explicit HopProbe(QObject* parent = nullptr);
    ~HopProbe() override;
    // Sends the probes at once; finished() after timeoutMs or when every hop answered.
    void start(const QString& destination, int maxTtl, int timeoutMs);
    void stop();
    // Per TTL (1 first) who answered and how; type 0 for no answer. The
    // reading of the answers (where the list ends) is the caller's.
    struct Reply {
        QString address;
        int type = 0;   // ICMP type: 11 time exceeded, 3 destination unreachable (RFC 792)
        int code = 0;
    };
    QVector<Reply> replies() const;
signals:
    void finished();

private:
    struct Probe;
    void readError(int index);
    void finish();
    std::vector<std::unique_ptr<Probe>> probes_;
    QTimer timer_;
    bool running_ = false;
};

}  // namespace platform
