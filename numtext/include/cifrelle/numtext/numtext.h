// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Number texts as the game writes and reads them: Italian convention, the
// decimal comma, no thousands separator. Plain C++: nothing here depends on
// the machine's locale.

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace cifrelle::numtext {

// Raised by the strict reading for a text that is not a number.
class NumberFormatError : public std::invalid_argument {
public:
    using std::invalid_argument::invalid_argument;
};

// A single-precision value as text: rounded half up to seven significant
// digits of its exact value, decimal comma, no trailing zeros, no comma when
// whole, "0" before the comma below 1, never an exponent. Negative values get
// a leading "-" (the game writes none).
std::string singleText(float value);

// An integer as its decimal digits: 0 gives "0", 17 gives "17".
std::string integerText(std::int64_t value);

// Formats with a pattern such as "#.#", "#.##", "#.###" or "00": "#" shows a
// digit only when significant, "0" always shows one, "." is where the comma
// goes. Extra decimals are rounded half up on the decimal digits (the first
// dropped digit decides, with carry). "#.#" of 0,04 is "," and of 5 is "5,".
std::string patternText(double value, std::string_view pattern);

// The same for a number given as text: the text is read with numberValue()
// (so it throws NumberFormatError when it is not a number) and rounded on
// its decimal digits exactly as written.
std::string patternText(std::string_view numberText, std::string_view pattern);

// The strict reading: the whole text must be digits, optionally with one
// comma and more digits; digits may be missing on one side of the comma, and
// the comma alone reads as 0. Throws NumberFormatError for anything else, the
// empty text included.
double numberValue(std::string_view text);

// The strict reading without an exception.
std::optional<double> tryNumberValue(std::string_view text) noexcept;

// The lenient reading: skips leading blanks, reads digits, optionally a
// period and more digits, and stops at the first character that cannot
// continue the number. Never fails: no leading number gives 0.
double leadingNumberValue(std::string_view text) noexcept;

// Rounds to the nearest whole number and stores it in a 16-bit integer.
// Throws std::overflow_error outside -32768..32767.
std::int16_t storeWhole(double value);

} // namespace cifrelle::numtext
