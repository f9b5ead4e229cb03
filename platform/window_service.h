// SPDX-License-Identifier: Apache-2.0
#pragma once
// Keeps the program's windows served while a blocking step waits (an ICMP
// echo): the step's wait hook lets the event loop handle expose and paint
// requests, window-manager pings, accessibility requests and timers, in the
// same thread, between slices of the wait.
//
// While the windows are served from inside a step:
// - socket notifications wait until the step is over (no socket handler runs
//   inside another handler);
// - user input is dropped, except on widgets marked with ServeWhileBusy (the
//   exit button), so no command starts inside a step;
// - a window closed through its frame closes once the step is over;
// - InWindowService() is true: a timer handler that must not run inside a
//   step defers itself with RunAfterWindowService.
#include <QObject>
#include <functional>

class QWidget;

namespace platform {

// Installs the wait hook (platform/blocking_wait.h) that serves the windows.
void InstallWindowService();
// Removes it: blocking steps block the windows again.
void RemoveWindowService();

// True while the hook handles events from inside a blocking step.
bool InWindowService();

// This widget (and its children) keeps taking user input during a step.
void ServeWhileBusy(QWidget* widget);

// Runs call on the event loop once no step is being waited for; dropped when
// context is destroyed first.
void RunAfterWindowService(QObject* context, std::function<void()> call);

// Shows the window and handles events (no user input, no socket
// notifications) until the window system has exposed it and it has been
// painted, or timeoutMs has passed. True when it was exposed.
bool ShowAndWaitForExposure(QWidget* window, int timeoutMs);

}  // namespace platform
