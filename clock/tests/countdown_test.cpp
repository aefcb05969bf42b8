// SPDX-License-Identifier: GPL-3.0-or-later
#include "cifrelle/clock/countdown.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using cifrelle::clock::Countdown;

Countdown afterTicks(int ticks)
{
    Countdown c;
    c.start();
    for (int i = 0; i < ticks; ++i)
        c.countDown();
    return c;
}

TEST(Countdown, StartsAtFifteenMinutes)
{
    Countdown c;
    c.start();
    EXPECT_EQ(c.ore, 0);
    EXPECT_EQ(c.minuti, 15);
    EXPECT_EQ(c.secondi, 0.0f);
    EXPECT_EQ(c.text(), "00:15:00");
}

struct TickCase {
    int ticks;
    const char* text;
};

class CountdownTicks : public testing::TestWithParam<TickCase> {};

TEST_P(CountdownTicks, ShowsTheTimeLeft)
{
    const Countdown c = afterTicks(GetParam().ticks);
    EXPECT_EQ(c.text(), GetParam().text);
    EXPECT_EQ(c.secondsLeft(), 900 - GetParam().ticks);
    EXPECT_EQ(c.atZero(), GetParam().ticks == 900);
}

INSTANTIATE_TEST_SUITE_P(Sequence, CountdownTicks,
                         testing::Values(TickCase{1, "00:14:59"}, TickCase{59, "00:14:01"},
                                         TickCase{60, "00:14:00"}, TickCase{61, "00:13:59"},
                                         TickCase{119, "00:13:01"}, TickCase{120, "00:13:00"},
                                         TickCase{300, "00:10:00"}, TickCase{600, "00:05:00"},
                                         TickCase{899, "00:00:01"}, TickCase{900, "00:00:00"}));

TEST(Countdown, NeverShowsSixtySecondsNorANegativeField)
{
    Countdown c;
    c.start();
    for (int i = 0; i < 900; ++i) {
        c.countDown();
        const std::string t = c.text();
        ASSERT_EQ(t.size(), 8u) << t;
        EXPECT_EQ(t.find('-'), std::string::npos) << t;
        EXPECT_NE(t.substr(6), "60") << "after tick " << i + 1;
        EXPECT_GE(c.secondi, 0.0f);
        EXPECT_LT(c.secondi, 60.0f);
    }
    EXPECT_EQ(c.text(), "00:00:00");
}

TEST(Countdown, BorrowsFromTheHours)
{
    Countdown c;
    c.ore = 1;
    c.minuti = 0;
    c.secondi = 0.0f;
    c.countDown();
    EXPECT_EQ(c.text(), "00:59:59");
}

} // namespace
