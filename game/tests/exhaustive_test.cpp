// SPDX-License-Identifier: GPL-3.0-or-later
// Every number the game can draw: r = k / 2^24 for each 24-bit k, and
// x = r * 100 in single precision. For each one the shown text and the keys of
// all three levels are checked against an independent exact computation on
// decimal digit strings.

#include "cifrelle/game/answerkey.h"
#include "cifrelle/game/random.h"
#include "cifrelle/numtext/numtext.h"

#include <gtest/gtest.h>

#include <charconv>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <functional>
#include <iostream>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace {

// Adds one to the last of the n digits at d; returns true when the carry
// runs out of them (all nines).
bool incrementDigits(char* d, std::size_t n)
{
    while (n > 0 && d[n - 1] == '9')
        d[--n] = '0';
    if (n == 0)
        return true;
    ++d[n - 1];
    return false;
}

// Writes the digits d[0, point) without leading zeros ("0" when none are
// left), then the comma and the digits d[point, end) when there are any.
std::string commaText(const char* d, std::size_t point, std::size_t end)
{
    std::size_t start = 0;
    while (start < point && d[start] == '0')
        ++start;
    std::string out;
    if (start == point)
        out.push_back('0');
    else
        out.append(d + start, point - start);
    if (end > point) {
        out.push_back(',');
        out.append(d + point, end - point);
    }
    return out;
}

// The exact decimal value of x rounded half up to seven significant digits,
// written with the comma, "0" before it below 1, no trailing zeros and no
// comma when whole. Every drawn number is a multiple of 2^-41, so 60 fixed
// decimals hold all of its digits.
std::string sevenSignificant(float x)
{
    char fixed[128];
    const auto res = std::to_chars(fixed, fixed + sizeof fixed, static_cast<double>(x),
                                   std::chars_format::fixed, 60);
    char d[128];
    std::size_t n = 0;
    std::size_t point = 0;
    for (const char* p = fixed; p != res.ptr; ++p) {
        if (*p == '.')
            point = n;
        else
            d[n++] = *p;
    }
    std::size_t first = 0;
    while (first < n && d[first] == '0')
        ++first;
    if (first == n)
        return "0";
    const std::size_t cut = first + 7;
    if (cut < n) {
        const bool up = d[cut] >= '5';
        n = cut;
        if (up && incrementDigits(d, n)) {
            std::memmove(d + 1, d, n);
            d[0] = '1';
            ++n;
            ++point;
        }
    }
    while (n < point)
        d[n++] = '0';
    while (n > point && d[n - 1] == '0')
        --n;
    return commaText(d, point, n);
}

// A comma text rounded half up on its digits to exactly n decimals, all of
// them written, "0" before the comma below 1.
std::string keyFor(std::string_view text, std::size_t n)
{
    const auto comma = text.find(',');
    const std::string_view whole = text.substr(0, comma);
    const std::string_view fraction =
        comma == std::string_view::npos ? std::string_view() : text.substr(comma + 1);
    char d[64];
    std::size_t len = 1;
    d[0] = '0'; // room for a carry out of the integer part
    for (char c : whole)
        d[len++] = c;
    for (std::size_t i = 0; i < n; ++i)
        d[len++] = i < fraction.size() ? fraction[i] : '0';
    if (fraction.size() > n && fraction[n] >= '5')
        incrementDigits(d, len);
    return commaText(d, len - n, len);
}

float asSingle(std::string text)
{
    for (char& c : text)
        if (c == ',')
            c = '.';
    float v = -1.0f;
    std::from_chars(text.data(), text.data() + text.size(), v);
    return v;
}

struct Outcome {
    std::uint64_t checked = 0;
    std::uint64_t failures = 0;
    std::vector<std::string> samples;

    void fail(std::string what)
    {
        if (++failures <= 20)
            samples.push_back(std::move(what));
    }
};

void walk(std::uint32_t begin, std::uint32_t end, Outcome& out)
{
    using cifrelle::game::answerKey;
    for (std::uint32_t k = begin; k < end; ++k) {
        const float x = cifrelle::game::fromBits(k) * 100.0f;
        const std::string text = cifrelle::numtext::singleText(x);
        const std::string want = sevenSignificant(x);
        ++out.checked;
        if (text != want)
            out.fail("k=" + std::to_string(k) + ": single text " + text + ", want " + want);
        for (std::size_t n = 1; n <= 3; ++n) {
            const auto got = answerKey(text, static_cast<int>(n));
            const std::string key = keyFor(want, n);
            if (got.key != key)
                out.fail("k=" + std::to_string(k) + " " + text + " level " + std::to_string(n) +
                         ": key " + got.key + ", want " + key);
            const auto comma = got.key.find(',');
            if (comma == std::string::npos || got.key.size() - comma - 1 != n)
                out.fail("k=" + std::to_string(k) + ": key " + got.key + " has not " +
                         std::to_string(n) + " decimals");
            if (got.arrotondato != asSingle(key))
                out.fail("k=" + std::to_string(k) + " level " + std::to_string(n) +
                         ": rounded value differs from " + key);
        }
    }
}

TEST(Exhaustive, EveryDrawnNumberAndItsKeys)
{
    constexpr std::uint32_t kAll = 1u << 24;
    constexpr std::uint32_t kHalf = kAll / 2;
    const auto start = std::chrono::steady_clock::now();

    Outcome low, high;
    std::thread other(walk, kHalf, kAll, std::ref(high));
    walk(0, kHalf, low);
    other.join();

    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::steady_clock::now() - start)
                        .count();
    std::cout << "[ exhaustive ] " << low.checked + high.checked << " numbers, 3 levels each, in "
              << ms << " ms" << std::endl;
    RecordProperty("elapsed_ms", static_cast<int>(ms));

    EXPECT_EQ(low.checked + high.checked, kAll);
    for (const Outcome* o : {&low, &high})
        for (const std::string& s : o->samples)
            ADD_FAILURE() << s;
    EXPECT_EQ(low.failures + high.failures, 0u);
}

} // namespace
