// SPDX-License-Identifier: Apache-2.0
#pragma once
// The extended NAT test as a state machine without sockets or timers of its
// own: the owner opens sockets and sends datagrams for it (SocketHost), and
// feeds it the datagrams that arrive and the passing of time. The measurements
// run one after another; each has a time limit and ends by closing its sockets.
#include "probes/extended_findings.h"
#include "probes/nat_behaviour.h"
#include "probes/stun5780.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <map>
#include <optional>

namespace probes {

class SocketHost {
public:
    virtual ~SocketHost() = default;
    // Opens socket `handle` bound to 0.0.0.0:port (0: any port). Returns the
    // local port, or -1 when the socket cannot be opened or the port is taken.
    virtual int openSocket(int handle, int port) = 0;
    virtual void send(int handle, const stun5780::Endpoint& to, const QByteArray& data) = 0;
    virtual void closeSocket(int handle) = 0;
};

struct ExtendedNatConfig {
    stun5780::Endpoint server;          // the STUN server's primary address and port
    QStringList localAddresses;         // the computer's own IPv4 addresses
    QList<Measurement> measurements = AllMeasurements();
    LifetimeSearch lifetime;
    // Retransmissions of a request (ms after the first send) and the time
    // after which it counts as unanswered.
    QList<int> resendAfterMs{500, 1500};
    int requestTimeoutMs = 3000;
    // Inbound probes of the lifetime search: one resend, a shorter limit.
    int probeTimeoutMs = 1500;
    // Fresh transaction IDs; random by default.
    std::function<stun5780::TransactionId()> newTransactionId;
    // Even local port for the RTP pair to try (called until a pair binds).
    std::function<int()> candidateRtpPort;
};

class ExtendedNatTest {
public:
    ExtendedNatTest(SocketHost& host, ExtendedNatConfig config);
    ~ExtendedNatTest();

    void start(qint64 nowMs);
    void datagramArrived(int handle, const stun5780::Endpoint& from, const QByteArray& data, qint64 nowMs);
    void timerFired(qint64 nowMs);
    // Ends the measurement under way with a "stopped" finding, skips the rest
    // and closes every socket.
    void stop(qint64 nowMs);

    bool running() const { return running_; }
    bool finished() const { return finished_; }
    // When timerFired is due next (nullopt: nothing to wait for).
    std::optional<qint64> nextDeadline() const;

    QString stepText() const { return stepText_; }
    int percent() const;
    const QList<Finding>& findings() const { return findings_; }
    // Seconds each finished measurement took, by measurement name.
    const QHash<QString, double>& durations() const { return durations_; }

private:
    struct Transaction {
        int handle = -1;
        stun5780::Endpoint to;
        QByteArray request;
        QList<qint64> resendAt;
        qint64 deadline = 0;
        bool done = false;
        std::optional<Reply> reply;   // the answer, once it arrived
        bool otherPort = false;       // RESPONSE-PORT: the answer may arrive at another socket
        int receivedOn = -1;          // socket it arrived at
        qint64 answeredAt = 0;
    };

    using TxId = stun5780::TransactionId;

    TxId send(int handle, const stun5780::Endpoint& to, const stun5780::BindingRequest& request, qint64 now,
              int timeoutMs, const QList<int>& resendAfterMs);
    TxId sendPlain(int handle, const stun5780::Endpoint& to, qint64 now);
    bool done(const TxId& id) const;
    bool fromServer(const stun5780::Endpoint& from) const;
    const Transaction& tx(const TxId& id) const;
    int open(int port);
    void closeAll();
    void beginMeasurement(qint64 now);
    void advance(qint64 now);
    void finishMeasurement(const Finding& finding, qint64 now);
    QList<stun5780::Endpoint> localEndpoints(int localPort) const;

    void advanceMapping(qint64 now);
    void advanceFiltering(qint64 now);
    void advanceHairpin(qint64 now);
    void advanceRtpPair(qint64 now);
    void advanceLifetime(qint64 now);

    SocketHost& host_;
    ExtendedNatConfig config_;
    bool running_ = false;
    bool finished_ = false;
    int current_ = -1;  // index into config_.measurements
    int step_ = 0;
    qint64 measurementStart_ = 0;
    QString stepText_;
    QList<Finding> findings_;
    QHash<QString, double> durations_;

    // Transactions by ID (the twelve ID bytes as the key).
    std::map<QByteArray, Transaction> transactions_;

    QHash<int, int> openSockets_;  // handle -> local port
    std::optional<stun5780::Endpoint> serverOther_;  // OTHER-ADDRESS of the server's first answer
    int nextHandle_ = 1;

    // State of the measurement under way.
    int sockA_ = -1, sockB_ = -1;
    TxId t1_{}, t2_{}, t3_{}, tB_{};
    MappingEvidence mapping_;
    FilteringEvidence filtering_;
    HairpinEvidence hairpin_;
    TxId hairpinProbe_{};
    int rtpLocal_ = 0;
    int rtpAttempts_ = 0;

    struct LifetimeSocket {
        int handle = -1;
        TxId setup{};
        std::optional<stun5780::Endpoint> mapped;
        qint64 idleSince = 0;
    };
    bool lifetimeSetup(qint64 now);
    void lifetimeProbeDone(qint64 now);
    void scheduleLifetimeProbe();
    void finishLifetime(int kind, const QString& why, qint64 now);

    QList<LifetimeSocket> lifetimeSockets_;  // usable sockets, in the order they are probed
    int helper_ = -1;
    TxId helperSetup_{};
    std::optional<stun5780::Endpoint> helperMapped_;
    bool behindFirewallOnly_ = false;  // mapped = local, inbound filtered
    int nextSocket_ = 0;      // socket probed next (index into lifetimeSockets_)
    int probeIndex_ = 0;      // step of the search probed next
    bool calibrating_ = false;
    bool confirming_ = false; // the probe under way confirms a lost one
    int calibrationTries_ = 0;
    qint64 probeDue_ = 0;
    TxId probe_{};
    QList<bool> lifetimeResults_;
};

}  // namespace probes
