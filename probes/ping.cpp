// SPDX-License-Identifier: Apache-2.0
#include "probes/ping.h"

#include <QStringList>
#include <cstring>

#include "platform/icmp_socket.h"

namespace probes {

int16_t PingTimeout = 1000;

namespace {

uint32_t DestinationOf(const QString& address) {
    const int32_t value = AddressToLong(address);
    uint32_t destination;
    std::memcpy(&destination, &value, sizeof destination);  // bytes already in network order
    return destination;
}

// Low 8 bits of a decimal number written with an optional leading "-";
// false when the text is not such a number.
bool LowByteOf(const QString& part, uint32_t& byte) {
    int i = 0;
    bool negative = false;
    if (i < part.size() && part[i] == u'-') {
        negative = true;
        ++i;
    }
    if (i == part.size()) return false;
    uint32_t value = 0;
    for (; i < part.size(); ++i) {
        const QChar c = part[i];
        if (c < u'0' || c > u'9') return false;
        value = (value * 10 + uint32_t(c.unicode() - u'0')) & 0xFF;
    }
    byte = negative ? (0x100 - value) & 0xFF : value;
    return true;
}

}  // namespace

int32_t AddressToLong(const QString& text) {
    const QStringList parts = text.split(u'.');
    if (parts.size() != 4) return 0;  // fewer parts, or a fourth part that holds a further dot
    uint32_t value = 0;
    for (int i = 0; i < 4; ++i) {
        uint32_t byte = 0;
        if (!LowByteOf(parts[i], byte)) return 0;
        value |= byte << (8 * i);
    }
    // Stored little-endian, the first number of the text is the first byte in memory.
    const unsigned char bytes[4] = {uchar(value), uchar(value >> 8), uchar(value >> 16),
                                    uchar(value >> 24)};
    int32_t result;
    std::memcpy(&result, bytes, sizeof result);
    return result;
}

void PingEcho(const QString& address, EchoReply& reply) {
    const platform::IcmpOutcome outcome =
        platform::IcmpSendEcho(DestinationOf(address), 255, QByteArrayLiteral("kikoo"), PingTimeout);
    if (!outcome.opened) {
        // Nothing could be sent: the echo is lost, not answered.
        reply.Address = 0;
        reply.Status = platform::kIpGeneralFailure;
        reply.RoundTripTime = 0;
        return;
    }
    reply.Address = outcome.address;
    reply.Status = outcome.status;
    reply.RoundTripTime = outcome.replies > 0 ? outcome.roundTripMs : 0;
}

QString FirstHopAddress(const QString& address) {
    const platform::IcmpOutcome outcome =
        platform::IcmpSendEcho(DestinationOf(address), 1, QByteArray(32, '\0'), 2700);
    if (!outcome.opened || outcome.replies == 0) return QString();
    unsigned char bytes[4];
    std::memcpy(bytes, &outcome.address, sizeof bytes);
    return QStringLiteral("%1.%2.%3.%4").arg(bytes[0]).arg(bytes[1]).arg(bytes[2]).arg(bytes[3]);
}

QString EchoStatusText(int32_t status) {
    const char* message = "unknown msg returned";
    switch (status) {
    case 0: message = "ping OK"; break;
    case 1000: message = "ping timeout"; break;
    case 11001: message = "ip buffer trop petit"; break;
    case 11002: message = "ip dest net non trouve"; break;
    case 11003: message = "ip dest host non trouve"; break;
    case 11004: message = "ip dest prot non trouve"; break;
    case 11005: message = "ip dest port non trouve"; break;
    case 11006: message = "ip pas de ressource"; break;
    case 11007: message = "ip option invalide"; break;
    case 11008: message = "ip hw_error"; break;
    case 11009: message = "ip packet trop gros"; break;
    case 11010: message = "ip req timed out"; break;
    case 11011: message = "ip mauvaise req"; break;
    case 11012: message = "ip mauvaise route"; break;
    case 11013: message = "ip ttl expire transit"; break;
    case 11014: message = "ip ttl expire reassem"; break;
    case 11015: message = "ip param_problem"; break;
    case 11016: message = "ip source quench"; break;
    case 11017: message = "ip option too_big"; break;
    case 11018: message = "ip bad destination"; break;
    case 11019: message = "ip addr deleted"; break;
    case 11020: message = "ip spec mtu change"; break;
    case 11021: message = "ip mtu_change"; break;
    case 11022: message = "ip unload"; break;
    case 11023: message = "ip addr added"; break;
    case 11050: message = "ip general failure"; break;
    case 11255: message = "ip pending"; break;
    default: break;
    }
    return QStringLiteral(" [") + QString::fromLatin1(message) + QStringLiteral("]");
}

}  // namespace probes
