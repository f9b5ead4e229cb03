// SPDX-License-Identifier: Apache-2.0
// Datagrams on the probe socket while the NAT test's STUN requests are out,
// one after another, and the decisions taken on them: which count as answers
// (type, transaction and sender), what a counted answer says, where the 0x0B
// requests go and the NAT verdict over the answers so far. The first byte of
// each datagram picks its sender (server, alternative address, or either of
// them on the other port), the rest is the datagram.
#include "fuzz_support.h"
#include "probes/nat_classifier.h"
#include "probes/stun_answer_check.h"
#include "probes/stun_message.h"

#include <QStringList>

namespace {

const QString kServer = QStringLiteral("203.0.113.10");
const QString kAlternative = QStringLiteral("203.0.113.11");
constexpr int kPort = 3478;
constexpr int kOtherPort = 3479;

bool Dotted(const QString& address)
{
    const QStringList parts = address.split(QLatin1Char('.'));
    if (parts.size() != 4)
        return false;
    for (const QString& part : parts) {
        bool ok = false;
        const int value = part.toInt(&ok);
        if (!ok || value < 0 || value > 255)
            return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const fuzz::Datagrams datagrams(data, size);
    probes::StunRunRequests run;
    run.serverAddress = kServer;
    run.serverPort = kPort;
    run.markSent(probes::kStunPlainTest);
    run.markSent(probes::kStunChangeIpTest);
    run.markSent(probes::kStunChangePortTest);
    probes::StunFlags flags;
    QString mappedAddress;
    int32_t mappedPort = 0;
    bool alternativeKnown = false;

    for (size_t i = 0; i < datagrams.count(); ++i) {
        const QByteArray framed = datagrams.at(i);
        if (framed.isEmpty())
            continue;
        const uint8_t pick = static_cast<uint8_t>(framed.at(0));
        const QString from = (pick & 1) ? kAlternative : kServer;
        const int fromPort = (pick & 2) ? kOtherPort : kPort;
        const QByteArray datagram = framed.mid(1);  // a view: the bytes stay in their exact block

        const std::optional<uint8_t> accepted = probes::AcceptedStunAnswer(datagram, from, fromPort, run);
        if (!accepted)
            continue;
        // A Binding Response to one of this run's requests.
        FUZZ_CHECK(datagram.size() >= 20 && datagram.startsWith(QByteArray("\x01\x01", 2)));
        FUZZ_CHECK(*accepted == static_cast<uint8_t>(datagram.at(19)) && run.wasSent(*accepted));
        for (int b = 4; b < 19; ++b)
            FUZZ_CHECK(datagram.at(b) == 0);
        // ... from where that request's answer must come; 0x0B only to an
        // alternative address some earlier answer named.
        if (*accepted == probes::kStunAlternativeTest)
            FUZZ_CHECK(alternativeKnown && from == run.alternativeAddress && fromPort == run.alternativePort);
        if (*accepted == probes::kStunPlainTest)
            FUZZ_CHECK(from == kServer && fromPort == kPort);

        const std::optional<probes::StunReplyFields> reply = probes::ReadStunReply(datagram);
        if (!reply)
            continue;
        FUZZ_CHECK(reply->testByte == *accepted);
        FUZZ_CHECK(reply->mappedAddress.isEmpty() || Dotted(reply->mappedAddress));
        FUZZ_CHECK(reply->mappedPort >= 0 && reply->mappedPort <= 65535);
        if (reply->alternative)
            FUZZ_CHECK(Dotted(reply->alternative->address) && reply->alternative->port >= 0 &&
                       reply->alternative->port <= 65535);

        switch (reply->testByte) {
        case probes::kStunPlainTest:
            flags.gotMapped = 1;
            mappedAddress = reply->mappedAddress;
            mappedPort = reply->mappedPort;
            // The 0x0B requests go out only to an alternative address the reply names.
            if (reply->alternative) {
                run.alternativeAddress = reply->alternative->address;
                run.alternativePort = reply->alternative->port;
                run.markSent(probes::kStunAlternativeTest);
                alternativeKnown = true;
            }
            break;
        case probes::kStunChangeIpTest:
            flags.changeIpReply = 1;
            break;
        case probes::kStunChangePortTest:
            flags.changePortReply = 1;
            break;
        case probes::kStunAlternativeTest:
            if (reply->mappedAddress == mappedAddress && reply->mappedPort == mappedPort)
                flags.sameMapping = 1;
            break;
        default:
            break;
        }
        const std::optional<probes::NatVerdict> verdict =
            probes::ClassifyNat(flags, mappedAddress, mappedPort, QStringLiteral("192.168.1.2"), 40000);
        if (verdict) {
            FUZZ_CHECK(verdict->natMode >= 0 && verdict->natMode <= 6);
            FUZZ_CHECK(verdict->caption.contains(QStringLiteral("\r\n")));
        }
    }
    return 0;
}
