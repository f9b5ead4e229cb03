// SPDX-License-Identifier: Apache-2.0
#pragma once
// Which address of this machine the system sends from towards an address.
#include <QString>

namespace platform {

// Dotted address of the local interface the route to address uses; "" for an
// address that is not dotted IPv4 or that has no route. Sends nothing.
QString SourceAddressTowards(const QString& address);

}  // namespace platform
