// SPDX-License-Identifier: Apache-2.0
#pragma once
// STUN messages with the magic cookie (RFC 5389) and the NAT behaviour
// discovery attributes of RFC 5780: building Binding Requests and reading
// Binding responses. Independent of the classic (RFC 3489) reader.
#include <QByteArray>
#include <QString>
#include <array>
#include <cstdint>
#include <optional>

namespace probes::stun5780 {

constexpr uint32_t kMagicCookie = 0x2112A442;  // RFC 5389 section 6
constexpr int kHeaderSize = 20;

constexpr uint16_t kBindingRequest = 0x0001;
constexpr uint16_t kBindingSuccess = 0x0101;
constexpr uint16_t kBindingError = 0x0111;

constexpr uint16_t kAttrMappedAddress = 0x0001;
constexpr uint16_t kAttrChangeRequest = 0x0003;    // RFC 5780 section 7.2
constexpr uint16_t kAttrErrorCode = 0x0009;
constexpr uint16_t kAttrXorMappedAddress = 0x0020;
constexpr uint16_t kAttrPadding = 0x0026;          // RFC 5780 section 7.6
constexpr uint16_t kAttrResponsePort = 0x0027;     // RFC 5780 section 7.5
constexpr uint16_t kAttrResponseOrigin = 0x802B;   // RFC 5780 section 7.3
constexpr uint16_t kAttrOtherAddress = 0x802C;     // RFC 5780 section 7.4

// A transport address, IPv4 or IPv6.
struct Endpoint {
    QString address;  // dotted IPv4 or RFC 5952 IPv6 text
    int port = 0;

    bool isValid() const { return !address.isEmpty() && port > 0 && port <= 65535; }
    // "192.0.2.1:3478", or "[2001:db8::1]:3478" (RFC 5952 section 6).
    QString text() const
    {
        const QString host = address.contains(QLatin1Char(':')) ? QLatin1Char('[') + address + QLatin1Char(']') : address;
        return host + QLatin1Char(':') + QString::number(port);
    }
    friend bool operator==(const Endpoint&, const Endpoint&) = default;
};

using TransactionId = std::array<uint8_t, 12>;

struct BindingRequest {
    TransactionId id{};
    bool changeIp = false;                 // CHANGE-REQUEST "change IP" (0x04)
    bool changePort = false;               // CHANGE-REQUEST "change port" (0x02)
    std::optional<int> responsePort;       // RESPONSE-PORT: answer to this port instead
    int paddingBytes = 0;                  // PADDING of this many bytes (0: none)
};

// Header, then CHANGE-REQUEST (when a flag is set), RESPONSE-PORT, PADDING,
// each attribute padded to four bytes.
QByteArray BuildBindingRequest(const BindingRequest& request);

struct BindingResponse {
    TransactionId id{};
    bool success = false;          // Binding success response (0x0101); else an error response
    int errorCode = 0;             // ERROR-CODE of an error response (class * 100 + number)
    std::optional<Endpoint> mapped;          // XOR-MAPPED-ADDRESS, else MAPPED-ADDRESS
    std::optional<Endpoint> responseOrigin;  // RESPONSE-ORIGIN
    std::optional<Endpoint> otherAddress;    // OTHER-ADDRESS
};

// Reads a Binding success or error response. nullopt for anything else: too
// short, the first two bits not zero, no magic cookie, a length field that does
// not match the datagram or is not a multiple of four, another message type,
// or an attribute that runs past the end. Addresses of either family are read.
std::optional<BindingResponse> ParseBindingResponse(const QByteArray& datagram);

// Transaction ID of any message with the magic cookie (a request sent by a
// peer, e.g. the hairpinning probe); nullopt when the datagram is not one.
std::optional<TransactionId> MessageTransactionId(const QByteArray& datagram, uint16_t* type = nullptr);

}  // namespace probes::stun5780
