// SPDX-License-Identifier: GPL-3.0-or-later
#include "cifrelle/clock/countdown.h"

#include "cifrelle/numtext/numtext.h"

namespace cifrelle::clock {

void Countdown::start()
{
    ore = 0;
    minuti = static_cast<std::int16_t>(gameSeconds / 60);
    secondi = 0.0f;
}

void Countdown::countDown()
{
    if (secondi == 0.0f) {
        if (minuti > 0) {
            minuti = static_cast<std::int16_t>(minuti - 1);
            secondi = 60.0f;
        } else if (ore > 0) {
            ore = static_cast<std::int16_t>(ore - 1);
            minuti = 59;
            secondi = 60.0f;
        }
    }
    secondi -= 1.0f;
}

std::string Countdown::text() const
{
    using numtext::patternText;
    return patternText(ore, "00") + ":" + patternText(minuti, "00") + ":" +
           patternText(secondi, "00");
}

int Countdown::secondsLeft() const
{
    return ore * 3600 + minuti * 60 + static_cast<int>(secondi);
}

} // namespace cifrelle::clock
