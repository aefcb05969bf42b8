// SPDX-License-Identifier: GPL-3.0-or-later
// The faces on Linux: Liberation Sans and Liberation Serif have the metrics
// of Windows' sans serif and serif faces, so that every caption takes the
// room it was designed for.
#include "designfont.h"

#include "qthelpers.h"

namespace cifrelle::ui {

QString substituteFace(std::string_view face)
{
    if (face == "MS Sans Serif" || face == "Arial")
        return QStringLiteral("Liberation Sans");
    if (face == "Times New Roman" || face == "MS Serif")
        return QStringLiteral("Liberation Serif");
    return fromView(face);
}

} // namespace cifrelle::ui
