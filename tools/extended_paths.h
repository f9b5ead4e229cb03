// SPDX-License-Identifier: Apache-2.0
#pragma once
// The second half of the extended diagnosis, run step by step on the UI
// thread: the routers on the first hops, the gateway's UPnP IGD, NAT-PMP and
// PCP services, the voice path stream to the STUN server, where the address
// the STUN server sees lives, the double NAT verdict from all of it, and the
// provider's SIP servers as a phone resolves them. Each step has a time limit;
// stop() ends the run at once, also from inside a DNS query's wait (the step
// then ends when that query returns).
#include "probes/double_nat.h"
#include "probes/igd.h"
#include "probes/port_mapping.h"
#include "probes/sip_dns.h"
#include "probes/voice_quality.h"

#include <QElapsedTimer>
#include <QJsonObject>
#include <QObject>
#include <QSet>
#include <QTimer>
#include <functional>
#include <memory>

namespace platform {
class UdpSocket;
class HopProbe;
class TcpExchange;
class ConnectCheck;
}

namespace tools {

class SipMirrorRun;

enum class PathSection { Nat, Ports, Voice, Dns, Sip };

inline QSet<PathSection> AllPathSections()
{
    return {PathSection::Nat, PathSection::Ports, PathSection::Voice, PathSection::Dns, PathSection::Sip};
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

// Section titles and texts, in the order shown.
struct PathSectionText {
    PathSection section;
    QString title;
    QString text;
};

class ExtendedPathsRun : public QObject {
    Q_OBJECT
public:
    explicit ExtendedPathsRun(QObject* parent = nullptr);
    ~ExtendedPathsRun() override;
    void start(const ExtendedPathsConfig& config);
    void stop();
    bool running() const { return running_; }
    const ExtendedPathsResult& result() const { return result_; }
    // The voice stream's packets in the order sent.
    const QVector<probes::VoiceSample>& voiceSamples() const { return samples_; }
    const ExtendedPathsConfig& config() const { return config_; }
    QVector<PathSectionText> sections() const;
    // Every figure of the run, for the report's JSON document.
    QJsonObject json() const;
    // The SIP mirror section's figures ("sipPath" of the report), {} when it did not run.
    QJsonObject sipJson() const;
    // Share of the steps done, 0..100.
    int percent() const { return steps_.isEmpty() ? 100 : stepIndex_ * 100 / int(steps_.size()); }
signals:
    void progress(const QString& step);
    void finished();

private:
    using Step = void (ExtendedPathsRun::*)();
    void next();
    void stepHops();
    void stepIgd();
    void igdDescription(const QUrl& location);
    void igdStatus(int index, int answered);
    void igdExternalAddress(const probes::IgdService& service);
    void stepLocate();
    void stepMappingProtocols();
    void stepVoice();
    void voiceTick();
    void voiceDone();
    void stepDns();
    bool dnsStopped(quint64 run) const { return !running_ || run != run_; }
    void checkTarget(int index);
    void stepSip();
    void wait(int ms, std::function<void()> then);
    std::unique_ptr<platform::UdpSocket> openUdp(std::function<void(const QByteArray&, const QString&, int)> onDatagram);
    bool wants(PathSection s) const { return config_.sections.contains(s); }

    ExtendedPathsConfig config_;
    ExtendedPathsResult result_;
    QVector<Step> steps_;
    int stepIndex_ = 0;
    bool running_ = false;
    quint64 run_ = 0;           // counts start() and stop(): a blocked step sees it was stopped
    QTimer timer_;              // the current step's time limit
    std::function<void()> onTimeout_;
    QTimer pacer_;              // the voice stream
    QElapsedTimer clock_;
    std::unique_ptr<platform::HopProbe> hops_;
    std::unique_ptr<platform::UdpSocket> udp_, udp2_;
    std::unique_ptr<platform::TcpExchange> http_;
    std::unique_ptr<platform::ConnectCheck> connect_;
    QByteArray igdRaw_;
    probes::IgdDescription igdDescription_;
    probes::MappingAnswer natPmpAnswer_, pcpAnswer_;
    QVector<probes::VoiceSample> samples_;
    uint32_t session_ = 0;
    SipMirrorRun* sip_ = nullptr;
    int voiceSent_ = 0;
};

}  // namespace tools
