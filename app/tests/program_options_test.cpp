// SPDX-License-Identifier: GPL-3.0-or-later
// The options the program runs with.
#include "program.h"

#include "cifrelle/ui/formdesign.h"

#include <gtest/gtest.h>

namespace {

TEST(GameOptions, TheShippedProgramKeepsTheGamesTimes)
{
    // The shipped program runs with the defaults only: its clock must tick
    // exactly as the design's timer, once a second.
    const cifrelle::app::GameOptions options;
    EXPECT_EQ(options.tickIntervalMs, cifrelle::ui::windowDesign().timerIntervalMs);
    EXPECT_EQ(options.tickIntervalMs, 1000);
    // ...and offer the way out of a wait for another game's save after 10 s.
    EXPECT_EQ(options.wayOutAfter, std::chrono::seconds(10));
    // ...and, in a guarded class folder, reach the keeper installed with it.
    EXPECT_FALSE(options.keeperCommand.has_value());
}

} // namespace
