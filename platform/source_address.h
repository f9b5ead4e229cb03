// SPDX-License-Identifier: Apache-2.0
#pragma once
// Which address of this machine the system sends from towards an address.
#include <QString>

namespace platform {

// Dotted address of the local interface the route to address uses; "" for an
// address that is not dotted IPv4 or that has no route. Sends nothing.
QString SourceAddressTowards(const QString& address);

// The same for an IPv6 address (RFC 6724 source selection, done by the
// system): IPv6 text, "" for other text or when there is no route.
QString SourceAddressTowards6(const QString& address);

}  // namespace platform
