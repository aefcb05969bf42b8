// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "recordfolder.h"

#include "cifrelle/game/gameend.h"
#include "cifrelle/keeper/keeperclient.h"

#include <chrono>
#include <filesystem>
#include <optional>

namespace cifrelle::app {

// What may differ between the game a player starts and the builds used to
// test it. The shipped program always runs with the defaults: nothing on
// its command line or in its environment changes them.
struct GameOptions {
    // Interval of the clock's timer: one tick takes one second off the
    // clock. 1000 ms in the game; a test build may tick faster to reach
    // the end of the fifteen minutes quickly.
    int tickIntervalMs = 1000;
    // How long the notice of a save waiting for another game's stays up
    // before it offers the way out: 10 s in the game; a test build may
    // offer it sooner.
    std::chrono::milliseconds wayOutAfter = game::wayOutAfter;
    // The administrator's settings file (not on Windows, where the setting
    // is in the registry): a test build may name its own, so that a test
    // never touches the machine's.
    std::filesystem::path settingsFile = systemSettingsFile;
    // The class's keeper, for a guarded class folder: nothing for the one
    // installed with the game (looked for only when the folder is guarded);
    // a test build may name its own.
    std::optional<keeper::KeeperCommand> keeperCommand;
};

// The whole program: checks for a display, opens the window, runs start-up
// and the game, and returns the exit status (the game end leaves the
// program at once with status 0).
int runGame(int argc, char* argv[], const GameOptions& options);

} // namespace cifrelle::app
