// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <functional>

class QLineEdit;

namespace cifrelle::app {

// Installs, once per program, what screen readers are given for the
// controls of the game window:
// - the text boxes (`txtmio`, `Text2`, `Text1`): their text, caret and
//   selection as Qt's own line edit gives them, but with one attribute run
//   over the whole text (Qt gives an empty run at each offset, and Orca then
//   drops the last character of the line it reads), and a description that
//   can be worked out each time it is asked;
// - the labels: the scores and the clock are read with the caption that
//   says what they are ("Risposte esatte 3", "Tempo restante 00:14:53");
//   `lblok1` and `lblok2`, which repeat the message of `lblok` in colour,
//   are passed over.
// Must run before the window's controls are made.
void installTextBoxAccessibility();

// The description of `edit` (what Orca reads with where-am-I and when the
// focus enters it) is what `source` gives at the moment it is asked.
void setDescriptionSource(QLineEdit* edit, std::function<QString()> source);

} // namespace cifrelle::app
