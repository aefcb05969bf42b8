// SPDX-License-Identifier: GPL-3.0-or-later
#include "cifrelle/clock/countdown.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using cifrelle::clock::Countdown;
using cifrelle::clock::Stage;
using cifrelle::clock::stageStartingAt;

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
    EXPECT_EQ(afterTicks(GetParam().ticks).text(), GetParam().text);
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

TEST(Countdown, StagesStartOnlyAtTheirThresholds)
{
    EXPECT_EQ(stageStartingAt("00:13:00"), Stage::thirteenMinutesLeft);
    EXPECT_EQ(stageStartingAt("00:10:00"), Stage::tenMinutesLeft);
    EXPECT_EQ(stageStartingAt("00:05:00"), Stage::fiveMinutesLeft);
    EXPECT_EQ(stageStartingAt("00:01:00"), Stage::lastMinute);
    for (const char* other : {"00:13:01", "00:12:59", "00:10:01", "00:05:01", "00:04:59",
                              "00:00:59", "00:00:00", "00:15:00", "0:13:00", "00:13:00 "})
        EXPECT_FALSE(stageStartingAt(other).has_value()) << other;
}

TEST(Countdown, StagesOverAWholeGame)
{
    Countdown c;
    c.start();
    std::vector<std::pair<int, Stage>> starts;
    for (int tick = 1; tick <= 900; ++tick) {
        c.countDown();
        if (auto stage = stageStartingAt(c.text()))
            starts.emplace_back(tick, *stage);
    }
    const std::vector<std::pair<int, Stage>> expected{{120, Stage::thirteenMinutesLeft},
                                                      {300, Stage::tenMinutesLeft},
                                                      {600, Stage::fiveMinutesLeft},
                                                      {840, Stage::lastMinute}};
    EXPECT_EQ(starts, expected);
}

} // namespace
