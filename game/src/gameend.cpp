// SPDX-License-Identifier: GPL-3.0-or-later
#include "cifrelle/game/gameend.h"

#include <string>

namespace cifrelle::game {

namespace {

// Told after the player left the wait by the way out: nothing was written,
// neither the record (when one was to be saved) nor the register's line
// (when the register is kept).
std::string leftWithoutSaving(const records::RecordStore& files, bool record)
{
    const bool line = files.keepsRegister();
    const std::string what =
        record && line ? "Il record non è stato salvato, né la partita scritta nel registro "
                         "dell'insegnante"
        : record       ? "Il record non è stato salvato"
                       : "La partita non è stata scritta nel registro dell'insegnante";
    return what + ": il file «" + records::pathText(files.directory() / records::lockFileName) +
           "» era occupato da un'altra partita o da un altro programma, e hai scelto di uscire "
           "senza aspettare.";
}

} // namespace

void gameEnd(ui::Ui& ui, records::RecordStore& files, const records::GameSummary& game,
             const std::optional<std::string>& startProblem, const SavingWaits& waits)
{
    // Qt delivers timer ticks inside modal boxes: a tick at zero must not
    // enter the game end again while its box is open.
    ui.setTimerEnabled(false);

    // A game the desktop session ended has nobody to read a box or take a
    // way out, and little time: it waits for another game's save only as
    // long as the notice would take to come, then ends without its line,
    // and shows nothing.
    const bool sessionEnded = game.ending == records::GameEnding::SessionClosed;
    // While another game saves, the window keeps answering from the first
    // moment, the player is told once the wait can be noticed, and offered
    // a way out once it has lasted too long; the wait goes on until the
    // other game is done or the player takes the way out.
    bool told = false;
    bool offered = false;
    const auto stillWaiting = [&](std::chrono::milliseconds waited) {
        if (sessionEnded)
            return waited < waits.notice;
        if (!told && waited >= waits.notice) {
            ui.showNotice(std::string(savingNotice));
            told = true;
        }
        if (told && !offered && waited >= waits.notice + waits.wayOut) {
            ui.offerWayOut(std::string(wayOutCaption));
            offered = true;
        }
        ui.doEvents();
        return !ui.wayOutTaken();
    };
    // A window closed saves no record, and when start-up said the record
    // cannot be kept nothing is saved: the teacher's register may still
    // hear of the game.
    const bool closed = game.ending == records::GameEnding::WindowClosed || sessionEnded;
    const bool saveRecord = !closed && !startProblem;
    records::GameEndResult result = files.endGame(game, saveRecord, stillWaiting);
    if (sessionEnded) {
        ui.end();
        return;
    }
    if (startProblem && !closed && result.record.outcome != records::SaveOutcome::Abandoned)
        result.record = records::notSaved(game.right, *startProblem);
    if (told)
        ui.hideNotice();

    // One warning at most: what went wrong with the record, then with the
    // register.
    std::string warning = result.registerProblem;
    switch (result.record.outcome) {
    case records::SaveOutcome::Saved:
        ui.messageBox(std::string(recordSavedMessage), ui::BoxStyle::Plain, std::nullopt);
        break;
    case records::SaveOutcome::Failed:
        warning = result.record.problem + (warning.empty() ? "" : " " + warning);
        break;
    case records::SaveOutcome::Abandoned:
        ui.messageBox(leftWithoutSaving(files, saveRecord), ui::BoxStyle::Warning, std::nullopt);
        break;
    case records::SaveOutcome::NotBetter: break;
    }
    if (!warning.empty())
        ui.messageBox(warning, ui::BoxStyle::Warning, std::nullopt);
    ui.end();
}

} // namespace cifrelle::game
