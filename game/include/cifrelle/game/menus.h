// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cifrelle/ui/ui.h"

#include <array>
#include <functional>
#include <string>
#include <string_view>

namespace cifrelle::game {

// The three help texts, in the order they are shown.
const std::array<std::string_view, 3>& helpTexts();

// "Il record attualmente è di " + holder + " con punti " + score.
std::string recordMessage(std::string_view holder, std::string_view score);

// The "Record" menu entry: shows the record as start-up read it (the
// holder's name and the score, each as its file holds it), in one
// information box.
void showRecord(ui::Ui& ui, std::string_view holder, std::string_view score);

// The "Help" menu entry: the three help texts, each in its own information
// box, in order. Stops early when `goOn` says the game has ended meanwhile
// (a clock tick may end it while a box is open).
void showHelp(ui::Ui& ui, const std::function<bool()>& goOn);

} // namespace cifrelle::game
