#pragma once
// Classic (RFC 3489) STUN Binding Requests and the reading of their replies.
// Replies are read at fixed offsets, as the provider's server lays them out;
// only the server's alternative address is looked up by attribute type.
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

// Binding Request: 20 bytes (type 0x0001, length 0, transaction ID fifteen
// zero bytes then testByte); with changeFlags != 0, 28 bytes: length 8 and a
// CHANGE-REQUEST attribute (type 0x0003, length 4, the flags big-endian).
QByteArray BuildBindingRequest(uint8_t testByte, uint32_t changeFlags = 0);

// Binding Request of the STUN server survey: 20 bytes, byte 14 = server index,
// byte 19 = sequence number of the cycle, every other byte of the ID zero.
QByteArray BuildSurveyRequest(uint8_t index, uint8_t sequence);

struct StunReplyFields {
    uint8_t testByte = 0;
    QString mappedAddress;        // bytes 28-31 ("" when the reply is shorter)
    int32_t mappedPort = 0;       // bytes 26-27 (0 when the reply is shorter)
    QString alternativeAddress;   // CHANGED-ADDRESS, else bytes 40-43 ("" when absent)
    int32_t alternativePort = 0;  // CHANGED-ADDRESS, else bytes 38-39 (0 when absent)
};

// Reads a reply. nullopt when it is too short for what its test byte (byte 19)
// calls for: fewer than 20 bytes; for 0x08 fewer than 44; for 0x0B fewer
// than 32. Neither message type, transaction ID nor sender is examined.
// The alternative address comes from the first IPv4 CHANGED-ADDRESS attribute
// found walking the attributes from byte 20 (a walk bounded by the datagram:
// an attribute whose length runs past the end stops it); only when there is
// none are bytes 36-43 read at their fixed place (port 38-39, address 40-43).
std::optional<StunReplyFields> ReadStunReply(const QByteArray& datagram);

struct SurveyReply {
    uint8_t index = 0;            // byte 14
    uint8_t sequence = 0;         // byte 19
    QString externalAddress;      // bytes 28-31
    int32_t externalPort = 0;     // bytes 26-27
    bool complete = false;        // false when the datagram ended before byte 31:
                                  // the missing bytes were read as 0
};

// Reads an answer to a survey request; nullopt under 20 bytes.
std::optional<SurveyReply> ReadSurveyReply(const QByteArray& datagram);

// Four bytes from offset as unsigned decimals joined by "."; bytes past the
// end of data read as 0.
QString DottedFromBytes(const QByteArray& data, int offset);

// Big-endian 16-bit value at offset; bytes past the end read as 0.
int32_t PortFromBytes(const QByteArray& data, int offset);

}  // namespace probes
