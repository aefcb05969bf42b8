// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cifrelle/records/recordfiles.h"
#include "cifrelle/ui/ui.h"

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

namespace cifrelle::game {

inline constexpr std::string_view recordSavedMessage =
    "Ok ho registrato il tuo record, C A M P I O N E";

// Shown while the save waits for another game's save to finish, once the
// wait has lasted savingNoticeAfter; wayOutAfter later the notice offers a
// button to leave without saving (the other "game" may be a classmate's
// program holding the lock for good).
inline constexpr std::string_view savingNotice = "Sto salvando il record, attendi un momento.";
inline constexpr std::chrono::milliseconds savingNoticeAfter{1000};
inline constexpr std::string_view wayOutCaption = "Esci senza salvare";
inline constexpr std::chrono::milliseconds wayOutAfter{10000};

// How long the game end waits before it shows the notice, and then before
// it offers the way out: the times above in the game; a test may shorten
// them.
struct SavingWaits {
    std::chrono::milliseconds notice = savingNoticeAfter;
    std::chrono::milliseconds wayOut = wayOutAfter;
};

// The end of the game `game`: compares its score (game.right) with the
// stored record and, when it is strictly better, saves it with the name the
// player typed (game.name) and congratulates the player; when the save fails, says so and
// why. When start-up said the record cannot be kept (`startProblem`, as
// start-up worded it), saves nothing, and a score above 0 is told that
// the record was not saved, for the same reason. Then ends the program
// through ui.end(). Runs nothing after end(). Switches the one-second timer
// off first, so that no tick enters it again while its box is open and the
// clock stands still while the save waits for another game's. Throughout
// that wait the window handles its events (ui.doEvents()); the notice it
// shows meanwhile, and the way out it offers later, are gone before any box
// opens, and no box opens before the save has let go of its lock. A player
// who takes the way out (ui.wayOutTaken()) stops the wait: nothing is
// saved, nor written to the teacher's register, and one box says so and why.
//
// When the school keeps the teacher's register, the game's line is added
// to it under the same lock, after the save; a game that ended with its
// window closed, or with the desktop session, saves no record but is in the
// register. What went wrong with the register is told in the same warning
// as the record's, or in one of its own. A game the desktop session ended
// (game.ending SessionClosed) shows no notice and no box, and waits for
// another game's save at most waits.notice: then it ends without its line.
void gameEnd(ui::Ui& ui, records::RecordStore& files, const records::GameSummary& game,
             const std::optional<std::string>& startProblem = std::nullopt,
             const SavingWaits& waits = {});

} // namespace cifrelle::game
