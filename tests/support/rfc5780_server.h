// SPDX-License-Identifier: Apache-2.0
#pragma once
// A STUN server with RFC 5780 on loopback: two addresses (127.0.0.2 and
// 127.0.0.3) and two ports, CHANGE-REQUEST and RESPONSE-PORT honoured.
// Also the message helpers it is built from, for simulated servers.
#include "probes/stun5780.h"

#include <QByteArray>
#include <QUdpSocket>
#include <memory>
#include <optional>

namespace testsupport {

struct StunRequestFields {
    int changeFlags = 0;               // CHANGE-REQUEST flags (0x04 IP, 0x02 port)
    std::optional<int> responsePort;   // RESPONSE-PORT
};
StunRequestFields ReadStunRequest(const QByteArray& request);

// Binding success response to request: XOR-MAPPED-ADDRESS, then RESPONSE-ORIGIN
// and OTHER-ADDRESS when given.
QByteArray BuildStunResponse(const QByteArray& request, const probes::stun5780::Endpoint& mapped,
                             const std::optional<probes::stun5780::Endpoint>& origin,
                             const std::optional<probes::stun5780::Endpoint>& other);

class Rfc5780Server {
public:
    Rfc5780Server();
    ~Rfc5780Server();
    bool start();
    int primaryPort() const { return ports_[0]; }
    int requests() const { return requests_; }

private:
    void serve(int index);
    std::unique_ptr<QUdpSocket> sockets_[4];  // address * 2 + port index
    int ports_[2] = {0, 0};
    int requests_ = 0;
};

}  // namespace testsupport
