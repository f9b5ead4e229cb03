// SPDX-License-Identifier: Apache-2.0
#pragma once
// The extended test's "IPv6" section, run step by step on the UI thread: the
// computer's IPv6 addresses and default route, the translation seen by the
// provider's STUN server over IPv6, the firewall's filtering and binding
// lifetime over IPv6 (the NAT test's measurements on IPv6 sockets), and the
// advice on which family a phone should use.
#include "platform/ipv6_netlink.h"
#include "tools/extended_section.h"
#include "probes/extended_nat_test.h"
#include "probes/ipv6_findings.h"

#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QTimer>
#include <functional>
#include <memory>

namespace platform {
class UdpSocket;
class Icmp6Echo;
class ConnectCheck;
}

namespace tools {

struct Ipv6SectionConfig {
    QString stunServer;       // IPv6 text, "" : not set
    QString stunAlternate;    // "" : the server has no alternate address
    int stunPort = 3478;
    probes::LifetimeSearch lifetime;
    int keepAlive4Seconds = 0;  // from the IPv4 lifetime, 0: unknown
    QList<int> resendAfterMs{500, 1500};
    int requestTimeoutMs = 3000;
    int echoes = 10;
    int echoTimeoutMs = 1000;  // as the main test's echoes
    // The SIP servers' IPv6 targets (the SIP server section's AAAA answers):
    // the echoes go to the first, each gets the IPv4 checks over IPv6.
    QVector<probes::SipTarget> sipTargets;
    QString sipDomain;
    int sipUdpMs = 2000, sipTcpMs = 2000, sipTlsMs = 3000;  // as over IPv4
    // The system's IPv6 facts; ReadIpv6SystemFacts by default.
    std::function<platform::Ipv6SystemFacts()> readFacts;
};

class Ipv6SectionRun : public QObject, private probes::SocketHost {
    Q_OBJECT
public:
    explicit Ipv6SectionRun(QObject* parent = nullptr);
    ~Ipv6SectionRun() override;

    void start(const Ipv6SectionConfig& config);
    void stop();
    bool running() const { return running_; }
    const probes::Ipv6Findings& findings() const { return findings_; }
    double seconds() const { return seconds_; }
    // The IPv4 keep-alive for the advice, known only once the IPv4 lifetime
    // search (which runs beside this section) has ended: the advice of an
    // ended run is given again with it.
    void setIpv4KeepAlive(int seconds);
    int percent() const;

    static QString title() { return QStringLiteral("IPv6"); }
    QString text() const { return probes::Ipv6SectionText(findings_); }
    QJsonObject json() const;

signals:
    void progress(const QString& step);
    void finished();

private:
    int openSocket(int handle, int port) override;
    void send(int handle, const probes::stun5780::Endpoint& to, const QByteArray& data) override;
    void closeSocket(int handle) override;

    void readFacts();
    void startBinding();
    void bindingDatagram(const QByteArray& data, const QString& from, int port);
    void bindingTimer();
    void bindingDone();
    void startEchoes();
    void sendEcho();
    void echoAnswered(int sequence);
    void checkSipTarget(int index);
    void sipTargetDone(int index);
    void afterProviderChecks();
    void startFirewall();
    void firewallEvent();
    void finish();

    Ipv6SectionConfig config_;
    probes::Ipv6Findings findings_;
    probes::Ipv6Evidence evidence_;   // what the advice was given from
    bool advised_ = false;            // the run ended with advice
    QStringList localAddresses_;
    bool running_ = false;
    double seconds_ = 0;
    QElapsedTimer clock_;
    QTimer timer_;
    std::unique_ptr<platform::UdpSocket> binding_;
    probes::stun5780::TransactionId bindingId_{};
    QList<int> bindingResends_;
    qint64 bindingDeadline_ = 0;
    std::unique_ptr<platform::Icmp6Echo> echo_;
    QElapsedTimer echoClock_;
    std::unique_ptr<platform::UdpSocket> sipUdp_;
    std::unique_ptr<platform::ConnectCheck> connect_;
    QElapsedTimer sipClock_;
    std::unique_ptr<probes::ExtendedNatTest> firewall_;
    QHash<int, platform::UdpSocket*> sockets_;
};

// The run as a section of the extended path run.
class Ipv6Section : public ExtendedSection {
    Q_OBJECT
public:
    explicit Ipv6Section(QObject* parent = nullptr);
    ~Ipv6Section() override;
    static QString title() { return Ipv6SectionRun::title(); }
    QString text() const { return run_->text(); }
    QJsonObject json() const { return run_->json(); }
    int percent() const override { return running() ? run_->percent() : 100; }
    void setIpv4KeepAlive(int seconds);

private:
    void begin() override;
    void halt() override;

    Ipv6SectionRun* run_ = nullptr;
};

}  // namespace tools
