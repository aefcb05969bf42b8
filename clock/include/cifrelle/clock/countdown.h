// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>

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
    // The time left, in seconds.
    int secondsLeft() const;
    // Whether the clock has run down to zero (its text reads 00:00:00).
    bool atZero() const { return secondsLeft() == 0; }
};

} // namespace cifrelle::clock
