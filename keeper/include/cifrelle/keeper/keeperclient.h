// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cifrelle/records/recordfiles.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace cifrelle::keeper {

// How the game reaches the class's keeper when the administrator guards
// the class folder: on Linux the keeper's program and its arguments, on
// Windows nothing (the keeper is the service, at its named pipe).
using KeeperCommand = std::vector<std::string>;

// The keeper as the game installs it (channel_*.cpp), for the game at
// `game` (by default this program): on Linux the program in the package's
// private folder beside the game's (<prefix>/libexec/cifrelle/cifrelle-classe
// for <prefix>/bin/cifrelle), or, in a build tree, the one beside the game
// itself.
KeeperCommand installedKeeper(const std::filesystem::path& game = {});

// The game's record and register through the class's keeper: ensure() asks
// it for the class record (read() then gives what it answered), endGame()
// asks it to end the game. The keeper works on the folder of the
// administrator's setting, as it reads it itself; `folder` is the game's
// own reading of that setting, for the paths its messages name and whether
// the register is kept. What the player sees is what RecordFiles would
// show: the same messages and the same wait. A wait the player gives up
// (stillWaiting says stop) is told to the keeper, which then gives up too,
// unless it has saved by then (it says which, and the game tells it).
class KeeperClient final : public records::RecordStore {
public:
    KeeperClient(records::RecordFolder folder, KeeperCommand command);

    const std::filesystem::path& directory() const override { return folder_.path; }
    std::filesystem::path scorePath() const override;
    std::filesystem::path namePath() const override;
    std::filesystem::path registerPath() const override;
    bool keepsRegister() const override { return folder_.keepRegister; }
    std::optional<std::string> ensure() override;
    std::optional<std::string> read(const std::filesystem::path& path) const override;
    records::GameEndResult endGame(records::GameSummary game, bool saveRecord,
                                   const records::StillWaiting& stillWaiting) override;

private:
    records::RecordFolder folder_;
    KeeperCommand command_;
    std::optional<std::string> score_;
    std::optional<std::string> name_;
};

} // namespace cifrelle::keeper
