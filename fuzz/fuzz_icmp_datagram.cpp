// SPDX-License-Identifier: Apache-2.0
// What an unprivileged ICMP datagram socket hands over while an echo waits
// (sequence number 1, sent to 203.0.113.10). First input byte even: a
// datagram from the normal queue, the next 4 bytes its sender; odd: a record
// of the error queue, the next byte the payload's length, then the payload
// and the control messages.
#include "fuzz_support.h"
#include "platform/icmp_socket.h"

#include <arpa/inet.h>

namespace {

// Bytes copied into a heap block of exactly their size, aligned for control
// messages as recvmsg leaves them.
std::unique_ptr<unsigned char[]> Block(const uint8_t* data, size_t size)
{
    auto block = std::make_unique<unsigned char[]>(size == 0 ? 1 : size);
    std::memcpy(block.get(), data, size);
    return block;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const uint32_t kDestination = inet_addr("203.0.113.10");
    if (size < 1)
        return 0;
    if ((data[0] & 1) == 0) {
        if (size < 5)
            return 0;
        uint32_t from = 0;
        std::memcpy(&from, data + 1, 4);
        const auto datagram = Block(data + 5, size - 5);
        const platform::IcmpAnswer answer =
            platform::ParseDatagramReply(datagram.get(), size - 5, from, 1, kDestination);
        if (answer.matched) {
            // An echo reply with our sequence number, from where the echo went.
            FUZZ_CHECK(size - 5 >= 8 && data[5] == 0);
            FUZZ_CHECK(answer.status == platform::kIpSuccess && answer.from == kDestination && from == kDestination);
        }
        return 0;
    }
    if (size < 2)
        return 0;
    const size_t payloadSize = std::min<size_t>(data[1], size - 2);
    const auto payload = Block(data + 2, payloadSize);
    const size_t controlSize = size - 2 - payloadSize;
    const auto control = Block(data + 2 + payloadSize, controlSize);
    const platform::IcmpAnswer answer =
        platform::ParseErrorQueueRecord(payload.get(), payloadSize, control.get(), controlSize, 1);
    if (answer.matched) {
        // Only an error about our echo request is an answer to it.
        FUZZ_CHECK(payloadSize >= 8 && payload[0] == 8);
        FUZZ_CHECK(answer.status != platform::kIpSuccess);
    }
    return 0;
}
