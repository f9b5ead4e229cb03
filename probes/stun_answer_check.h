// SPDX-License-Identifier: Apache-2.0
#pragma once
// Which datagrams on the probe socket count as answers to the test run's
// STUN requests. Anybody who can reach the probe port can send it anything:
// only a Binding Response to a request of this run, from where that request's
// answer must come, is read at all.
#include <QByteArray>
#include <QString>
#include <cstdint>
#include <optional>

namespace probes {

// What the run has sent and where.
struct StunRunRequests {
    QString serverAddress;        // the STUN server the 0x08, 0x09 and 0x0A requests went to
    int serverPort = 0;
    QString alternativeAddress;   // where the 0x0B requests went ("" while none was sent)
    int alternativePort = 0;
    uint16_t sentTests = 0;       // bit n set: requests with test byte n were sent

    void markSent(uint8_t testByte) { sentTests |= uint16_t(1U << (testByte & 0x0F)); }
    bool wasSent(uint8_t testByte) const { return testByte < 16 && (sentTests & (1U << testByte)); }
};

// The test byte of a datagram that counts as an answer, else nullopt. It
// counts when it is a Binding Response (type 0x0101, RFC 3489 section 11.1)
// whose transaction ID is one of this run's requests (fifteen zero bytes,
// then a test byte the run has sent; section 9.3: the response carries the
// request's ID) and carries a mapped address (section 11.2.1), from the
// sender that answers that request:
//   0x08 from the server's address and port;
//   0x09 (change IP) from an address other than the server's (section 8.1:
//        the response comes from the changed address), and from the
//        alternative address once the server has named it;
//   0x0A (change port) from the server's address and a port other than the
//        server's;
//   0x0B from the alternative address and port it was sent to.
std::optional<uint8_t> AcceptedStunAnswer(const QByteArray& datagram, const QString& fromAddress, int fromPort,
                                          const StunRunRequests& run);

}  // namespace probes
