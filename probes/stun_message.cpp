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

struct AddressValue {
    QString address;
    int32_t port = 0;
};

// First CHANGED-ADDRESS attribute carrying an IPv4 address, walking the
// attributes after the header without ever reading past the datagram.
std::optional<AddressValue> FindChangedAddress(const QByteArray& datagram)
{
    const int size = static_cast<int>(datagram.size());
    int offset = kHeaderSize;
    while (offset + 4 <= size) {
        const int type = PortFromBytes(datagram, offset);
        const int length = PortFromBytes(datagram, offset + 2);
        const int value = offset + 4;
        if (length > size - value)
            break;  // length runs past the end: the rest cannot be trusted
        if (type == kAttrChangedAddress && length >= 8 && ByteAt(datagram, value + 1) == 0x01)
            return AddressValue{DottedFromBytes(datagram, value + 4), PortFromBytes(datagram, value + 2)};
        // Values are padded to a multiple of 4 (RFC 3489 lengths already are).
        offset = value + ((length + 3) & ~3);
    }
    return std::nullopt;
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
    const int size = static_cast<int>(datagram.size());
    if (size < kHeaderSize)
        return std::nullopt;
    StunReplyFields fields;
    fields.testByte = ByteAt(datagram, 19);
    if (fields.testByte == kStunPlainTest && size < 44)
        return std::nullopt;
    if (fields.testByte == kStunAlternativeTest && size < 32)
        return std::nullopt;

    if (size >= 32) {
        fields.mappedPort = PortFromBytes(datagram, 26);
        fields.mappedAddress = DottedFromBytes(datagram, 28);
    }
    if (const auto changed = FindChangedAddress(datagram)) {
        fields.alternativeAddress = changed->address;
        fields.alternativePort = changed->port;
    } else if (size >= 44) {
        fields.alternativePort = PortFromBytes(datagram, 38);
        fields.alternativeAddress = DottedFromBytes(datagram, 40);
    }
    return fields;
}

std::optional<SurveyReply> ReadSurveyReply(const QByteArray& datagram)
{
    if (datagram.size() < kHeaderSize)
        return std::nullopt;
    SurveyReply reply;
    reply.index = ByteAt(datagram, 14);
    reply.sequence = ByteAt(datagram, 19);
    reply.externalPort = PortFromBytes(datagram, 26);
    reply.externalAddress = DottedFromBytes(datagram, 28);
    reply.complete = datagram.size() >= 32;
    return reply;
}

}  // namespace probes
