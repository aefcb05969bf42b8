// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzz target for the lenient reading (leadingNumberValue), the reading the
// game applies to whatever the score file holds.
//
// Any bytes: it never fails, gives a value that is 0 or more (or +infinity
// for a number too large), and the value is that of the leading number
// alone: blanks skipped, digits, optionally a period and digits. Whatever
// follows plays no part, and the value is the correctly rounded double of
// that decimal number.

#include "check.h"

#include "cifrelle/numtext/numtext.h"

#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>

namespace nt = cifrelle::numtext;
using cifrelle::fuzz::leadingNumber;
using cifrelle::fuzz::referenceDecimal;

namespace {

bool same(double a, double b)
{
    return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const double value = nt::leadingNumberValue(text);

    FUZZ_CHECK(!std::isnan(value));
    FUZZ_CHECK(!std::signbit(value));
    FUZZ_CHECK(std::isfinite(value) || value == std::numeric_limits<double>::infinity());

    // The leading number, found on its own.
    const auto [whole, fraction, period, start, end] = leadingNumber(text);
    const std::string_view prefix = text.substr(0, end);
    const std::string_view number = text.substr(start, end - start);

    FUZZ_CHECK(same(value, referenceDecimal(whole, fraction)));
    // Only the leading number counts: the prefix alone, the number without
    // its blanks, and the number followed by a line end or by any of the
    // rest read the same.
    FUZZ_CHECK(same(value, nt::leadingNumberValue(prefix)));
    FUZZ_CHECK(same(value, nt::leadingNumberValue(number)));
    FUZZ_CHECK(same(value, nt::leadingNumberValue(std::string(number) + "\r\n")));
    FUZZ_CHECK(same(
        value, nt::leadingNumberValue(std::string(prefix) + "x" + std::string(text.substr(end)))));
    if (whole.empty() && fraction.empty())
        FUZZ_CHECK(value == 0.0);

    // The strict reading of the same number with the comma agrees.
    std::string withComma(whole);
    if (period) {
        withComma += ',';
        withComma += fraction;
    }
    if (!withComma.empty()) {
        const auto strict = nt::tryNumberValue(withComma);
        FUZZ_CHECK(strict.has_value());
        FUZZ_CHECK(same(value, *strict));
    }
    return 0;
}
