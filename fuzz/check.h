// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What the fuzz targets share: an invariant check that stops the run with a
// message libFuzzer (or the corpus replay) reports as a finding, and the
// reference readings the targets compare the game's readings against.

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace cifrelle::fuzz {

[[noreturn]] inline void fail(const char* file, int line, const char* what)
{
    std::fprintf(stderr, "%s:%d: invariant broken: %s\n", file, line, what);
    std::fflush(stderr);
    std::abort();
}

#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition))                                                                          \
            ::cifrelle::fuzz::fail(__FILE__, __LINE__, #condition);                                \
    } while (0)

inline bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// The C library's correctly rounded reading of a plain decimal text such as
// "12.5", ".5" or "7." (digits and at most one period, at least one digit
// or none at all, which reads as 0). Independent of the game's own reader.
inline double referenceDecimal(std::string_view whole, std::string_view fraction)
{
    std::string text = whole.empty() ? std::string("0") : std::string(whole);
    if (!fraction.empty()) {
        text += '.';
        text += fraction;
    }
    errno = 0;
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (end != text.c_str() + text.size())
        fail(__FILE__, __LINE__, "strtod did not read the whole reference text");
    return value;
}

// The leading number of a text as the lenient reading takes it, found with
// the standard library: blanks (spaces, tabs) skipped, digits, optionally a
// period and more digits.
struct LeadingNumber {
    std::string_view whole;
    std::string_view fraction;
    bool period = false;
    std::size_t start = 0; // after the blanks
    std::size_t end = 0;   // after the number
};

inline LeadingNumber leadingNumber(std::string_view text)
{
    constexpr std::string_view digits = "0123456789";
    LeadingNumber n;
    n.start = std::min(text.find_first_not_of(" \t"), text.size());
    n.end = std::min(text.find_first_not_of(digits, n.start), text.size());
    n.whole = text.substr(n.start, n.end - n.start);
    if (n.end < text.size() && text[n.end] == '.') {
        n.period = true;
        const std::size_t from = n.end + 1;
        n.end = std::min(text.find_first_not_of(digits, from), text.size());
        n.fraction = text.substr(from, n.end - from);
    }
    return n;
}

} // namespace cifrelle::fuzz
