// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <functional>

class QWidget;

namespace cifrelle::ui {

// What assistive technology is given for the game window, in place of what
// Qt gives by itself. Everything it relies on about the controls comes from
// the window's design (formdesign.h):
// - the client area lists the game's controls but those the design keeps
//   hidden (the answer key and its frame), which send nothing either and,
//   asked for directly (by their object path on AT-SPI), are no object;
// - the frames are read by their caption, as Qt reads a group box;
// - the text boxes give their text, caret and selection as Qt's own line
//   edit does, but with one attribute run over the whole text (Qt gives an
//   empty run at each offset, and Orca then drops the last character of the
//   line it reads), and a description worked out each time it is asked;
// - the labels that have a meaning are read after it ("Risposte esatte 3",
//   "Tempo restante 00:14:53"); those that repeat the feedback message for
//   the eye are passed over, so that the message is heard once;
// - the announcer (below) is a notification.
// Installs it once per program; must run before the window's controls are
// made (Qt keeps the first interface it makes for a widget).
void installGameWindowAccessibles();

// The description of the text box `box` (what a screen reader reads with
// where-am-I and when the focus enters the box) is what `source` gives at
// the moment it is asked.
void setDescriptionSource(QWidget* box, std::function<QString()> source);

// Has the screen reader say `text` at once, whatever has the focus: a hidden
// notification of `window`, shown anew for each text; it takes no focus and
// changes nothing else.
void announce(QWidget* window, const QString& text);

// Takes back what `announce` last told, when it was `text` and nothing has
// been told since: the notification is hidden and no longer reads it.
void withdrawAnnouncement(QWidget* window, const QString& text);

// What a screen reader reads as the description of `widget` now.
QString accessibleDescription(QWidget* widget);

} // namespace cifrelle::ui
