// SPDX-License-Identifier: GPL-3.0-or-later
// The faces on Windows: the design's own, but for its bitmap faces, which
// are swapped for the outline faces that scale.
#include "designfont.h"

#include "qthelpers.h"

namespace cifrelle::ui {

QString substituteFace(std::string_view face)
{
    if (face == "MS Sans Serif")
        return QStringLiteral("Microsoft Sans Serif");
    if (face == "MS Serif")
        return QStringLiteral("Times New Roman");
    return fromView(face);
}

} // namespace cifrelle::ui
