// SPDX-License-Identifier: Apache-2.0
// Datagrams arriving on the fixed port read as answers to the SSDP searches.
// The first two bytes of the input are the sender's port, the rest the datagram.
#include "fuzz_support.h"
#include "probes/ssdp_search.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;
    const int senderPort = data[0] * 256 + data[1];
    const QByteArray datagram = fuzz::Datagram(data + 2, size - 2);
    const probes::SsdpEffect effect = probes::ReadSsdpAnswer(datagram, senderPort);
    if (effect == probes::SsdpEffect::Found)
        FUZZ_CHECK(datagram.startsWith("HTTP/1.1 200"));
    if (effect == probes::SsdpEffect::Cleared)
        FUZZ_CHECK(datagram.isEmpty() && senderPort == 1900);
    if (datagram.isEmpty())
        FUZZ_CHECK(effect != probes::SsdpEffect::Found);
    return 0;
}
