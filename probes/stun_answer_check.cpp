// SPDX-License-Identifier: Apache-2.0
#include "probes/stun_answer_check.h"

#include "probes/stun_message.h"

namespace probes {

namespace {
constexpr int kHeaderSize = 20;
constexpr uint8_t kBindingResponseHigh = 0x01;
constexpr uint8_t kBindingResponseLow = 0x01;
}  // namespace

std::optional<uint8_t> AcceptedStunAnswer(const QByteArray& datagram, const QString& fromAddress, int fromPort,
                                          const StunRunRequests& run)
{
    if (datagram.size() < kHeaderSize)
        return std::nullopt;
    if (uint8_t(datagram[0]) != kBindingResponseHigh || uint8_t(datagram[1]) != kBindingResponseLow)
        return std::nullopt;
    for (int i = 4; i < 19; ++i)
        if (datagram[i] != 0)
            return std::nullopt;
    const uint8_t test = uint8_t(datagram[19]);
    if (!run.wasSent(test))
        return std::nullopt;

    const bool fromServerAddress = fromAddress == run.serverAddress;
    bool rightSender = false;
    switch (test) {
    case kStunPlainTest:
        rightSender = fromServerAddress && fromPort == run.serverPort;
        break;
    case kStunChangeIpTest:
        rightSender = !fromServerAddress &&
                      (run.alternativeAddress.isEmpty() || fromAddress == run.alternativeAddress);
        break;
    case kStunChangePortTest:
        rightSender = fromServerAddress && fromPort != run.serverPort;
        break;
    case kStunAlternativeTest:
        rightSender = !run.alternativeAddress.isEmpty() && fromAddress == run.alternativeAddress &&
                      fromPort == run.alternativePort;
        break;
    default:
        break;
    }
    if (!rightSender)
        return std::nullopt;
    // A bare header names no mapping: it answers nothing.
    const std::optional<StunReplyFields> fields = ReadStunReply(datagram);
    if (!fields || fields->mappedAddress.isEmpty())
        return std::nullopt;
    return test;
}

}  // namespace probes
