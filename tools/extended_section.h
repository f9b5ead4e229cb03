// SPDX-License-Identifier: Apache-2.0
#pragma once
// One section of the extended path run, and what the sections share: the
// run's settings and the figures every section adds to. A section runs on the
// UI thread with sockets of its own, reports its steps through progress(),
// and signals finished() once when it ran to its end; stop() ends it at once
// and signals nothing.
#include "probes/double_nat.h"
#include "probes/igd.h"
#include "probes/port_mapping.h"
#include "probes/sip_dns.h"
#include "probes/voice_quality.h"

#include <QElapsedTimer>
#include <QObject>
#include <QSet>
#include <QTimer>
#include <functional>
#include <memory>

namespace platform {
class ConnectCheck;
class UdpSocket;
}

namespace tools {

enum class PathSection { Nat, Ports, Voice, Dns, Sip, Ipv6 };

inline QSet<PathSection> AllPathSections()
{
    return {PathSection::Nat, PathSection::Ports, PathSection::Voice, PathSection::Dns, PathSection::Sip,
            PathSection::Ipv6};
}

struct ExtendedPathsConfig {
    QString stunServer;          // dotted
    int stunPort = 3478;
    QString hopTarget;           // dotted: where the TTL-limited probes go
    QString domain;              // the provider's SIP domain
    int sipPort = 5060, secondSipPort = 0;  // the SIP mirror on the main server (stunServer)
    QSet<PathSection> sections = AllPathSections();
    int voicePackets = probes::kVoicePacketCount;
    QString gateway;             // "" : the routing table's default gateway
    // The SSDP group the UPnP search also goes to ("" : the gateway only).
    QString ssdpGroup = QStringLiteral("239.255.255.250");
    // The IPv6 section, run last: the STUN server's IPv6 addresses ("" : not set).
    QString stunServer6, stunAlternate6;
    int stunPort6 = 3478;
    int keepAlive4Seconds = 0;   // the IPv4 keep-alive, for the IPv6 advice (0: unknown)
};

struct ExtendedPathsResult {
    QString localAddress, gateway;
    probes::NatEvidence evidence;
    probes::NatVerdictResult verdict;
    probes::IgdFinding igd;
    QString igdConnectionStatus;   // GetStatusInformation of the service asked; "" when not answered
    probes::PortMappingPresence mapping;
    probes::VoiceAssessment voice;
    probes::SipDnsSummary dns;
};

class ExtendedSection : public QObject {
    Q_OBJECT
public:
    explicit ExtendedSection(QObject* parent = nullptr);
    ~ExtendedSection() override;
    // Runs on *result, which holds what the sections before this one found
    // and takes this section's figures; it must outlive the run.
    void start(const ExtendedPathsConfig& config, ExtendedPathsResult* result);
    void stop();
    bool running() const { return running_; }
    // Share of the section done, 0..100.
    virtual int percent() const { return running_ ? 0 : 100; }
signals:
    void progress(const QString& step);
    void finished();

protected:
    virtual void begin() = 0;
    // Closes the section's sockets and exchanges.
    virtual void halt() {}
    // The section ran to its end: halt() and finished() follow from the event loop.
    void finish();
    // then() once ms have passed, unless the section finishes or stops first;
    // restarting the wait replaces then().
    void wait(int ms, std::function<void()> then);
    void endWait() { timer_.start(0); }
    void cancelWait()
    {
        timer_.stop();
        onTimeout_ = nullptr;
    }
    std::unique_ptr<platform::UdpSocket> openUdp(
        std::function<void(const QByteArray&, const QString&, int)> onDatagram);
    bool wants(PathSection s) const { return config_.sections.contains(s); }
    // Counts start() and stop(): a step that waited inside a blocking call
    // compares it to see whether it is still wanted.
    quint64 generation() const { return run_; }
    double elapsedMs() const { return clock_.nsecsElapsed() / 1e6; }

    ExtendedPathsConfig config_;
    ExtendedPathsResult* result_ = nullptr;

private:
    bool running_ = false;
    quint64 run_ = 0;
    QTimer timer_;
    std::function<void()> onTimeout_;
    QElapsedTimer clock_;
};

// A SIP target's TCP or TLS check as the connection ended: reached, time, and
// for TLS whether the chain and the SIP domain's identity (RFC 5922) hold.
void TakeConnectCheck(probes::TargetCheck& check, const platform::ConnectCheck& connect, const QString& domain);

}  // namespace tools
