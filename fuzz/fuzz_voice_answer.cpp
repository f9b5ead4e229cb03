// SPDX-License-Identifier: Apache-2.0
// A datagram on the voice stream's socket, read as the answer to one request
// of the stream (session and index in the transaction ID) and for the mapped
// address it carries.
#include "fuzz_support.h"
#include "probes/voice_quality.h"

#include <QHostAddress>

namespace {

using fuzz::Get32;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray datagram = fuzz::Datagram(data, size);
    constexpr uint32_t kSession = 0xA1B2C3D4;
    const int index = probes::ReadVoiceAnswerIndex(datagram, kSession);
    if (index >= 0) {
        // A Binding Success Response with our cookie, tag, session and index.
        FUZZ_CHECK(datagram.size() >= 20 && Get32(datagram, 0) >> 16 == 0x0101);
        FUZZ_CHECK(Get32(datagram, 4) == 0x2112A442 && datagram.mid(8, 4) == "TVLV");
        FUZZ_CHECK(Get32(datagram, 12) == kSession && Get32(datagram, 16) == static_cast<uint32_t>(index));
        FUZZ_CHECK(probes::ReadVoiceAnswerIndex(datagram, kSession + 1) == -1);
    }
    const QString mapped = probes::ReadStunMappedAddress(datagram);
    if (!mapped.isEmpty()) {
        QHostAddress address;
        FUZZ_CHECK(address.setAddress(mapped) && address.protocol() == QAbstractSocket::IPv4Protocol);
        FUZZ_CHECK(datagram.size() >= 32 && Get32(datagram, 0) >> 16 == 0x0101);
    }
    return 0;
}
