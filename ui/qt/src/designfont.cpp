// SPDX-License-Identifier: GPL-3.0-or-later
#include "designfont.h"

#include "qthelpers.h"

namespace cifrelle::ui {

QString substituteFace(std::string_view face)
{
#ifdef Q_OS_WIN
    // Windows has the faces themselves; only its bitmap faces are swapped
    // for the outline faces that scale.
    if (face == "MS Sans Serif")
        return QStringLiteral("Microsoft Sans Serif");
    if (face == "MS Serif")
        return QStringLiteral("Times New Roman");
#else
    if (face == "MS Sans Serif" || face == "Arial")
        return QStringLiteral("Liberation Sans");
    if (face == "Times New Roman" || face == "MS Serif")
        return QStringLiteral("Liberation Serif");
#endif
    return fromView(face);
}

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
