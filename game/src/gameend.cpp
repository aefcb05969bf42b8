// SPDX-License-Identifier: GPL-3.0-or-later
#include "cifrelle/game/gameend.h"

#include "cifrelle/ui/control.h"

#include <string>

namespace cifrelle::game {

void gameEnd(ui::Ui& ui, records::RecordFiles& files,
             const std::optional<std::string>& startProblem, const records::GameSummary& game)
{
    // Qt delivers timer ticks inside modal boxes: a tick at zero must not
    // enter the game end again while its box is open.
    ui.setTimerEnabled(false);

    const std::string score = ui.caption(ui::Control::lblScore);
    const std::string name = ui.caption(ui::Control::lblnome1);

    // While another game saves, the window keeps answering from the first
    // moment, and the player is told once the wait can be noticed.
    bool told = false;
    const auto stillWaiting = [&ui, &told](std::chrono::milliseconds waited) {
        if (!told && waited >= savingNoticeAfter) {
            ui.showNotice(std::string(savingNotice));
            told = true;
        }
        ui.doEvents();
        return true; // the wait goes on until the other game is done
    };
    // A window closed saves no record, and when start-up said the record
    // cannot be kept nothing is saved: the teacher's register may still
    // hear of the game.
    const bool closed = game.ending == records::GameEnding::WindowClosed;
    records::GameEndResult result =
        files.endGame(score, name, !closed && !startProblem, game, stillWaiting);
    if (startProblem && !closed && result.record.outcome != records::SaveOutcome::Abandoned)
        result.record = records::notSaved(score, *startProblem);
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
    case records::SaveOutcome::NotBetter:
    case records::SaveOutcome::Abandoned: break; // (never: the wait goes on)
    }
    if (!warning.empty())
        ui.messageBox(warning, ui::BoxStyle::Warning, std::nullopt);
    ui.end();
}

} // namespace cifrelle::game
