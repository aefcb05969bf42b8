// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cifrelle/game/form1.h"
#include "cifrelle/game/random.h"
#include "cifrelle/keeper/keeperclient.h"
#include "cifrelle/records/recordfiles.h"
#include "cifrelle/ui/qt/form1window.h"
#include "cifrelle/ui/qt/qtui.h"

#include <filesystem>
#include <memory>

namespace cifrelle::app {

// One game in a real window: the window, the toolkit operations on it, the
// record files, the generator and the game logic, wired together. The
// window is not shown and start-up has not run yet. In a guarded class
// folder the record files are the class's keeper's, which `keeperCommand` reaches
// (by default the one installed with the game).
class GameSession {
public:
    explicit GameSession(records::RecordFolder recordFolder,
                         keeper::KeeperCommand keeperCommand = keeper::installedKeeper());
    explicit GameSession(const std::filesystem::path& recordDirectory)
        : GameSession(records::RecordFolder{recordDirectory, {}, {}})
    {
    }
    ~GameSession();

    GameSession(const GameSession&) = delete;
    GameSession& operator=(const GameSession&) = delete;

    ui::Form1Window window;
    ui::QtUi ui{window};
    std::unique_ptr<records::RecordStore> files;
    game::MixingRandom random;
    game::SystemTime time;
    game::Form1 form{ui, random, time, *files};
};

} // namespace cifrelle::app
