// SPDX-License-Identifier: GPL-3.0-or-later
#include "designfont.h"

namespace cifrelle::ui {

QFont designFont(const Font& font)
{
    QFont f(substituteFace(font.face));
    f.setPointSizeF(font.points);
    f.setWeight(font.bold ? QFont::Bold : QFont::Normal);
    f.setItalic(false);
    f.setUnderline(false);
    f.setStrikeOut(false);
    return f;
}

} // namespace cifrelle::ui
