// SPDX-License-Identifier: Apache-2.0
#pragma once
#include <functional>

namespace app {

// SIGTERM, SIGINT and SIGHUP make the event loop quit, so that the program
// ends through its normal path and removes its temporary files.
void QuitOnTerminationSignals();

// SIGTERM, SIGINT and SIGHUP call onSignal with the signal's number, from the
// event loop, within about 50 ms: also while a blocking step waits and serves
// the windows (its timers run, its socket notifications do not).
void CallOnTerminationSignals(std::function<void(int)> onSignal);

}  // namespace app
