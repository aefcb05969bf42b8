// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzz target for the strict reading of a number text (numberValue and
// tryNumberValue), the reading behind the score caption and the answer key.
//
// Any bytes: the two readings must agree and never crash. When a text is
// accepted it must match the grammar digits[,digits] (not empty, the comma
// alone allowed), its value must be the correctly rounded double of the
// decimal number (finite, or +infinity when too large), and the pattern
// texts the game makes from it must read back and round half up on the
// digits as written.

#include "check.h"

#include "cifrelle/numtext/numtext.h"

#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace nt = cifrelle::numtext;
using cifrelle::fuzz::fail;
using cifrelle::fuzz::isDigit;
using cifrelle::fuzz::referenceDecimal;

namespace {

struct Split {
    std::string_view whole;
    std::string_view fraction;
    bool comma = false;
};

// The grammar, written out on its own: not empty, digits and at most one
// comma.
std::optional<Split> referenceSplit(std::string_view text)
{
    if (text.empty())
        return std::nullopt;
    std::size_t commas = 0;
    for (char c : text) {
        if (c == ',')
            ++commas;
        else if (!isDigit(c))
            return std::nullopt;
    }
    if (commas > 1)
        return std::nullopt;
    const auto at = text.find(',');
    if (at == std::string_view::npos)
        return Split{text, {}, false};
    return Split{text.substr(0, at), text.substr(at + 1), true};
}

std::string_view stripLeadingZeros(std::string_view s)
{
    while (!s.empty() && s.front() == '0')
        s.remove_prefix(1);
    return s;
}

// The number whole.fraction rounded half up to `decimals` places, as the
// integer value * 10^decimals in digits without leading zeros ("" for 0).
std::string expectedScaled(std::string_view whole, std::string_view fraction, std::size_t decimals)
{
    std::string digits(stripLeadingZeros(whole));
    for (std::size_t i = 0; i < decimals; ++i)
        digits += i < fraction.size() ? fraction[i] : '0';
    if (fraction.size() > decimals && fraction[decimals] >= '5') {
        // Add one, from the last digit backwards.
        std::size_t i = digits.size();
        for (;;) {
            if (i == 0) {
                digits.insert(digits.begin(), '1');
                break;
            }
            --i;
            if (digits[i] == '9') {
                digits[i] = '0';
            } else {
                ++digits[i];
                break;
            }
        }
    }
    return std::string(stripLeadingZeros(digits));
}

struct PatternCase {
    std::string_view pattern;
    std::size_t decimals;    // places kept
    std::size_t minDecimals; // places always written
    std::size_t minWhole;    // integer digits always written
    bool comma;              // writes the comma
};

constexpr PatternCase kPatterns[] = {
    {"#.#", 1, 0, 0, true}, {"#.##", 2, 0, 0, true}, {"#.###", 3, 0, 0, true},
    {"00", 0, 0, 2, false}, {"#", 0, 0, 0, false},   {"0.0", 1, 1, 1, true},
    {"#.", 0, 0, 0, true},
};

void checkPatternText(const Split& parts, std::string_view text, const PatternCase& pc)
{
    std::string out;
    try {
        out = nt::patternText(text, pc.pattern);
    } catch (const std::exception&) {
        fail(__FILE__, __LINE__, "patternText threw for a text the strict reading accepts");
    }
    if (out.empty()) {
        // Only a pattern without a comma or a '0' writes nothing, for zero.
        FUZZ_CHECK(!pc.comma && pc.minWhole == 0);
        FUZZ_CHECK(expectedScaled(parts.whole, parts.fraction, pc.decimals).empty());
        return;
    }
    const std::optional<Split> back = referenceSplit(out);
    FUZZ_CHECK(back.has_value());                    // a number text again
    FUZZ_CHECK(nt::tryNumberValue(out).has_value()); // and the game reads it back
    FUZZ_CHECK(back->comma == pc.comma);
    FUZZ_CHECK(back->fraction.size() <= pc.decimals);
    FUZZ_CHECK(back->fraction.size() >= pc.minDecimals);
    if (back->fraction.size() > pc.minDecimals)
        FUZZ_CHECK(back->fraction.back() != '0'); // no trailing zero where '#'
    if (back->whole.size() > pc.minWhole)
        FUZZ_CHECK(back->whole.front() != '0'); // no leading zero where '#'
    FUZZ_CHECK(back->whole.size() >= pc.minWhole);

    // The value: rounded half up on the digits as written.
    std::string scaled(back->whole);
    scaled += back->fraction;
    scaled.append(pc.decimals - back->fraction.size(), '0');
    FUZZ_CHECK(stripLeadingZeros(scaled) ==
               expectedScaled(parts.whole, parts.fraction, pc.decimals));
}

// Significant digits of whole.fraction.
std::size_t significantDigits(std::string_view whole, std::string_view fraction)
{
    whole = stripLeadingZeros(whole);
    while (!fraction.empty() && fraction.back() == '0')
        fraction.remove_suffix(1);
    if (whole.empty()) {
        while (!fraction.empty() && fraction.front() == '0')
            fraction.remove_prefix(1);
    } else if (fraction.empty()) {
        while (!whole.empty() && whole.back() == '0')
            whole.remove_suffix(1);
    }
    return whole.size() + fraction.size();
}

void checkSingleText(double value)
{
    const auto single = static_cast<float>(value);
    if (!std::isfinite(single))
        return;
    std::string text;
    try {
        text = nt::singleText(single);
    } catch (const std::exception&) {
        fail(__FILE__, __LINE__, "singleText threw for a finite value");
    }
    const std::optional<Split> parts = referenceSplit(text);
    FUZZ_CHECK(parts.has_value()); // the game reads Text2 back strictly
    if (parts->comma) {
        FUZZ_CHECK(!parts->whole.empty() && !parts->fraction.empty());
        FUZZ_CHECK(parts->fraction.back() != '0');
    }
    FUZZ_CHECK(parts->whole.size() == 1 || parts->whole.front() != '0');
    FUZZ_CHECK(significantDigits(parts->whole, parts->fraction) <= 7);
    const double back = referenceDecimal(parts->whole, parts->fraction);
    // Seven significant digits: within half a unit of the seventh.
    FUZZ_CHECK(std::fabs(back - double{single}) <= 5.0000001e-7 * double{single});
    if (single == 0.0f)
        FUZZ_CHECK(text == "0");
}

void checkStoreWhole(double value)
{
    const double nearest = std::nearbyint(value); // half to even
    bool threw = false;
    std::int16_t stored = 0;
    try {
        stored = nt::storeWhole(value);
    } catch (const std::overflow_error&) {
        threw = true;
    }
    if (nearest <= 32767.0) {
        FUZZ_CHECK(!threw);
        FUZZ_CHECK(static_cast<double>(stored) == nearest);
    } else {
        FUZZ_CHECK(threw);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    const std::optional<double> tried = nt::tryNumberValue(text);
    std::optional<double> strict;
    try {
        strict = nt::numberValue(text);
    } catch (const nt::NumberFormatError& e) {
        FUZZ_CHECK(std::string_view(e.what()).size() > 0);
    }
    FUZZ_CHECK(tried.has_value() == strict.has_value());

    const std::optional<Split> parts = referenceSplit(text);
    FUZZ_CHECK(parts.has_value() == tried.has_value());
    if (!parts) {
        try {
            (void)nt::patternText(text, "#.#");
            fail(__FILE__, __LINE__, "patternText accepted a text that is not a number");
        } catch (const nt::NumberFormatError&) {
        }
        return 0;
    }

    const double value = *tried;
    FUZZ_CHECK(std::bit_cast<std::uint64_t>(value) == std::bit_cast<std::uint64_t>(*strict));
    FUZZ_CHECK(!std::isnan(value));
    FUZZ_CHECK(!std::signbit(value));
    FUZZ_CHECK(std::isfinite(value) || value == std::numeric_limits<double>::infinity());
    // The nearest double to the decimal number, as the C library reads it.
    FUZZ_CHECK(value == referenceDecimal(parts->whole, parts->fraction));

    for (const PatternCase& pc : kPatterns)
        checkPatternText(*parts, text, pc);

    if (std::isfinite(value)) {
        // A text of at most 15 significant digits is exactly the shortest
        // text of its double: formatting the value gives the same result.
        // (Not above 2^53, where the double's own digits are written out in
        // full: 4e30 is 4000000000000000019884624838656.)
        if (significantDigits(parts->whole, parts->fraction) <= 15 &&
            stripLeadingZeros(parts->whole).size() <= 15) {
            for (const PatternCase& pc : kPatterns)
                FUZZ_CHECK(nt::patternText(value, pc.pattern) == nt::patternText(text, pc.pattern));
        }
        checkSingleText(value);
    }
    checkStoreWhole(value);
    return 0;
}
