// SPDX-License-Identifier: GPL-3.0-or-later
// Reading numbers: the strict reading of a whole text in the comma
// convention, and the lenient reading of the leading number with a period.
// Both end in the double nearest to the decimal digits read.

#include "cifrelle/numtext/numtext.h"
#include "numberparts.h"

#include <array>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <limits>

namespace cifrelle::numtext {

namespace {

constexpr std::array<double, 23> kExactPow10 = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                                1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                                1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// The double nearest to the decimal number whole.fraction (digit strings,
// either may be empty). Too large gives +infinity, too small 0. Allocates
// nothing, whatever the length of the digits.
double decimalValue(std::string_view whole, std::string_view fraction) noexcept
{
    while (!whole.empty() && whole.front() == '0')
        whole.remove_prefix(1);
    while (!fraction.empty() && fraction.back() == '0')
        fraction.remove_suffix(1);
    if (whole.empty() && fraction.empty())
        return 0.0;
    if (whole.size() > 310)
        return std::numeric_limits<double>::infinity();

    // Exact mantissa below 2^53 and an exact power of ten: one correctly
    // rounded division.
    if (whole.size() + fraction.size() <= 15 && fraction.size() < kExactPow10.size()) {
        std::uint64_t m = 0;
        for (char c : whole)
            m = m * 10 + static_cast<std::uint64_t>(c - '0');
        for (char c : fraction)
            m = m * 10 + static_cast<std::uint64_t>(c - '0');
        return static_cast<double>(m) / kExactPow10[fraction.size()];
    }

    std::size_t zeros = 0; // zeros between the comma and the first digit
    if (whole.empty()) {
        while (zeros < fraction.size() && fraction[zeros] == '0')
            ++zeros;
        if (zeros > 400) // below 10^-400: rounds to 0
            return 0.0;
    }
    // Enough significant digits to decide any rounding of a double (which
    // needs at most 767); a further nonzero digit stands in for the rest.
    constexpr std::size_t kKeep = 800;
    char buf[310 + 1 + 400 + kKeep + 1];
    char* p = buf;
    if (whole.empty()) {
        *p++ = '0';
    } else {
        std::memcpy(p, whole.data(), whole.size());
        p += whole.size();
    }
    std::size_t significant = whole.size() + fraction.size() - zeros;
    if (!fraction.empty()) {
        *p++ = '.';
        std::size_t take = fraction.size();
        bool sticky = false;
        if (significant > kKeep) {
            take = fraction.size() - (significant - kKeep);
            sticky = true; // the dropped tail ends in a nonzero digit
        }
        std::memcpy(p, fraction.data(), take);
        p += take;
        if (sticky)
            *p++ = '1';
    }
    double value = 0.0;
    const auto res = std::from_chars(buf, p, value, std::chars_format::fixed);
    if (res.ec == std::errc::result_out_of_range)
        return whole.empty() ? 0.0 : std::numeric_limits<double>::infinity();
    return value;
}

} // namespace

std::optional<NumberParts> splitNumber(std::string_view text) noexcept
{
    if (text.empty())
        return std::nullopt;
    std::size_t comma = std::string_view::npos;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (isDigit(c))
            continue;
        if (c == ',' && comma == std::string_view::npos) {
            comma = i;
            continue;
        }
        return std::nullopt;
    }
    if (comma == std::string_view::npos)
        return NumberParts{text, {}};
    return NumberParts{text.substr(0, comma), text.substr(comma + 1)};
}

void throwNotANumber(std::string_view text)
{
    throw NumberFormatError("Il testo " + quoted(text) + " non è un numero");
}

std::string quoted(std::string_view text)
{
    constexpr std::size_t kMax = 60;
    std::string out = "\"";
    for (std::size_t i = 0; i < text.size() && i < kMax; ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c >= 0x20 && c < 0x7F && c != '\\' && c != '"') {
            out.push_back(static_cast<char>(c));
        } else {
            static constexpr char kHex[] = "0123456789ABCDEF";
            out += "\\x";
            out.push_back(kHex[c >> 4]);
            out.push_back(kHex[c & 0xF]);
        }
    }
    if (text.size() > kMax)
        out += "...";
    out += '"';
    return out;
}

double numberValue(std::string_view text)
{
    const auto parts = splitNumber(text);
    if (!parts)
        throwNotANumber(text);
    return decimalValue(parts->whole, parts->fraction);
}

std::optional<double> tryNumberValue(std::string_view text) noexcept
{
    const auto parts = splitNumber(text);
    if (!parts)
        return std::nullopt;
    return decimalValue(parts->whole, parts->fraction);
}

double leadingNumberValue(std::string_view text) noexcept
{
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    const std::size_t wholeStart = i;
    while (i < text.size() && isDigit(text[i]))
        ++i;
    const std::string_view whole = text.substr(wholeStart, i - wholeStart);
    std::string_view fraction;
    if (i < text.size() && text[i] == '.') {
        const std::size_t fractionStart = ++i;
        while (i < text.size() && isDigit(text[i]))
            ++i;
        fraction = text.substr(fractionStart, i - fractionStart);
    }
    return decimalValue(whole, fraction);
}

} // namespace cifrelle::numtext
