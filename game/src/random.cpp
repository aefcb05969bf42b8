// SPDX-License-Identifier: GPL-3.0-or-later
#include "cifrelle/game/random.h"

#include "localtime.h"

#include <bit>
#include <chrono>
#include <ctime>

namespace cifrelle::game {

std::uint64_t MixingRandom::step()
{
    state_ += 0x9E3779B97F4A7C15ull;
    std::uint64_t z = state_;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

void MixingRandom::reseed(float seconds)
{
    // Mix the clock value in and step once, so that the same value given
    // twice still leads to a new state.
    state_ ^= static_cast<std::uint64_t>(std::bit_cast<std::uint32_t>(seconds)) << 17;
    state_ = step();
}

float MixingRandom::next()
{
    return fromBits(static_cast<std::uint32_t>(step() >> 40));
}

std::tm SystemTime::now()
{
    return localTime(std::chrono::system_clock::to_time_t(std::chrono::system_clock::now()));
}

float SystemTime::secondsSinceMidnight()
{
    using namespace std::chrono;
    const auto now = system_clock::now();
    const std::time_t t = system_clock::to_time_t(now);
    const std::tm local = localTime(t);
    const auto ms = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;
    return static_cast<float>(local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec) +
           static_cast<float>(ms) / 1000.0f;
}

} // namespace cifrelle::game
