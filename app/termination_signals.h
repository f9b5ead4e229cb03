// SPDX-License-Identifier: Apache-2.0
#pragma once

namespace app {

// SIGTERM, SIGINT and SIGHUP make the event loop quit, so that the program
// ends through its normal path and removes its temporary files.
void QuitOnTerminationSignals();

}  // namespace app
