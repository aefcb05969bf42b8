// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace cifrelle::clock {

// How long a game lasts, in seconds: fifteen minutes.
inline constexpr int gameSeconds = 15 * 60;

// The fifteen-minute countdown as a plain state machine: it is ticked, it
// never reads the wall clock.
struct Countdown {
    std::int16_t ore = 0;
    std::int16_t minuti = 0;
    float secondi = 0.0f;

    // Sets the clock to fifteen minutes.
    void start();
    // Takes one second off, borrowing from minutes and hours.
    void countDown();
    // Hours, minutes and seconds, each with at least two digits, joined by
    // ":" (00:15:00 at the start).
    std::string text() const;
};

// The clock text the game ends on, one tick after the clock reaches it.
inline constexpr std::string_view zeroText = "00:00:00";

// The stretches of the countdown after the first one, each named after the
// time left when it starts; the game shows the first three in a colour of
// their own, and tells the player the time left at the start of each.
enum class Stage {
    thirteenMinutesLeft, // from 00:13:00
    tenMinutesLeft,      // from 00:10:00
    fiveMinutesLeft,     // from 00:05:00
    lastMinute,          // from 00:01:00 to the end
};

// The stage that starts when the clock text becomes `clockText`, compared
// exactly; nothing for any other text.
std::optional<Stage> stageStartingAt(std::string_view clockText);

} // namespace cifrelle::clock
