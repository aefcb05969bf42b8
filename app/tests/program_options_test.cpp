// SPDX-License-Identifier: GPL-3.0-or-later
// The options the program runs with.
#include "program.h"

#include "cifrelle/ui/formdesign.h"

#include <gtest/gtest.h>

namespace {

TEST(GameOptions, TheGameTicksAtTheDesignInterval)
{
    // The shipped program runs with the defaults only: its clock must tick
    // exactly as the design's timer, once a second.
    const cifrelle::app::GameOptions options;
    EXPECT_EQ(options.tickIntervalMs, cifrelle::ui::windowDesign().timerIntervalMs);
    EXPECT_EQ(options.tickIntervalMs, 1000);
}

} // namespace
