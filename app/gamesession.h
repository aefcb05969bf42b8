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
#include <optional>

namespace cifrelle::app {

// One game in a real window: the window, the toolkit operations on it, the
// record files, the generator and the game logic, wired together. Start-up
// has not run yet. The window is made when first needed (by the first
// operation on it, which start-up makes once the player's name is given):
// the name box comes up before anything of it exists. In a guarded class
// folder the record files are the class's keeper's, which `keeperCommand`
// reaches (by default the one installed with the game, looked for only
// then).
class GameSession {
public:
    explicit GameSession(records::RecordFolder recordFolder,
                         std::optional<keeper::KeeperCommand> keeperCommand = std::nullopt);
    explicit GameSession(const std::filesystem::path& recordDirectory)
        : GameSession(records::RecordFolder{recordDirectory, {}, {}})
    {
    }
    ~GameSession();

    GameSession(const GameSession&) = delete;
    GameSession& operator=(const GameSession&) = delete;

    // The game window, made now if it is not yet, its timer ticking every
    // tickIntervalMs.
    ui::Form1Window& window();
    int tickIntervalMs = 1000;

private:
    std::optional<ui::Form1Window> window_;

public:
    ui::QtUi ui{[this]() -> ui::Form1Window& { return window(); }};
    std::unique_ptr<records::RecordStore> files;
    game::MixingRandom random;
    game::SystemTime time;
    game::Form1 form{ui, random, time, *files};
};

} // namespace cifrelle::app
