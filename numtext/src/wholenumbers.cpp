// SPDX-License-Identifier: GPL-3.0-or-later
// Whole numbers: the integer text of a counter, and a floating value stored
// as a 16-bit integer.

#include "cifrelle/numtext/numtext.h"

#include <charconv>
#include <cmath>

namespace cifrelle::numtext {

std::string integerText(std::int64_t value)
{
    char buf[24];
    const auto res = std::to_chars(buf, buf + sizeof buf, value);
    return std::string(buf, res.ptr);
}

std::int16_t storeWhole(double value)
{
    // Nearest whole number; exactly half way goes to the even one.
    double whole = std::floor(value);
    const double rest = value - whole;
    if (rest > 0.5 || (rest == 0.5 && std::fmod(whole, 2.0) != 0.0))
        whole += 1.0;
    if (!(whole >= -32768.0 && whole <= 32767.0)) // NaN fails too
        throw std::overflow_error("Valore fuori dall'intervallo di un intero a 16 bit");
    return static_cast<std::int16_t>(whole);
}

} // namespace cifrelle::numtext
