// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cmath>

namespace cifrelle::ui::testing {

// A length of the design, in twips, as pixels at 100% (15 twips a pixel),
// worked out apart from the window's own conversion.
inline int pixels(int twips)
{
    return static_cast<int>(std::lround(twips / 15.0));
}

} // namespace cifrelle::ui::testing
