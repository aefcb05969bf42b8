// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

namespace cifrelle::ui {

// Colours are 24-bit integers in blue-green-red order: 255 is red,
// 65280 green, 16711680 blue.
using Colour = std::int32_t;

namespace colours {
inline constexpr Colour red = 255;
inline constexpr Colour darkRed = 192;
inline constexpr Colour green = 65280;
inline constexpr Colour yellow = 65535;
inline constexpr Colour cyan = 16776960;
inline constexpr Colour lightCyan = 16777088;
inline constexpr Colour magenta = 16711935;
inline constexpr Colour white = 16777215;
inline constexpr Colour navy = 8388608;
inline constexpr Colour teal = 12632064;
inline constexpr Colour purple = 12583104;
inline constexpr Colour deepBlue = 12582912;
inline constexpr Colour darkBlue = 4194304;
inline constexpr Colour black = 0;
} // namespace colours

struct Rgb {
    int red;
    int green;
    int blue;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

// The one place where a blue-green-red integer is taken apart.
constexpr Rgb toRgb(Colour bgr)
{
    return Rgb{bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF};
}

} // namespace cifrelle::ui
