// SPDX-License-Identifier: Apache-2.0
// Packets read from a raw ICMP socket while an echo waits: IPv4 header, then
// ICMP. The echo waited for went to 203.0.113.10 with identifier 0x1234 and
// sequence number 1 (as in the seeds).
#include "fuzz_support.h"
#include "platform/icmp_socket.h"

#include <arpa/inet.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const uint32_t kDestination = inet_addr("203.0.113.10");
    // The packet lives in a block of exactly its size (the input itself).
    const platform::IcmpAnswer answer = platform::ParseRawIcmpPacket(data, size, 0x1234, 1, kDestination);
    if (!answer.matched)
        return 0;
    // An IPv4 header and an ICMP header at least.
    FUZZ_CHECK(size >= 28);
    const size_t headerSize = size_t(data[0] & 0x0F) * 4;
    FUZZ_CHECK((data[0] >> 4) == 4 && headerSize >= 20 && size >= headerSize + 8);
    const uint8_t type = data[headerSize];
    uint32_t source = 0;
    std::memcpy(&source, data + 12, 4);
    FUZZ_CHECK(answer.from == source);
    if (answer.status == platform::kIpSuccess) {
        // An echo reply counts only from the address the echo went to.
        FUZZ_CHECK(type == 0 && source == kDestination);
    } else {
        FUZZ_CHECK(answer.status == platform::IcmpErrorStatus(type, data[headerSize + 1]));
        // The error quotes our request: its IP header and 8 bytes of ICMP.
        FUZZ_CHECK(size >= headerSize + 8 + 28);
    }
    return 0;
}
