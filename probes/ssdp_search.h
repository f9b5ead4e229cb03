// SPDX-License-Identifier: Apache-2.0
#pragma once
// SSDP M-SEARCH requests for the router's Internet gateway services and the
// reading of the answers.
#include <QByteArray>
#include <QString>

namespace probes {

constexpr const char* kSsdpMulticastGroup = "239.255.255.250";

// request 1: WANIPConnection:1, request 2: WANPPPConnection:1; any other
// number gives an empty array.
QByteArray BuildSsdpSearch(int request);

enum class SsdpEffect { None, Found, Cleared };

// Found when the status line is "HTTP/1.1 200" followed by a blank or the
// line end (any reason phrase; case-sensitive); Cleared when data is empty
// and came from port 1900; None otherwise.
SsdpEffect ReadSsdpAnswer(const QByteArray& data, int senderPort);

// An SSDP answer comes from a device on the computer's own network: true when
// sender lies in the network of address/mask (dotted IPv4), or is the
// first-hop router itself (on a point-to-point link it lies outside any
// mask). A datagram from beyond the router (a stranger's, let in by a full
// cone NAT) proves nothing about the router; false also when the address or
// mask is unknown.
bool SsdpSenderOnOwnNetwork(const QString& sender, const QString& address, const QString& mask,
                            const QString& gateway);

}  // namespace probes
