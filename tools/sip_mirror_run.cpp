// SPDX-License-Identifier: Apache-2.0
#include "tools/sip_mirror_run.h"

#include "platform/source_address.h"
#include "platform/stream_connection.h"
#include "platform/udp_socket.h"

#include <QRandomGenerator>
#include <QCoreApplication>

namespace tools {

namespace {
// RFC 3261 section 17.1.1.2: T1 = 500 ms, the first retransmission over UDP.
constexpr int kT1Ms = 500;
}  // namespace

SipMirrorRun::SipMirrorRun(QObject* parent) : QObject(parent)
{
    timer_.setSingleShot(true);
    resend_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, &SipMirrorRun::checkDone);
    connect(&resend_, &QTimer::timeout, this, [this] {
        if (udp_ && udp_->isOpen())
            udp_->sendTo(config_.server, checks_[index_].port, sent_);
    });
}

SipMirrorRun::~SipMirrorRun() = default;

QString SipMirrorRun::title()
{
    return QCoreApplication::translate("SipMirrorRun", "SIP через маршрутизатор");
}

void SipMirrorRun::start(const SipMirrorConfig& config)
{
    stop();
    config_ = config;
    checks_.clear();
    QVector<int> ports{config.port};
    if (config.secondPort > 0 && config.secondPort != config.port)
        ports << config.secondPort;
    for (int port : ports)
        for (bool tcp : {false, true}) {
            probes::MirrorCheck c;
            c.tcp = tcp;
            c.port = port;
            checks_ << c;
        }
    // An even port for RTP (RFC 3550 section 11).
    rtpPort_ = 2 * int(QRandomGenerator::global()->bounded(10000, 15000));
    index_ = -1;
    advancing_ = false;
    running_ = true;
    QTimer::singleShot(0, this, &SipMirrorRun::nextCheck);
}

void SipMirrorRun::stop()
{
    const bool was = running_;
    running_ = false;
    timer_.stop();
    resend_.stop();
    udp_.reset();
    tcp_.reset();
    if (was)
        emit finished();
}

void SipMirrorRun::nextCheck()
{
    if (!running_)
        return;
    advancing_ = false;
    timer_.stop();
    resend_.stop();
    tcp_.reset();
    if (++index_ >= checks_.size()) {
        udp_.reset();
        stop();
        return;
    }
    probes::MirrorCheck& c = checks_[index_];
    invite_ = true;
    stream_.clear();
    if (!c.tcp) {
        if (!udp_) {
            udp_ = std::make_unique<platform::UdpSocket>();
            connect(udp_.get(), &platform::UdpSocket::readyRead, this, &SipMirrorRun::onDatagrams);
            udp_->bind(config_.localUdpPort);
        }
        if (!udp_->isOpen()) {
            checkDone();
            return;
        }
        c.localAddress = platform::SourceAddressTowards(config_.server);
        c.localPort = udp_->localPort();
        c.sent = true;
        sendRequest();
        return;
    }
    tcp_ = std::make_unique<platform::StreamConnection>();
    connect(tcp_.get(), &platform::StreamConnection::connected, this, [this] {
        probes::MirrorCheck& check = checks_[index_];
        check.localAddress = tcp_->localAddress();
        check.localPort = tcp_->localPort();
        check.sent = true;
        sendRequest();
    });
    connect(tcp_.get(), &platform::StreamConnection::failed, this, &SipMirrorRun::checkDone);
    connect(tcp_.get(), &platform::StreamConnection::received, this, &SipMirrorRun::onStream);
    timer_.start(2 * config_.answerMs);
    tcp_->open(config_.server, c.port);
}

void SipMirrorRun::sendRequest()
{
    const probes::MirrorCheck& c = checks_[index_];
    // Our own transaction for every request: new Call-ID, branch and CSeq.
    transaction_ = probes::NewMirrorTransaction();
    probes::MirrorRequest r;
    r.invite = invite_;
    r.tcp = c.tcp;
    r.domain = config_.domain;
    r.localAddress = c.localAddress;
    r.localPort = c.localPort;
    // Each offer its own pair, as each call of a phone: a router's SIP helper
    // refuses an offer whose media port another dialog's offer holds.
    r.rtpPort = rtpPort_ + 2 * index_;
    r.transaction = transaction_;
    sent_ = probes::BuildMirrorRequest(r);
    timer_.start(config_.answerMs);
    if (c.tcp) {
        tcp_->send(sent_);
        return;
    }
    udp_->sendTo(config_.server, c.port, sent_);
    resend_.start(kT1Ms);
}

void SipMirrorRun::onDatagrams()
{
    while (udp_) {
        const std::optional<platform::ReceivedDatagram> d = udp_->receive();
        if (!d)
            break;
        // Only the server's own address and the port asked count.
        if (!running_ || index_ >= checks_.size() || checks_[index_].tcp || d->fromAddress != config_.server
            || d->fromPort != checks_[index_].port)
            continue;
        answer(d->data);
    }
}

void SipMirrorRun::onStream(const QByteArray& data)
{
    stream_ += data;
    for (;;) {
        const int length = probes::SipMessageLength(stream_);
        if (length < 0) {
            checkDone();
            return;
        }
        if (length == 0)
            return;
        const QByteArray message = stream_.left(length);
        stream_.remove(0, length);
        answer(message);
        if (advancing_)
            return;
    }
}

void SipMirrorRun::answer(const QByteArray& message)
{
    const std::optional<probes::MirrorAnswer> a = probes::ReadMirrorAnswer(message, transaction_);
    if (!a || a->status < 200 || advancing_)
        return;
    probes::MirrorCheck& c = checks_[index_];
    if (!a->mirrored) {
        c.refused = true;
        c.answered = false;
        checkDone();
        return;
    }
    c.sourceAddress = a->sourceAddress;
    c.sourcePort = a->sourcePort;
    const QVector<probes::SipDifference> diffs = probes::CompareMirror(sent_, a->copy, a->sourceAddress);
    if (invite_) {
        c.invite = diffs;
        c.inviteCopy = a->copy;
        invite_ = false;
        resend_.stop();
        sendRequest();
        return;
    }
    c.registration = diffs;
    c.answered = true;
    checkDone();
}

void SipMirrorRun::checkDone()
{
    if (advancing_ || index_ < 0 || index_ >= checks_.size())
        return;
    advancing_ = true;
    timer_.stop();
    resend_.stop();
    probes::MirrorCheck& c = checks_[index_];
    // Half a check (the INVITE copied, the REGISTER lost) shows no finding.
    if (!c.answered) {
        c.invite.clear();
        c.registration.clear();
    }
    QTimer::singleShot(0, this, &SipMirrorRun::nextCheck);
}

probes::MirrorFindings SipMirrorRun::findings() const
{
    return probes::JudgeMirror(checks_, config_.port, config_.secondPort);
}

QString SipMirrorRun::text() const
{
    return probes::MirrorText(checks_, findings());
}

QJsonObject SipMirrorRun::json() const
{
    QJsonObject o = probes::MirrorJson(checks_, findings());
    o.insert(QStringLiteral("server"), config_.server);
    for (const probes::MirrorCheck& c : checks_)
        if (c.answered && !c.tcp && c.port == config_.port)
            o.insert(QStringLiteral("inviteAsReceived"), QString::fromUtf8(c.inviteCopy));
    return o;
}

}  // namespace tools
