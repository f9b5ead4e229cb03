// SPDX-License-Identifier: Apache-2.0
#pragma once
// SSDP M-SEARCH requests for the router's Internet gateway services and the
// reading of the answers.
#include <QByteArray>

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

}  // namespace probes
