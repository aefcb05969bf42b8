// SPDX-License-Identifier: GPL-3.0-or-later
#include "cifrelle/game/gameend.h"

#include "cifrelle/ui/control.h"

#include <string>

namespace cifrelle::game {

void gameEnd(ui::Ui& ui, records::RecordFiles& files,
             const std::optional<std::string>& startProblem)
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
    // When start-up said the record cannot be kept, nothing is saved.
    const records::SaveResult result = startProblem ? records::notSaved(score, *startProblem)
                                                    : files.saveIfBetter(score, name, stillWaiting);
    if (told)
        ui.hideNotice();

    switch (result.outcome) {
    case records::SaveOutcome::Saved:
        ui.messageBox(std::string(recordSavedMessage), ui::BoxStyle::Plain, std::nullopt);
        break;
    case records::SaveOutcome::Failed:
        ui.messageBox(result.problem, ui::BoxStyle::Warning, std::nullopt);
        break;
    case records::SaveOutcome::NotBetter:
    case records::SaveOutcome::Abandoned: break; // (never: the wait goes on)
    }
    ui.end();
}

} // namespace cifrelle::game
