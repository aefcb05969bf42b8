// SPDX-License-Identifier: GPL-3.0-or-later
// The single text: a float printed from its exact value.
//
// A finite float is mantissa * 2^e2 with a mantissa below 2^24. Its exact
// value has the decimal digits of a whole number: mantissa * 2^e2 itself
// when e2 >= 0, and mantissa * 5^-e2 (that many places after the comma)
// when e2 < 0, since 2^-k = 5^k / 10^k. The leading digits of that number
// are rounded half up to seven significant digits (the first dropped digit
// decides: the rest of an exact expansion cannot bring a digit below 5 up
// to half) and placed around the comma. The leading digits come from 64-bit
// arithmetic for the values between about 10^-10 and 10^18, and from a
// longer multiplication in base 10^9 for the rest.

#include "cifrelle/numtext/numtext.h"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>

namespace cifrelle::numtext {

namespace {

// The single text keeps this many significant digits.
constexpr int kSignificant = 7;

template <std::uint64_t base, std::size_t count>
constexpr std::array<std::uint64_t, count> powers()
{
    std::array<std::uint64_t, count> p{1};
    for (std::size_t i = 1; i < count; ++i)
        p[i] = p[i - 1] * base;
    return p;
}

constexpr auto kPow10 = powers<10, 20>(); // up to 10^19, below 2^64
constexpr auto kPow5 = powers<5, 18>();   // 2^24 * 5^17 is below 2^64

// The leading digits of a number: it is `digits` * 10^exp10, either
// exactly or plus less than one unit of the last digit, and then `digits`
// has more than kSignificant digits.
struct Leading {
    std::uint64_t digits;
    int exp10;
};

// A whole number below 10^117 (2^24 * 5^149 and 2^128 both are), in base
// 10^9, the lowest limb first.
class Limbs {
public:
    explicit Limbs(std::uint32_t value) { limbs_[0] = value; } // below 10^9

    // Multiplies by base^exponent, in factors below 2^32.
    template <std::uint32_t base>
    void multiplyByPower(int exponent)
    {
        static_assert(base == 2 || base == 5);
        constexpr int perChunk = base == 2 ? 31 : 13; // 2^31 and 5^13 < 2^32
        for (; exponent >= perChunk; exponent -= perChunk)
            multiply(power(base, perChunk));
        if (exponent > 0)
            multiply(power(base, exponent));
    }

    // The top two limbs: at least ten digits, or the whole number.
    Leading leading() const
    {
        if (size_ == 1)
            return {limbs_[0], 0};
        return {std::uint64_t{limbs_[size_ - 1]} * kBase + limbs_[size_ - 2],
                9 * static_cast<int>(size_ - 2)};
    }

private:
    static constexpr std::uint32_t kBase = 1000000000u;

    static constexpr std::uint32_t power(std::uint32_t base, int exponent)
    {
        std::uint32_t p = 1;
        for (; exponent > 0; --exponent)
            p *= base;
        return p;
    }

    void multiply(std::uint32_t factor)
    {
        std::uint64_t carry = 0;
        for (std::size_t i = 0; i < size_; ++i) {
            const std::uint64_t v = std::uint64_t{limbs_[i]} * factor + carry;
            limbs_[i] = static_cast<std::uint32_t>(v % kBase);
            carry = v / kBase;
        }
        for (; carry != 0; carry /= kBase)
            limbs_[size_++] = static_cast<std::uint32_t>(carry % kBase);
    }

    std::array<std::uint32_t, 13> limbs_{};
    std::size_t size_ = 1;
};

// The leading digits of mantissa * 2^e2.
Leading leadingDigits(std::uint32_t mantissa, int e2)
{
    if (e2 >= 0 && e2 < 40) // below 2^64: exact
        return {std::uint64_t{mantissa} << e2, 0};
    if (e2 < 0) {
        // floor(value * 10^s) = mantissa * 5^s / 2^(k - s), exact when
        // s = k, else enough when it has eight digits or more.
        const int k = -e2;
        const int s = std::min(k, static_cast<int>(kPow5.size()) - 1);
        if (k - s < 64) {
            const std::uint64_t digits = (mantissa * kPow5[static_cast<std::size_t>(s)]) >> (k - s);
            if (s == k || digits >= kPow10[kSignificant])
                return {digits, -s};
        }
    }
    Limbs exact(mantissa);
    if (e2 >= 0)
        exact.multiplyByPower<2>(e2);
    else
        exact.multiplyByPower<5>(-e2);
    Leading lead = exact.leading();
    lead.exp10 += std::min(e2, 0);
    return lead;
}

// Writes the number digits * 10^exp10 in the comma convention. `digits` has
// no leading and no trailing zeros and is not empty.
void appendPlaced(std::string& out, std::string_view digits, int exp10)
{
    const int len = static_cast<int>(digits.size());
    if (exp10 >= 0) {
        out.append(digits);
        out.append(static_cast<std::size_t>(exp10), '0');
    } else if (-exp10 < len) {
        const auto whole = static_cast<std::size_t>(len + exp10);
        out.append(digits.substr(0, whole));
        out.push_back(',');
        out.append(digits.substr(whole));
    } else {
        out.append("0,");
        out.append(static_cast<std::size_t>(-exp10 - len), '0');
        out.append(digits);
    }
}

// Rounds the leading digits half up to kSignificant digits and writes them.
void appendRounded(std::string& out, Leading lead)
{
    std::uint64_t n = lead.digits;
    // 1233 / 4096 is just above log10(2): the count of digits or one less.
    auto count = static_cast<std::size_t>((std::bit_width(n) * 1233) >> 12);
    if (n >= kPow10[count])
        ++count;
    if (count > kSignificant) {
        const std::size_t drop = count - kSignificant;
        const bool up = n / kPow10[drop - 1] % 10 >= 5;
        n = n / kPow10[drop] + (up ? 1 : 0);
        lead.exp10 += static_cast<int>(drop);
    }
    for (; n % 10 == 0; n /= 10)
        ++lead.exp10;
    char buf[20];
    const auto res = std::to_chars(buf, buf + sizeof buf, n);
    appendPlaced(out, std::string_view(buf, static_cast<std::size_t>(res.ptr - buf)), lead.exp10);
}

} // namespace

std::string singleText(float value)
{
    if (!std::isfinite(value))
        throw std::domain_error("Nessun testo per un valore non finito");
    const auto bits = std::bit_cast<std::uint32_t>(value);
    const std::uint32_t field = (bits >> 23) & 0xFFu;
    std::uint32_t mantissa = bits & 0x7FFFFFu;
    if (field == 0 && mantissa == 0)
        return "0"; // also for -0
    int e2 = -149;
    if (field != 0) {
        mantissa |= 0x800000u;
        e2 = static_cast<int>(field) - 150;
    }
    const int tz = std::countr_zero(mantissa);
    mantissa >>= tz;
    e2 += tz;

    std::string out;
    if (bits >> 31)
        out.push_back('-');
    appendRounded(out, leadingDigits(mantissa, e2));
    return out;
}

} // namespace cifrelle::numtext
