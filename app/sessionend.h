// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>

class QObject;

namespace cifrelle::app {

// Calls `ended` from the event loop, for as long as `context` lives, each
// time the system asks the program to end with the desktop session by a
// signal: on Linux SIGTERM (a logout or shutdown, a kill) and SIGHUP (the
// terminal or session gone), each turned into an event of the loop
// (sessionend_linux.cpp). Windows sends no such signal: its session's end
// reaches the program as Qt's commit-data request (sessionend_windows.cpp
// watches nothing).
void onEndSignals(QObject& context, std::function<void()> ended);

} // namespace cifrelle::app
