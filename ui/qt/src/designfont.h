// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cifrelle/ui/formdesign.h"

#include <QFont>
#include <QString>

#include <string_view>

namespace cifrelle::ui {

// The face that draws a face of the design on this system: one of the same
// metrics where the design's own is missing (Linux has Liberation Sans and
// Liberation Serif in place of Windows' faces), an outline face that scales
// where the design's is a bitmap face (Windows' MS Sans Serif and MS
// Serif), the design's own otherwise. (designfont_linux.cpp,
// designfont_windows.cpp)
QString substituteFace(std::string_view face);

// The design's font, with its substituted face: never italic, underlined
// or struck through.
QFont designFont(const Font& font);

} // namespace cifrelle::ui
