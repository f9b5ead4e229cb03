// SPDX-License-Identifier: Apache-2.0
// A datagram on the ICMPv6 echo socket, first byte picking the sender (the
// echoed address or another): a sequence number only for an echo reply from
// the echoed address, and it is the datagram's bytes 6-7.
#include "fuzz_support.h"
#include "platform/icmp6_echo.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    static const QString kSenders[] = {QStringLiteral("2001:db8:1::10"), QStringLiteral("2001:db8:1:0::10"),
                                       QStringLiteral("2001:db8:1::11"), QStringLiteral("203.0.113.10"),
                                       QStringLiteral("")};
    const QString from = kSenders[data[0] % 5];
    const QByteArray datagram = fuzz::Datagram(data + 1, size - 1);
    const int sequence = platform::Icmp6ReplySequence(datagram, from, QStringLiteral("2001:db8:1::10"));
    if (sequence < 0)
        return 0;
    FUZZ_CHECK(data[0] % 5 < 2);
    FUZZ_CHECK(datagram.size() >= 8 && static_cast<uint8_t>(datagram[0]) == 129 && datagram[1] == 0);
    FUZZ_CHECK(sequence == (static_cast<uint8_t>(datagram[6]) << 8 | static_cast<uint8_t>(datagram[7])));
    return 0;
}
