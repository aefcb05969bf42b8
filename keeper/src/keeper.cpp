// SPDX-License-Identifier: GPL-3.0-or-later
// The keeper's answer to one request (see keeper.h): the record layer does
// the work, on the folder of the administrator's setting alone.

#include "keeper.h"

#include <utility>

namespace cifrelle::keeper {

Answer answer(const Request& request, records::RecordFolder setting, const Caller& caller)
{
    // Never a player's own folder: the setting is always named, and the
    // folder must be chosen and guarded.
    if (setting.setting.empty())
        setting.setting = "l'impostazione dell'amministratore";
    if (setting.problem.empty() && !setting.guarded)
        setting.problem = "la cartella della classe non è custodita";
    records::RecordFiles files(std::move(setting));

    if (std::holds_alternative<RecordRequest>(request)) {
        RecordAnswer record;
        record.problem = files.ensure();
        record.score = files.read(files.scorePath());
        record.name = files.read(files.namePath());
        return record;
    }
    const EndRequest& end = std::get<EndRequest>(request);
    records::GameSummary game = end.game;
    game.account = caller.account;
    game.computer = caller.computer;
    game.ended = caller.now;
    game.newRecord = false;
    return files.endGame(std::move(game), end.saveRecord,
                         [&](std::chrono::milliseconds) { return caller.stillThere(); });
}

} // namespace cifrelle::keeper
