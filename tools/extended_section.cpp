// SPDX-License-Identifier: Apache-2.0
#include "tools/extended_section.h"

#include "platform/stream_checks.h"
#include "platform/udp_socket.h"
#include "probes/sip_certificate.h"

namespace tools {

ExtendedSection::ExtendedSection(QObject* parent) : QObject(parent)
{
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, [this] {
        if (auto f = std::move(onTimeout_))
            f();
    });
}

ExtendedSection::~ExtendedSection() = default;

void ExtendedSection::start(const ExtendedPathsConfig& config, ExtendedPathsResult* result)
{
    stop();
    config_ = config;
    result_ = result;
    running_ = true;
    ++run_;
    clock_.start();
    begin();
}

void ExtendedSection::stop()
{
    running_ = false;
    ++run_;
    timer_.stop();
    onTimeout_ = nullptr;
    halt();
}

void ExtendedSection::finish()
{
    if (!running_)
        return;
    running_ = false;
    timer_.stop();
    onTimeout_ = nullptr;
    // Not at once: finish() may be called from a signal of the socket or
    // exchange that halt() deletes.
    const quint64 run = run_;
    QTimer::singleShot(0, this, [this, run] {
        if (run != run_)
            return;
        halt();
        emit finished();
    });
}

void ExtendedSection::wait(int ms, std::function<void()> then)
{
    onTimeout_ = std::move(then);
    timer_.start(ms);
}

std::unique_ptr<platform::UdpSocket> ExtendedSection::openUdp(
    std::function<void(const QByteArray&, const QString&, int)> onDatagram)
{
    auto socket = std::make_unique<platform::UdpSocket>();
    socket->bind(0);
    platform::UdpSocket* raw = socket.get();
    connect(raw, &platform::UdpSocket::readyRead, this, [raw, onDatagram = std::move(onDatagram)] {
        while (const std::optional<platform::ReceivedDatagram> d = raw->receive())
            onDatagram(d->data, d->fromAddress, d->fromPort);
    });
    return socket;
}

void TakeConnectCheck(probes::TargetCheck& c, const platform::ConnectCheck& connect, const QString& domain)
{
    c.answered = connect.succeeded();
    c.ms = connect.elapsedMs();
    c.tlsChainVerified = connect.chainVerified();
    c.tlsChainError = connect.chainError();
    c.tlsIdentities = probes::SipIdentities(probes::ReadCertificateNames(connect.certificateDer()),
                                            connect.certificateCommonNames());
    c.tlsVerified = c.answered && c.tlsChainVerified && probes::IdentityMatchesDomain(c.tlsIdentities, domain);
    c.detail = connect.error();
}

}  // namespace tools
