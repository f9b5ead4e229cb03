// SPDX-License-Identifier: Apache-2.0
// A datagram on one of the extended NAT test's sockets, read as an RFC 5389 /
// RFC 5780 Binding response: XOR-MAPPED-ADDRESS, MAPPED-ADDRESS,
// RESPONSE-ORIGIN, OTHER-ADDRESS and ERROR-CODE.
#include "fuzz_support.h"
#include "probes/stun5780.h"

#include <QHostAddress>

namespace {

using fuzz::Get32;

// Bytes the attribute took on the wire (header and value), 0 when absent.
int CheckEndpoint(const std::optional<probes::stun5780::Endpoint>& e)
{
    if (!e)
        return 0;
    QHostAddress address;
    FUZZ_CHECK(address.setAddress(e->address));
    FUZZ_CHECK(address.protocol() == QAbstractSocket::IPv4Protocol
               || address.protocol() == QAbstractSocket::IPv6Protocol);
    FUZZ_CHECK(address.toString() == e->address);
    FUZZ_CHECK(e->port >= 0 && e->port <= 65535);
    // RFC 8489 section 14.1: 8 value bytes for IPv4, 20 for IPv6.
    return address.protocol() == QAbstractSocket::IPv4Protocol ? 12 : 24;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray datagram = fuzz::Datagram(data, size);
    uint16_t type = 0;
    const std::optional<probes::stun5780::TransactionId> id = probes::stun5780::MessageTransactionId(datagram, &type);
    const std::optional<probes::stun5780::BindingResponse> r = probes::stun5780::ParseBindingResponse(datagram);
    if (!id) {
        FUZZ_CHECK(!r);
        return 0;
    }
    // A STUN message: cookie, type with the top bits clear, length of the rest.
    FUZZ_CHECK(datagram.size() >= 20 && Get32(datagram, 4) == probes::stun5780::kMagicCookie);
    FUZZ_CHECK((type & 0xC000) == 0);
    FUZZ_CHECK(static_cast<int>(Get32(datagram, 0) & 0xFFFF) == datagram.size() - 20);
    FUZZ_CHECK(datagram.size() % 4 == 0);
    for (int i = 0; i < 12; ++i)
        FUZZ_CHECK((*id)[static_cast<size_t>(i)] == static_cast<uint8_t>(datagram.at(8 + i)));
    if (!r)
        return 0;
    // Only Binding responses, carrying the transaction of the header.
    FUZZ_CHECK(type == probes::stun5780::kBindingSuccess || type == probes::stun5780::kBindingError);
    FUZZ_CHECK(r->success == (type == probes::stun5780::kBindingSuccess));
    FUZZ_CHECK(r->id == *id);
    const int addressBytes = CheckEndpoint(r->mapped) + CheckEndpoint(r->responseOrigin) + CheckEndpoint(r->otherAddress);
    // RFC 5389 section 15.6: class 3 to 6, number 0 to 99.
    FUZZ_CHECK(r->errorCode == 0 || (r->errorCode >= 300 && r->errorCode <= 699));
    // Every address attribute was in the datagram whole.
    FUZZ_CHECK(datagram.size() >= 20 + addressBytes);
    return 0;
}
