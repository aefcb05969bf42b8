// SPDX-License-Identifier: GPL-3.0-or-later
#include "cifrelle/game/gameend.h"

#include "cifrelle/ui/control.h"

#include <string>

namespace cifrelle::game {

namespace {

// Told after the player left the wait by the way out: nothing was written.
std::string leftWithoutSaving(const records::RecordFiles& files)
{
    return "Il record non è stato salvato: il file «" +
           records::pathText(files.directory() / records::lockFileName) +
           "» era occupato da un'altra partita o da un altro programma, e hai scelto di uscire "
           "senza aspettare.";
}

} // namespace

void gameEnd(ui::Ui& ui, records::RecordFiles& files,
             const std::optional<std::string>& startProblem, const SavingWaits& waits)
{
    // Qt delivers timer ticks inside modal boxes: a tick at zero must not
    // enter the game end again while its box is open.
    ui.setTimerEnabled(false);

    const std::string score = ui.caption(ui::Control::lblScore);
    const std::string name = ui.caption(ui::Control::lblnome1);

    // While another game saves, the window keeps answering from the first
    // moment, the player is told once the wait can be noticed, and offered
    // a way out once it has lasted too long; the wait goes on until the
    // other game is done or the player takes the way out.
    bool told = false;
    bool offered = false;
    const auto stillWaiting = [&](std::chrono::milliseconds waited) {
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
    case records::SaveOutcome::Abandoned:
        ui.messageBox(leftWithoutSaving(files), ui::BoxStyle::Warning, std::nullopt);
        break;
    case records::SaveOutcome::NotBetter: break;
    }
    ui.end();
}

} // namespace cifrelle::game
