# SPDX-License-Identifier: Apache-2.0
include(${CHECKS})
set(TARVOLIN_TRIAL6 "${VALUE}")
tarvolin_require_ipv6(TARVOLIN_TRIAL6)
