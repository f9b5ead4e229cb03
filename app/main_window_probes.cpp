// SPDX-License-Identifier: Apache-2.0
// Sending side and answer handlers of the STUN, SIP and UPnP probes of the
// main window. The protocol work itself lives in probes/.
#include "app/main_window.h"
#include "platform/socket_set.h"
#include "platform/user_message.h"
#include "probes/nat_classifier.h"
#include "probes/sip_register.h"
#include "probes/ssdp_search.h"
#include "probes/stun_answer_check.h"
#include "probes/stun_message.h"

#include <QLabel>
#include <QCoreApplication>

namespace app {

namespace {
constexpr int kStunCopies = 7;
constexpr int kRegisterCount = 6;
constexpr int kSsdpCopies = 2;
}  // namespace

void Form1a::SendStun()
{
    using platform::SocketId;
    const auto& e = deps_.endpoints;
    stunRun_ = probes::StunRunRequests();
    stunRun_.serverAddress = e.mainServer;
    stunRun_.serverPort = e.stunPort;
    stunRun_.markSent(probes::kStunPlainTest);
    stunRun_.markSent(probes::kStunChangeIpTest);
    stunRun_.markSent(probes::kStunChangePortTest);
    runProbePort_ = platform::ProbeLocalPort();
    const QByteArray plain = probes::BuildBindingRequest(0x08);
    for (int i = 0; i < kStunCopies; ++i)
        platform::SocketSend(SocketId::Probe, e.mainServer, e.stunPort, plain, false);
    const QByteArray changeIp = probes::BuildBindingRequest(0x09, probes::kChangeIp);
    for (int i = 0; i < kStunCopies; ++i)
        platform::SocketSend(SocketId::Probe, e.mainServer, e.stunPort, changeIp, false);
    const QByteArray changePort = probes::BuildBindingRequest(0x0A, probes::kChangePort);
    for (int i = 0; i < kStunCopies; ++i)
        platform::SocketSend(SocketId::Probe, e.mainServer, e.stunPort, changePort, false);
    NATType_->setText(probes::UdpBlockedCaption());
}

void Form1a::HandleStunReply()
{
    QString fromAddress;
    int fromPort = 0;
    QByteArray data;
    platform::SocketReceive(platform::SocketId::Probe, fromAddress, fromPort, data);
    if (!probes::AcceptedStunAnswer(data, fromAddress, fromPort, stunRun_))
        return;  // not an answer to this run's requests from where it must come
    const std::optional<probes::StunReplyFields> reply = probes::ReadStunReply(data);
    if (!reply)
        return;

    switch (reply->testByte) {
    case 0x08: {
        state_.MappedPort = reply->mappedPort;
        state_.StunMappedAddress = reply->mappedAddress;
        IPAdr_->setText(reply->mappedAddress);
        state_.ExternalAddress = reply->mappedAddress;
        state_.StunGotMapped = 1;
        state_.StunChangedPort = reply->alternative ? reply->alternative->port : 0;
        state_.StunChangedAddress = reply->alternative ? reply->alternative->address : QString();
        // Without an alternative address there is nowhere to send the 0x0B requests.
        if (!reply->alternative)
            break;
        stunRun_.alternativeAddress = state_.StunChangedAddress;
        stunRun_.alternativePort = state_.StunChangedPort;
        stunRun_.markSent(probes::kStunAlternativeTest);
        const QByteArray request = probes::BuildBindingRequest(0x0B);
        for (int i = 0; i < kStunCopies; ++i)
            platform::SocketSend(platform::SocketId::Probe, state_.StunChangedAddress, state_.StunChangedPort,
                                 request, false);
        break;
    }
    case 0x09:
        state_.StunChangeIpReply = 1;
        break;
    case 0x0A:
        state_.StunChangePortReply = 1;
        break;
    case 0x0B:
        if (reply->mappedAddress == state_.StunMappedAddress && reply->mappedPort == state_.MappedPort)
            state_.StunSameMapping = 1;
        break;
    default:
        break;
    }

    probes::StunFlags flags;
    flags.gotMapped = state_.StunGotMapped;
    flags.changeIpReply = state_.StunChangeIpReply;
    flags.changePortReply = state_.StunChangePortReply;
    flags.sameMapping = state_.StunSameMapping;
    const QString entry1 = interfaceTable_.isEmpty() ? QString() : interfaceTable_.first().Address;
    const std::optional<probes::NatVerdict> verdict = probes::ClassifyNat(
        flags, state_.StunMappedAddress, state_.MappedPort, entry1, runProbePort_);
    if (verdict) {
        NATType_->setText(verdict->caption);
        state_.NatMode = verdict->natMode;
    }
}

void Form1a::SendSIP()
{
    using platform::SocketId;
    const auto& e = deps_.endpoints;
    if (!platform::SocketCreated(SocketId::Fixed) || platform::FixedLocalPort() != probes::kSipLocalPort) {
        // Nothing can leave from port 5060 (no socket, or the port belongs to
        // another program): the probe ends here rather than test another port.
        platform::ShowMessage(probes::SendSipFailureMessage(interfaceTable_));
        return;
    }
    for (int i = 0; i < kRegisterCount; ++i) {
        const QByteArray request =
            probes::BuildRegisterRequest(e.mainServer, state_.MainAddress, probes::DrawRegisterNumber());
        platform::SocketSend(SocketId::Fixed, e.mainServer, e.sipPort, request, false);
    }
    platform::SocketSend(SocketId::Tcp, e.secondServer, e.sipPort, {}, true);
    platform::SocketSend(SocketId::Tcp, e.secondServer, e.sipPort, {}, true);
    platform::SocketSend(SocketId::Tcp, e.mainServer, e.sipPort, {}, true);
    platform::SocketSend(SocketId::Tcp, e.mainServer, e.sipPort, {}, true);
}

void Form1a::SendUPnP()
{
    using platform::SocketId;
    const int port = deps_.endpoints.ssdpPort;
    for (int request = 1; request <= 2; ++request) {
        const QByteArray search = probes::BuildSsdpSearch(request);
        for (int i = 0; i < kSsdpCopies; ++i)
            platform::SocketSend(SocketId::Fixed, state_.Gateway, port, search, false);
        // Routers that answer only searches sent to the SSDP group are found too.
        for (int i = 0; i < kSsdpCopies; ++i)
            platform::SocketSend(SocketId::Fixed, deps_.endpoints.ssdpGroup, port, search, false);
    }
}

void Form1a::HandleFixedPortReply()
{
    QString fromAddress;
    int fromPort = 0;
    QByteArray data;
    platform::SocketReceive(platform::SocketId::Fixed, fromAddress, fromPort, data);

    // Only the SIP server itself answers the REGISTER requests (they went to
    // its port 5060); "SIP/2.0" from anywhere else proves nothing.
    const bool fromSipServer =
        fromAddress == deps_.endpoints.mainServer && fromPort == deps_.endpoints.sipPort;
    const probes::SipAnswer answer = probes::ReadSipAnswer(data);
    if (answer.isSip && fromSipServer) {
        state_.Udp5060Passed = 1;
        const probes::SipVerdict verdict = probes::JudgeSipAnswer(answer, state_.MainAddress);
        SIPsup_->setText(verdict.caption);
        state_.SipState = verdict.sipState;
    }

    switch (probes::ReadSsdpAnswer(data, fromPort)) {
    case probes::SsdpEffect::Found:
        // Only a device of this computer's own network speaks for its router.
        if (!probes::SsdpSenderOnOwnNetwork(fromAddress, state_.MainAddress, state_.MainMask, state_.Gateway))
            break;
        state_.UpnpFound = 1;
        UPnP_->setText(QCoreApplication::translate("MainWindowProbes", "Присутствует"));
        break;
    case probes::SsdpEffect::Cleared:
        state_.UpnpFound = 0;
        UPnP_->setText(QCoreApplication::translate("MainWindowProbes", "Отсутствует"));
        break;
    case probes::SsdpEffect::None:
        break;
    }
}

void Form1a::TcpConnected()
{
    state_.Tcp5060Passed = 1;
}

}  // namespace app
