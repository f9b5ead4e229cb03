// SPDX-License-Identifier: Apache-2.0
#pragma once
// Read-only questions to the router's port-mapping services on UDP 5351:
// the NAT-PMP external address request (RFC 6886 section 3.2) and the PCP
// ANNOUNCE request (RFC 6887 section 14.1). Neither creates a mapping.
#include <QByteArray>
#include <QString>
#include <cstdint>

namespace probes {

constexpr int kPortMappingPort = 5351;  // RFC 6886 section 3, RFC 6887 section 19.1

// NAT-PMP: version 0, opcode 0 (RFC 6886 section 3.2): two bytes.
QByteArray BuildNatPmpAddressRequest();

// PCP ANNOUNCE (version 2, opcode 0, requested lifetime 0) from the client's
// IPv4 address, written as an IPv4-mapped IPv6 address (RFC 6887 section 7.1).
// An invalid address gives an empty array.
QByteArray BuildPcpAnnounceRequest(const QString& clientAddress);

enum class MappingAnswerKind {
    None,             // not an answer of either protocol
    NatPmp,           // NAT-PMP answer (version 0, opcode 128)
    Pcp,              // PCP answer (version 2, R bit set)
    UnsupportedVersion,  // the server refused the version we asked for
};

struct MappingAnswer {
    MappingAnswerKind kind = MappingAnswerKind::None;
    int version = -1;          // version field of the answer
    int resultCode = -1;       // 0 success
    uint32_t epochSeconds = 0;
    QString externalAddress;   // NAT-PMP success only: dotted text
};

// Reads an answer to either request. RFC 6887 section 9: a server that speaks
// only NAT-PMP answers a PCP request with version 0 and result 1 (unsupported
// version); a PCP server that does not speak NAT-PMP answers a NAT-PMP request
// with its own version and result UNSUPP_VERSION (1). Both come back as
// UnsupportedVersion with the server's version.
MappingAnswer ReadMappingAnswer(const QByteArray& data);

// What the two answers say together, for the port-mapping finding.
struct PortMappingPresence {
    bool natPmp = false;   // a NAT-PMP answer (any result code)
    int natPmpResult = -1; // its result code, -1 without one
    bool pcp = false;      // a PCP answer (any result code: the server speaks PCP)
    QString natPmpExternalAddress;
};

PortMappingPresence CombineMappingAnswers(const MappingAnswer& natPmp, const MappingAnswer& pcp);

// What the UPnP IGD step found.
struct IgdFinding {
    bool answered = false;      // an SSDP answer came back
    bool described = false;     // its description named a WAN connection service
    int deviceVersion = 0;
    QString serviceType;
    int serviceVersion = 0;
    QString externalAddress;    // GetExternalIPAddress, "" when none
    // Not fetched: the answer named a description or control URL on an
    // address other than the gateway's.
    QString foreignHost;
    // Refused for being over 64 KiB: the device description, or a SOAP answer.
    bool descriptionTooLarge = false;
    bool answerTooLarge = false;
};

// The finding: each protocol present or not, and what that means for a phone.
QString PortMappingFindingText(const IgdFinding& igd, const PortMappingPresence& p);

}  // namespace probes
