// SPDX-License-Identifier: Apache-2.0
#include "probes/stun_message.h"

namespace probes {

namespace {

constexpr int kHeaderSize = 20;

uint8_t ByteAt(const QByteArray& data, int offset)
{
    if (offset < 0 || offset >= data.size())
        return 0;
    return static_cast<uint8_t>(data.at(offset));
}

void AppendBigEndian16(QByteArray& out, uint16_t value)
{
    out.append(static_cast<char>(value >> 8));
    out.append(static_cast<char>(value & 0xFF));
}

QByteArray Header(uint16_t length)
{
    QByteArray out;
    AppendBigEndian16(out, 0x0001);  // Binding Request
    AppendBigEndian16(out, length);
    out.append(16, '\0');            // transaction ID, filled in by the caller
    return out;
}

constexpr uint16_t kBindingResponse = 0x0101;
constexpr uint8_t kFamilyIpv4 = 0x01;


struct AttributeScan {
    bool sawMapped = false;                // any MAPPED-ADDRESS, whatever its family
    std::optional<StunAddress> mapped;     // first IPv4 MAPPED-ADDRESS
    std::optional<StunAddress> changed;    // first IPv4 CHANGED-ADDRESS
    std::optional<StunAddress> other;      // first IPv4 OTHER-ADDRESS
};

// An address attribute's value (RFC 3489 section 11.2.1): one ignored byte,
// the family, the port, then the address; only IPv4 (family 1) is taken.
std::optional<StunAddress> Ipv4Value(const QByteArray& datagram, int value, int length)
{
    if (length < 8 || ByteAt(datagram, value + 1) != kFamilyIpv4)
        return std::nullopt;
    return StunAddress{DottedFromBytes(datagram, value + 4), PortFromBytes(datagram, value + 2)};
}

// Walks the attributes after the header without ever reading past the datagram.
AttributeScan ScanAttributes(const QByteArray& datagram)
{
    AttributeScan scan;
    const int size = static_cast<int>(datagram.size());
    int offset = kHeaderSize;
    while (offset + 4 <= size) {
        const int type = PortFromBytes(datagram, offset);
        const int length = PortFromBytes(datagram, offset + 2);
        const int value = offset + 4;
        if (length > size - value)
            break;  // length runs past the end: the rest cannot be trusted
        if (type == kAttrMappedAddress) {
            scan.sawMapped = true;
            if (!scan.mapped)
                scan.mapped = Ipv4Value(datagram, value, length);
        } else if (type == kAttrChangedAddress && !scan.changed) {
            scan.changed = Ipv4Value(datagram, value, length);
        } else if (type == kAttrOtherAddress && !scan.other) {
            scan.other = Ipv4Value(datagram, value, length);
        }
        // Values are padded to a multiple of 4 (RFC 3489 lengths already are).
        offset = value + ((length + 3) & ~3);
    }
    return scan;
}

// The mapped address by type only: a reply without a readable MAPPED-ADDRESS
// carries none (bytes that merely sit where the attribute usually is prove
// nothing).
std::optional<StunAddress> MappedAddress(const AttributeScan& scan)
{
    return scan.mapped;
}

}  // namespace

QString DottedFromBytes(const QByteArray& data, int offset)
{
    return QStringLiteral("%1.%2.%3.%4")
        .arg(ByteAt(data, offset))
        .arg(ByteAt(data, offset + 1))
        .arg(ByteAt(data, offset + 2))
        .arg(ByteAt(data, offset + 3));
}

int32_t PortFromBytes(const QByteArray& data, int offset)
{
    return ByteAt(data, offset) * 256 + ByteAt(data, offset + 1);
}

QByteArray BuildBindingRequest(uint8_t testByte, uint32_t changeFlags)
{
    QByteArray out = Header(changeFlags != 0 ? 8 : 0);
    out[19] = static_cast<char>(testByte);
    if (changeFlags != 0) {
        AppendBigEndian16(out, kAttrChangeRequest);
        AppendBigEndian16(out, 4);
        AppendBigEndian16(out, static_cast<uint16_t>(changeFlags >> 16));
        AppendBigEndian16(out, static_cast<uint16_t>(changeFlags & 0xFFFF));
    }
    return out;
}

QByteArray BuildSurveyRequest(uint8_t index, uint8_t sequence)
{
    QByteArray out = Header(0);
    out[14] = static_cast<char>(index);
    out[19] = static_cast<char>(sequence);
    return out;
}

std::optional<StunReplyFields> ReadStunReply(const QByteArray& datagram)
{
    if (datagram.size() < kHeaderSize)
        return std::nullopt;
    StunReplyFields fields;
    fields.testByte = ByteAt(datagram, 19);
    fields.messageType = static_cast<uint16_t>(PortFromBytes(datagram, 0));

    const AttributeScan scan = ScanAttributes(datagram);
    const std::optional<StunAddress> mapped = MappedAddress(scan);
    // Every answer of the server carries the mapped address (RFC 3489
    // section 11.2.1: MAPPED-ADDRESS is in every Binding Response).
    if (!mapped)
        return std::nullopt;
    fields.mappedAddress = mapped->address;
    fields.mappedPort = mapped->port;
    fields.alternative = scan.changed ? scan.changed : scan.other;
    return fields;
}

std::optional<SurveyReply> ReadSurveyReply(const QByteArray& datagram)
{
    if (datagram.size() < kHeaderSize || PortFromBytes(datagram, 0) != kBindingResponse)
        return std::nullopt;
    const std::optional<StunAddress> mapped = MappedAddress(ScanAttributes(datagram));
    if (!mapped)
        return std::nullopt;
    SurveyReply reply;
    reply.index = ByteAt(datagram, 14);
    reply.sequence = ByteAt(datagram, 19);
    reply.externalAddress = mapped->address;
    reply.externalPort = mapped->port;
    return reply;
}

}  // namespace probes
