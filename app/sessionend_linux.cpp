// SPDX-License-Identifier: GPL-3.0-or-later
// SIGTERM and SIGHUP as events of the loop: the signal handler only writes
// a byte into a pipe, whose other end the loop watches.
#include "sessionend.h"

#include <QObject>
#include <QSocketNotifier>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace cifrelle::app {

namespace {

int signalPipe[2] = {-1, -1};

extern "C" void tellTheLoop(int)
{
    const char byte = 1;
    // Nothing can be done here when the pipe is full: the loop has a byte
    // to read already.
    [[maybe_unused]] const ssize_t written = ::write(signalPipe[1], &byte, 1);
}

} // namespace

void onEndSignals(QObject& context, std::function<void()> ended)
{
    if (signalPipe[0] < 0 && ::pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return; // the signals keep their default: they end the program at once
    auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, &context);
    QObject::connect(notifier, &QSocketNotifier::activated, &context, [ended] {
        char bytes[16];
        while (::read(signalPipe[0], bytes, sizeof bytes) > 0) {
        }
        ended();
    });
    struct sigaction action {};
    action.sa_handler = tellTheLoop;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : {SIGTERM, SIGHUP})
        ::sigaction(signal, &action, nullptr);
}

} // namespace cifrelle::app
