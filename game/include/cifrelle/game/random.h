// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <ctime>

namespace cifrelle::game {

// The game's source of random numbers: single-precision values r with
// 0 <= r < 1, each of the form k / 2^24 for a 24-bit integer k.
class RandomSource {
public:
    virtual ~RandomSource() = default;
    // Mixes a clock value into the state. Reseeding twice with the same value
    // still moves the generator on, so the next value is a fresh one.
    virtual void reseed(float seconds) = 0;
    virtual float next() = 0;
};

// The time of day, in seconds since midnight, and the local date and time.
class TimeSource {
public:
    virtual ~TimeSource() = default;
    virtual float secondsSinceMidnight() = 0;
    virtual std::tm now() = 0;
};

// r = k / 2^24 for the 24-bit integer k.
constexpr float fromBits(std::uint32_t k)
{
    return static_cast<float>(k & 0xFFFFFFu) / 16777216.0f;
}

// The generator the game uses: a 64-bit state stepped with splitmix64.
class MixingRandom : public RandomSource {
public:
    explicit MixingRandom(std::uint64_t state = 0x9E3779B97F4A7C15ull) : state_(state) {}
    void reseed(float seconds) override;
    float next() override;

private:
    std::uint64_t step();
    std::uint64_t state_;
};

// The real time of day from the system clock, local time.
class SystemTime : public TimeSource {
public:
    float secondsSinceMidnight() override;
    std::tm now() override;
};

} // namespace cifrelle::game
