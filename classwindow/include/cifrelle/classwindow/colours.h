// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cifrelle/classsummary/summary.h"

#include <QColor>

namespace cifrelle::classwindow {

// The colours of the teacher's view, on the screen and in the PDF. Every
// text and every bar passes 4.5:1 against what it is drawn on (the tests
// compute it), and no colour carries a meaning alone: each judgement's word
// is written in its cell, each bar's number on the bar.

// The pictures' background, their text and the lines of their frames.
inline const QColor paper{0xFF, 0xFF, 0xFF};
inline const QColor ink{0x1A, 0x1A, 0x1A};
// The bars of each level (tenths, hundredths, thousandths) and of the kinds
// of mistakes; the numbers written inside a bar are `paper`.
QColor levelColour(int level);
inline const QColor mistakeColour{0x6B, 0x3F, 0x8F};
// A judgement's cell (its word written in `ink`): pochi dati grey, sicuro
// green, quasi yellow, da rivedere red.
QColor judgementColour(classsummary::Judgement judgement);

// The contrast ratio of two colours, as WCAG 2 defines it (1 to 21).
double contrast(const QColor& a, const QColor& b);

} // namespace cifrelle::classwindow
