// SPDX-License-Identifier: Apache-2.0
#pragma once
// A call that blocks while it waits for the network (an ICMP echo) hands the
// waiting time back to the program in slices: between slices it runs the hook
// the program installed, which keeps the windows served.
#include <functional>

namespace platform {

// Longest stretch a blocking wait spends in the system before running the hook.
constexpr int kWaitSliceMs = 50;

// The hook; an empty function removes it. Not called re-entrantly.
void SetWaitHook(std::function<void()> hook);

// Runs the hook (if any) unless it is already running.
void RunWaitHook();

}  // namespace platform
