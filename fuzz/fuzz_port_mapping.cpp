// SPDX-License-Identifier: Apache-2.0
// A datagram from UDP port 5351 after the NAT-PMP external address request
// and the PCP ANNOUNCE request, read as an answer of either protocol and
// combined into the port-mapping finding. The first input byte says which of
// the two requests it answers.
#include "fuzz_support.h"
#include "probes/port_mapping.h"

#include <QHostAddress>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const QByteArray datagram = fuzz::Datagram(data + 1, size - 1);
    const probes::MappingAnswer a = probes::ReadMappingAnswer(datagram);
    using Kind = probes::MappingAnswerKind;
    switch (a.kind) {
    case Kind::None:
        FUZZ_CHECK(a.externalAddress.isEmpty());
        break;
    case Kind::NatPmp:
        // RFC 6886 section 3.2: version 0, opcode 128, 8 bytes at least.
        FUZZ_CHECK(a.version == 0 && datagram.size() >= 8 && static_cast<uint8_t>(datagram.at(1)) == 128);
        FUZZ_CHECK(a.resultCode >= 0 && a.resultCode <= 0xFFFF);
        break;
    case Kind::Pcp:
        // RFC 6887 section 7.2: version 2, R bit, 24 bytes at least.
        FUZZ_CHECK(a.version == 2 && datagram.size() >= 24 && (static_cast<uint8_t>(datagram.at(1)) & 0x80));
        FUZZ_CHECK(a.externalAddress.isEmpty());
        break;
    case Kind::UnsupportedVersion:
        FUZZ_CHECK(a.resultCode == 1 && a.externalAddress.isEmpty());
        break;
    }
    if (!a.externalAddress.isEmpty()) {
        // Only a successful NAT-PMP answer of 12 bytes names an address.
        FUZZ_CHECK(a.kind == Kind::NatPmp && a.resultCode == 0 && datagram.size() >= 12);
        QHostAddress address;
        FUZZ_CHECK(address.setAddress(a.externalAddress) && address.protocol() == QAbstractSocket::IPv4Protocol);
    }

    const bool toPcp = data[0] & 1;
    const probes::MappingAnswer none;
    const probes::PortMappingPresence p =
        toPcp ? probes::CombineMappingAnswers(none, a) : probes::CombineMappingAnswers(a, none);
    if (a.kind == Kind::None) {
        FUZZ_CHECK(!p.natPmp && !p.pcp && p.natPmpResult == -1 && p.natPmpExternalAddress.isEmpty());
        return 0;
    }
    FUZZ_CHECK(p.natPmpExternalAddress.isEmpty() || p.natPmpExternalAddress == a.externalAddress);
    const QString text = probes::PortMappingFindingText(probes::IgdFinding{}, p);
    FUZZ_CHECK(!text.isEmpty());
    return 0;
}
