// SPDX-License-Identifier: Apache-2.0
#pragma once
// Classic (RFC 3489) STUN Binding Requests and the reading of their replies.
// Reply attributes are found by type; the mapped address falls back to its
// fixed place (bytes 24-31) only for a reply that names no address attribute.
#include <QByteArray>
#include <QString>
#include <cstdint>
#include <optional>

namespace probes {

// CHANGE-REQUEST flags.
constexpr uint32_t kChangeIp = 4;
constexpr uint32_t kChangePort = 2;

// Test bytes (last byte of the transaction ID) of the four requests.
constexpr uint8_t kStunPlainTest = 0x08;        // plain request to the server
constexpr uint8_t kStunChangeIpTest = 0x09;     // change IP
constexpr uint8_t kStunChangePortTest = 0x0A;   // change port
constexpr uint8_t kStunAlternativeTest = 0x0B;  // plain request to the alternative address

// STUN attribute types read or written here.
constexpr uint16_t kAttrMappedAddress = 0x0001;
constexpr uint16_t kAttrChangeRequest = 0x0003;
constexpr uint16_t kAttrSourceAddress = 0x0004;
constexpr uint16_t kAttrChangedAddress = 0x0005;
constexpr uint16_t kAttrOtherAddress = 0x802C;  // RFC 5780 section 7.4

// Binding Request: 20 bytes (type 0x0001, length 0, transaction ID fifteen
// zero bytes then testByte); with changeFlags != 0, 28 bytes: length 8 and a
// CHANGE-REQUEST attribute (type 0x0003, length 4, the flags big-endian).
QByteArray BuildBindingRequest(uint8_t testByte, uint32_t changeFlags = 0);

// Binding Request of the STUN server survey: 20 bytes, byte 14 = server index,
// byte 19 = sequence number of the cycle, every other byte of the ID zero.
QByteArray BuildSurveyRequest(uint8_t index, uint8_t sequence);

struct StunAddress {
    QString address;   // dotted IPv4
    int32_t port = 0;
};

struct StunReplyFields {
    uint8_t testByte = 0;
    uint16_t messageType = 0;     // bytes 0-1 (0x0101 for a Binding Response)
    QString mappedAddress;        // "" when the reply carries none
    int32_t mappedPort = 0;       // 0 when the reply carries none
    // Where the 0x0B requests go: CHANGED-ADDRESS, else OTHER-ADDRESS.
    // nullopt when the reply names neither: no alternative address is known.
    std::optional<StunAddress> alternative;
};

// Reads a reply. nullopt when it is shorter than the 20-byte header, or when
// it carries no mapped address (whatever its test byte).
// The attributes after the header are walked by type and length, never past
// the datagram (an attribute whose length runs past the end stops the walk):
//  - mapped address: the first MAPPED-ADDRESS (0x0001) with the IPv4 family,
//    wherever it stands; nothing is read at a fixed place;
//  - alternative address: the first IPv4 CHANGED-ADDRESS (0x0005, RFC 3489
//    section 11.2.3), else the first IPv4 OTHER-ADDRESS (0x802C, RFC 5780
//    section 7.4); never a fixed place, since the second attribute is often
//    SOURCE-ADDRESS, the server itself.
// Neither the message type, nor the transaction ID, nor the sender is judged.
std::optional<StunReplyFields> ReadStunReply(const QByteArray& datagram);

struct SurveyReply {
    uint8_t index = 0;            // byte 14
    uint8_t sequence = 0;         // byte 19
    QString externalAddress;      // mapped address, as ReadStunReply finds it
    int32_t externalPort = 0;
};

// Reads an answer to a survey request: only a Binding Response (0x0101) that
// carries a mapped address (see ReadStunReply); nullopt for anything else.
std::optional<SurveyReply> ReadSurveyReply(const QByteArray& datagram);

// Four bytes from offset as unsigned decimals joined by "."; bytes past the
// end of data read as 0.
QString DottedFromBytes(const QByteArray& data, int offset);

// Big-endian 16-bit value at offset; bytes past the end read as 0.
int32_t PortFromBytes(const QByteArray& data, int offset);

}  // namespace probes
