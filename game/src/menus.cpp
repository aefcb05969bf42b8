// SPDX-License-Identifier: GPL-3.0-or-later
#include "cifrelle/game/menus.h"

namespace cifrelle::game {

const std::array<std::string_view, 3>& helpTexts()
{
    static constexpr std::array<std::string_view, 3> texts{
        " Se vuoi approssimare ai decimi (quindi devi avere una sola cifra decimale), "
        "osserva la seconda cifra decimale se questa è maggiore di 4 (ossia 5,6,7,8,9)  "
        "aumenta di un'unità la cifra dei decimi, altrimenti effettua una semplice "
        "approssimazione per difetto cancellando le cifre successive ai decimi.",
        "Esempio:     4,65 approssimato alla prima cifra decimale è uguale a 4,7 "
        "Approssimazione per eccesso",
        "Esempio2:    4,64 approssimato alla prima cifra decimale è uguale a 4,6 "
        "Approssimazione per difetto",
    };
    return texts;
}

std::string recordMessage(std::string_view holder, std::string_view score)
{
    std::string message = "Il record attualmente è di ";
    message += holder;
    message += " con punti ";
    message += score;
    return message;
}

void showRecord(ui::Ui& ui, std::string_view holder, std::string_view score)
{
    ui.messageBox(recordMessage(holder, score), ui::BoxStyle::Information, std::nullopt);
}

void showHelp(ui::Ui& ui, const std::function<bool()>& goOn)
{
    for (std::string_view text : helpTexts()) {
        ui.messageBox(std::string(text), ui::BoxStyle::Information, std::nullopt);
        if (goOn && !goOn())
            return;
    }
}

} // namespace cifrelle::game
