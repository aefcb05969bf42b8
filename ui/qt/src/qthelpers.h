// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cifrelle/ui/colour.h"

#include <QColor>
#include <QPalette>
#include <QString>

#include <initializer_list>
#include <string_view>

class QWidget;

namespace cifrelle::ui {

// The small conversions that the Qt window and the toolkit operations on it
// share.

// A UTF-8 text (a view of it) as a QString.
QString fromView(std::string_view text);

// Buttons, frame titles and menu entries read a single '&' as a keyboard
// mnemonic; with every '&' doubled they show the text as it is.
QString escapeMnemonics(const QString& text);
// The text shown by a caption escapeMnemonics() wrote.
QString unescapeMnemonics(const QString& text);

// A blue-green-red colour integer as a QColor.
QColor toQColor(Colour colour);

// Gives the widget `colour` in the palette roles named.
void setColour(QWidget* widget, std::initializer_list<QPalette::ColorRole> roles,
               const QColor& colour);

// The text colour of a label, text box, button or frame (its ForeColor).
void setTextColour(QWidget* widget, Colour colour);

} // namespace cifrelle::ui
