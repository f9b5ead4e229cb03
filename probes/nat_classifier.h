// SPDX-License-Identifier: Apache-2.0
#pragma once
// NAT type from the STUN replies received so far.
#include <QString>
#include <cstdint>
#include <optional>

namespace probes {

struct StunFlags {
    int16_t gotMapped = 0;        // a 0x08 reply arrived
    int16_t changeIpReply = 0;    // a 0x09 reply arrived
    int16_t changePortReply = 0;  // a 0x0A reply arrived
    int16_t sameMapping = 0;      // a 0x0B reply showed the same mapping
};

struct NatVerdict {
    QString caption;  // the name in the program's language, CR LF, the English name
    int16_t natMode;  // app::NatModeCode
};

// Behind a NAT when mappedAddress differs from entry1Address or mappedPort
// from probeLocalPort; the four NAT rules are then applied in order and the
// last that holds decides. nullopt when none holds: label and NatMode stay.
// Not behind a NAT: Open Internet with a change-IP reply, else Symmetric UDP
// Firewall.
std::optional<NatVerdict> ClassifyNat(const StunFlags& flags, const QString& mappedAddress,
                                      int32_t mappedPort, const QString& entry1Address,
                                      int probeLocalPort);

// The standing caption until a reply arrives.
QString UdpBlockedCaption();

}  // namespace probes
