// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace cifrelle::app {

// What may differ between the game a player starts and the builds used to
// test it. The shipped program always runs with the defaults: nothing on
// its command line or in its environment changes them.
struct GameOptions {
    // Interval of the clock's timer: one tick takes one second off the
    // clock. 1000 ms in the game; a test build may tick faster to reach
    // the end of the fifteen minutes quickly.
    int tickIntervalMs = 1000;
};

// The whole program: checks for a display, opens the window, runs start-up
// and the game, and returns the exit status (the game end leaves the
// program at once with status 0).
int runGame(int argc, char* argv[], const GameOptions& options);

} // namespace cifrelle::app
