// SPDX-License-Identifier: Apache-2.0
#include "probes/stun5780.h"

#include <QHostAddress>

namespace probes::stun5780 {

namespace {

void put16(QByteArray& out, int value)
{
    out.append(static_cast<char>((value >> 8) & 0xFF));
    out.append(static_cast<char>(value & 0xFF));
}

void put32(QByteArray& out, uint32_t value)
{
    put16(out, static_cast<int>(value >> 16));
    put16(out, static_cast<int>(value & 0xFFFF));
}

int get16(const QByteArray& data, int offset)
{
    return (static_cast<uint8_t>(data[offset]) << 8) | static_cast<uint8_t>(data[offset + 1]);
}

uint32_t get32(const QByteArray& data, int offset)
{
    return (static_cast<uint32_t>(get16(data, offset)) << 16) | static_cast<uint32_t>(get16(data, offset + 2));
}

void putAttribute(QByteArray& out, int type, const QByteArray& value)
{
    put16(out, type);
    put16(out, static_cast<int>(value.size()));
    out.append(value);
    // RFC 5389 section 15: values are padded to a multiple of four bytes.
    while (out.size() % 4 != 0)
        out.append('\0');
}

QString dotted(uint32_t address)
{
    return QStringLiteral("%1.%2.%3.%4")
        .arg(address >> 24)
        .arg((address >> 16) & 0xFF)
        .arg((address >> 8) & 0xFF)
        .arg(address & 0xFF);
}

// Address attribute value (RFC 8489 sections 14.1, 14.2): reserved byte,
// family (0x01 IPv4, 0x02 IPv6), port, then 4 or 16 address bytes. xored:
// XOR-MAPPED-ADDRESS, whose port and first four address bytes are xored with
// the cookie and an IPv6 address's last twelve with the transaction ID.
std::optional<Endpoint> readAddress(const QByteArray& data, int offset, int length, bool xored,
                                    const TransactionId& id)
{
    if (length < 8)
        return std::nullopt;
    const int family = static_cast<uint8_t>(data[offset + 1]);
    int port = get16(data, offset + 2);
    if (xored)
        port ^= static_cast<int>(kMagicCookie >> 16);
    if (family == 0x01) {
        uint32_t address = get32(data, offset + 4);
        if (xored)
            address ^= kMagicCookie;
        return Endpoint{dotted(address), port};
    }
    if (family != 0x02 || length < 20)
        return std::nullopt;
    Q_IPV6ADDR raw;
    for (int i = 0; i < 16; ++i) {
        uint8_t byte = static_cast<uint8_t>(data[offset + 4 + i]);
        if (xored)
            byte ^= i < 4 ? static_cast<uint8_t>(kMagicCookie >> (24 - 8 * i)) : id[static_cast<size_t>(i - 4)];
        raw.c[i] = byte;
    }
    return Endpoint{QHostAddress(raw).toString(), port};
}

bool readHeader(const QByteArray& datagram, uint16_t& type, TransactionId& id)
{
    if (datagram.size() < kHeaderSize)
        return false;
    type = static_cast<uint16_t>(get16(datagram, 0));
    const int length = get16(datagram, 2);
    // RFC 5389 section 6: top two bits zero, the cookie, the length counts
    // the attributes and is a multiple of four.
    if ((type & 0xC000) != 0 || get32(datagram, 4) != kMagicCookie || length % 4 != 0
        || length != datagram.size() - kHeaderSize)
        return false;
    for (int i = 0; i < 12; ++i)
        id[static_cast<size_t>(i)] = static_cast<uint8_t>(datagram[8 + i]);
    return true;
}

}  // namespace

QByteArray BuildBindingRequest(const BindingRequest& request)
{
    QByteArray attributes;
    if (request.changeIp || request.changePort) {
        QByteArray flags;
        put32(flags, (request.changeIp ? 0x04u : 0u) | (request.changePort ? 0x02u : 0u));
        putAttribute(attributes, kAttrChangeRequest, flags);
    }
    if (request.responsePort) {
        // RFC 5780 section 7.5: the port, then two bytes of padding.
        QByteArray value;
        put16(value, *request.responsePort);
        put16(value, 0);
        putAttribute(attributes, kAttrResponsePort, value);
    }
    if (request.paddingBytes > 0)
        putAttribute(attributes, kAttrPadding, QByteArray(request.paddingBytes, '\0'));

    QByteArray message;
    put16(message, kBindingRequest);
    put16(message, static_cast<int>(attributes.size()));
    put32(message, kMagicCookie);
    for (uint8_t byte : request.id)
        message.append(static_cast<char>(byte));
    message.append(attributes);
    return message;
}

std::optional<BindingResponse> ParseBindingResponse(const QByteArray& datagram)
{
    uint16_t type = 0;
    BindingResponse response;
    if (!readHeader(datagram, type, response.id) || (type != kBindingSuccess && type != kBindingError))
        return std::nullopt;
    response.success = type == kBindingSuccess;

    std::optional<Endpoint> plainMapped;
    int offset = kHeaderSize;
    while (offset < datagram.size()) {
        if (datagram.size() - offset < 4)
            return std::nullopt;
        const int attrType = get16(datagram, offset);
        const int length = get16(datagram, offset + 2);
        const int value = offset + 4;
        if (length > datagram.size() - value)
            return std::nullopt;
        switch (attrType) {
        case kAttrXorMappedAddress:
            if (!response.mapped)
                response.mapped = readAddress(datagram, value, length, true, response.id);
            break;
        case kAttrMappedAddress:
            if (!plainMapped)
                plainMapped = readAddress(datagram, value, length, false, response.id);
            break;
        case kAttrResponseOrigin:
            if (!response.responseOrigin)
                response.responseOrigin = readAddress(datagram, value, length, false, response.id);
            break;
        case kAttrOtherAddress:
            if (!response.otherAddress)
                response.otherAddress = readAddress(datagram, value, length, false, response.id);
            break;
        case kAttrErrorCode:
            // RFC 5389 section 15.6: class (3 to 6) in bits 8-10, number (0 to
            // 99) in the last byte; any other value is no error code.
            if (length >= 4) {
                const int errorClass = static_cast<uint8_t>(datagram[value + 2]) & 0x07;
                const int number = static_cast<uint8_t>(datagram[value + 3]);
                if (errorClass >= 3 && errorClass <= 6 && number < 100)
                    response.errorCode = errorClass * 100 + number;
            }
            break;
        default:
            break;
        }
        offset = value + ((length + 3) & ~3);
    }
    if (!response.mapped)
        response.mapped = plainMapped;
    return response;
}

std::optional<TransactionId> MessageTransactionId(const QByteArray& datagram, uint16_t* type)
{
    uint16_t messageType = 0;
    TransactionId id{};
    if (!readHeader(datagram, messageType, id))
        return std::nullopt;
    if (type)
        *type = messageType;
    return id;
}

}  // namespace probes::stun5780
