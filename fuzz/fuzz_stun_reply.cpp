// STUN replies to the NAT test's requests, one datagram after another, and
// the decisions taken on them: which reply sets which flag, and the NAT
// verdict over the flags gathered so far.
#include "fuzz_support.h"
#include "probes/nat_classifier.h"
#include "probes/stun_message.h"

#include <QRegularExpression>

namespace {

bool SameFields(const probes::StunReplyFields& a, const probes::StunReplyFields& b)
{
    return a.testByte == b.testByte && a.mappedAddress == b.mappedAddress && a.mappedPort == b.mappedPort &&
           a.alternativeAddress == b.alternativeAddress && a.alternativePort == b.alternativePort;
}

void CheckAddress(const QString& address, int32_t port)
{
    static const QRegularExpression kDotted(QStringLiteral("^(\\d{1,3})\\.(\\d{1,3})\\.(\\d{1,3})\\.(\\d{1,3})$"));
    FUZZ_CHECK(port >= 0 && port <= 65535);
    if (address.isEmpty())
        return;
    const QRegularExpressionMatch m = kDotted.match(address);
    FUZZ_CHECK(m.hasMatch());
    for (int i = 1; i <= 4; ++i)
        FUZZ_CHECK(m.captured(i).toInt() <= 255);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const fuzz::Datagrams datagrams(data, size);
    probes::StunFlags flags;
    QString mappedAddress;
    int32_t mappedPort = 0;
    for (size_t i = 0; i < datagrams.count(); ++i) {
        const QByteArray datagram = datagrams.at(i);
        const std::optional<probes::StunReplyFields> reply = probes::ReadStunReply(datagram);
        if (!reply)
            continue;
        // The header carries the test byte: nothing shorter is a reply.
        FUZZ_CHECK(datagram.size() >= 20);
        FUZZ_CHECK(reply->testByte == static_cast<uint8_t>(datagram.at(19)));
        CheckAddress(reply->mappedAddress, reply->mappedPort);
        CheckAddress(reply->alternativeAddress, reply->alternativePort);
        // The same bytes read again give the same fields.
        const QByteArray copy(datagram.constData(), datagram.size());
        const std::optional<probes::StunReplyFields> again = probes::ReadStunReply(copy);
        FUZZ_CHECK(again && SameFields(*reply, *again));

        switch (reply->testByte) {
        case probes::kStunPlainTest:
            flags.gotMapped = 1;
            mappedAddress = reply->mappedAddress;
            mappedPort = reply->mappedPort;
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
