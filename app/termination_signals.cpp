// SPDX-License-Identifier: Apache-2.0
#include "app/termination_signals.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace app {

namespace {
int signalPipe[2] = {-1, -1};

void onSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(signalPipe[0], &byte, 1);
}

volatile std::sig_atomic_t pendingSignal = 0;

void recordSignal(int signalNumber)
{
    pendingSignal = signalNumber;
}

void handleSignals(void (*handler)(int))
{
    struct sigaction action = {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int sig : {SIGTERM, SIGINT, SIGHUP})
        ::sigaction(sig, &action, nullptr);
}
}  // namespace

void QuitOnTerminationSignals()
{
    if (signalPipe[0] >= 0 || ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe) != 0)
        return;
    ::fcntl(signalPipe[0], F_SETFL, O_NONBLOCK);
    auto* notifier = new QSocketNotifier(signalPipe[1], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, QCoreApplication::instance(), [] {
        char byte = 0;
        [[maybe_unused]] const ssize_t got = ::read(signalPipe[1], &byte, 1);
        QCoreApplication::quit();
    });
    handleSignals(onSignal);
}

void CallOnTerminationSignals(std::function<void(int)> onSignal)
{
    // A timer rather than a socket notifier: a blocking step's wait serves
    // timers but holds socket notifications back until it is over.
    auto* poll = new QTimer(QCoreApplication::instance());
    QObject::connect(poll, &QTimer::timeout, poll, [poll, onSignal = std::move(onSignal)] {
        const int signalNumber = pendingSignal;
        if (signalNumber == 0)
            return;
        pendingSignal = 0;
        poll->stop();
        onSignal(signalNumber);
    });
    poll->start(50);
    handleSignals(recordSignal);
}

}  // namespace app
