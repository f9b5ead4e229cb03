// SPDX-License-Identifier: Apache-2.0
#pragma once
// The second half of the extended diagnosis, run section by section on the
// UI thread: the gateway's UPnP IGD, NAT-PMP and PCP services, the voice path
// stream to the STUN server, the routers on the first hops and where the
// address the STUN server sees lives with the double NAT verdict from all of
// it, the provider's SIP servers as a phone resolves them, and the SIP mirror.
// Each step has a time limit; stop() ends the run at once, also from inside a
// DNS query's wait (the step then ends when that query returns).
#include "tools/extended_section.h"

#include <QJsonObject>

namespace tools {

class NatSection;
class PortsSection;
class VoiceSection;
class DnsSection;
class SipSection;
class Ipv6Section;

// Section titles and texts, in the order shown.
struct PathSectionText {
    PathSection section;
    QString title;
    QString text;
};

// The sections in the order they run: the gateway's services and the STUN
// server's view first, as the NAT verdict needs them.
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
    const QVector<probes::VoiceSample>& voiceSamples() const;
    const ExtendedPathsConfig& config() const { return config_; }
    QVector<PathSectionText> sections() const;
    // Every figure of the run, for the report's JSON document.
    QJsonObject json() const;
    // The SIP mirror section's figures ("sipPath" of the report), {} when it did not run.
    QJsonObject sipJson() const;
    // The IPv6 section's figures ("ipv6" of the report), {} when it did not run.
    QJsonObject ipv6Json() const;
    // The IPv4 keep-alive, for the IPv6 section's advice (0: unknown).
    void setIpv4KeepAlive(int seconds);
    // Share of the sections done, 0..100.
    int percent() const;
signals:
    void progress(const QString& step);
    void finished();

private:
    void next();
    bool wants(PathSection s) const { return config_.sections.contains(s); }

    ExtendedPathsConfig config_;
    ExtendedPathsResult result_;
    NatSection* nat_ = nullptr;
    PortsSection* ports_ = nullptr;
    VoiceSection* voice_ = nullptr;
    DnsSection* dns_ = nullptr;
    SipSection* sip_ = nullptr;
    Ipv6Section* ipv6_ = nullptr;
    QVector<ExtendedSection*> order_;   // the sections of this run
    int index_ = 0;                     // the next one to start
    bool running_ = false;
};

}  // namespace tools
