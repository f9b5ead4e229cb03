// SPDX-License-Identifier: Apache-2.0
#include "platform/blocking_wait.h"

namespace platform {

namespace {
std::function<void()>& hookHolder()
{
    static std::function<void()> hook;
    return hook;
}
bool g_running = false;
}  // namespace

void SetWaitHook(std::function<void()> hook)
{
    hookHolder() = std::move(hook);
}

void RunWaitHook()
{
    if (g_running || !hookHolder())
        return;
    g_running = true;
    // A copy: the hook may replace itself while it runs.
    const std::function<void()> hook = hookHolder();
    hook();
    g_running = false;
}

}  // namespace platform
