// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What the readings and the pattern texts share: the strict reading's
// grammar, and the text quoted in an error message.

#include <optional>
#include <string>
#include <string_view>

namespace cifrelle::numtext {

constexpr bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// A number text split at its comma. Either side may be empty.
struct NumberParts {
    std::string_view whole;
    std::string_view fraction;
};

// The strict reading's grammar: digits, optionally a comma and digits, and
// not the empty text.
std::optional<NumberParts> splitNumber(std::string_view text) noexcept;

// Throws NumberFormatError, naming the text, for a text that is not a number.
[[noreturn]] void throwNotANumber(std::string_view text);

// The text quoted for an error message: printable bytes as they are, the
// others as \xHH, cut short when long.
std::string quoted(std::string_view text);

} // namespace cifrelle::numtext
