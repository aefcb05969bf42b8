// SPDX-License-Identifier: GPL-3.0-or-later
#include "cifrelle/numtext/numtext.h"

#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

namespace cifrelle::numtext {

namespace {

__extension__ typedef unsigned __int128 u128;

// The single text keeps this many significant digits.
constexpr int kSignificant = 7;

constexpr bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

constexpr std::array<u128, 39> makePowersOf10()
{
    std::array<u128, 39> p{};
    p[0] = 1;
    for (std::size_t i = 1; i < p.size(); ++i)
        p[i] = p[i - 1] * 10;
    return p;
}
constexpr std::array<u128, 39> kPow10 = makePowersOf10(); // up to 10^38

// 5^k for k <= 44: with a mantissa below 2^24 the product stays below 2^127.
constexpr int kMaxFastPow5 = 44;
constexpr std::array<u128, kMaxFastPow5 + 1> makePowersOf5()
{
    std::array<u128, kMaxFastPow5 + 1> p{};
    p[0] = 1;
    for (std::size_t i = 1; i < p.size(); ++i)
        p[i] = p[i - 1] * 5;
    return p;
}
constexpr std::array<u128, kMaxFastPow5 + 1> kPow5 = makePowersOf5();

// The number of decimal digits of n > 0.
int digitCount(u128 n)
{
    const auto high = static_cast<std::uint64_t>(n >> 64);
    const int bits = high != 0 ? 128 - std::countl_zero(high)
                               : 64 - std::countl_zero(static_cast<std::uint64_t>(n));
    // 1233 / 4096 is just above log10(2): this is the count or one less.
    const int d = (bits * 1233) >> 12;
    return n >= kPow10[static_cast<std::size_t>(d)] ? d + 1 : d;
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

// Rounds the positive integer n half up to kSignificant digits and writes
// n * 10^exp10.
void appendRounded(std::string& out, u128 n, int exp10)
{
    const int d = digitCount(n);
    std::uint64_t q;
    if (d <= kSignificant) {
        q = static_cast<std::uint64_t>(n);
    } else {
        const int drop = d - kSignificant;
        if (n <= std::numeric_limits<std::uint64_t>::max()) {
            const auto n64 = static_cast<std::uint64_t>(n);
            const auto p = static_cast<std::uint64_t>(kPow10[static_cast<std::size_t>(drop)]);
            q = n64 / p;
            if (n64 % p >= p - n64 % p) // remainder at least half of p
                ++q;
        } else {
            const u128 p = kPow10[static_cast<std::size_t>(drop)];
            q = static_cast<std::uint64_t>(n / p);
            const u128 rem = n % p;
            if (rem >= p - rem)
                ++q;
        }
        exp10 += drop;
    }
    while (q % 10 == 0) {
        q /= 10;
        ++exp10;
    }
    char buf[24];
    const auto res = std::to_chars(buf, buf + sizeof buf, q);
    appendPlaced(out, std::string_view(buf, static_cast<std::size_t>(res.ptr - buf)), exp10);
}

// The exact path for tiny values: mantissa * 5^k written out in full with
// a base-10^9 multiprecision product, then rounded on its digits.
void appendRoundedSlow(std::string& out, std::uint32_t mantissa, int k)
{
    constexpr std::uint32_t kBase = 1000000000u;
    constexpr std::uint32_t kPow5Chunk = 1220703125u; // 5^13
    std::vector<std::uint32_t> limbs{mantissa % kBase};
    if (mantissa >= kBase)
        limbs.push_back(mantissa / kBase);
    auto multiply = [&limbs](std::uint32_t factor) {
        std::uint64_t carry = 0;
        for (auto& limb : limbs) {
            const std::uint64_t v = std::uint64_t{limb} * factor + carry;
            limb = static_cast<std::uint32_t>(v % kBase);
            carry = v / kBase;
        }
        while (carry != 0) {
            limbs.push_back(static_cast<std::uint32_t>(carry % kBase));
            carry /= kBase;
        }
    };
    for (int left = k; left > 0; left -= 13) {
        std::uint32_t factor = kPow5Chunk;
        if (left < 13) {
            factor = 1;
            for (int i = 0; i < left; ++i)
                factor *= 5;
        }
        multiply(factor);
    }

    std::string digits;
    {
        char buf[10];
        const auto res = std::to_chars(buf, buf + sizeof buf, limbs.back());
        digits.assign(buf, res.ptr);
    }
    for (std::size_t i = limbs.size() - 1; i-- > 0;) {
        char buf[9];
        std::uint32_t limb = limbs[i];
        for (int j = 8; j >= 0; --j) {
            buf[j] = static_cast<char>('0' + limb % 10);
            limb /= 10;
        }
        digits.append(buf, 9);
    }

    int exp10 = -k;
    if (static_cast<int>(digits.size()) > kSignificant) {
        const bool up = digits[kSignificant] >= '5';
        exp10 += static_cast<int>(digits.size()) - kSignificant;
        digits.resize(kSignificant);
        if (up) {
            int i = kSignificant - 1;
            while (i >= 0 && digits[static_cast<std::size_t>(i)] == '9')
                digits[static_cast<std::size_t>(i--)] = '0';
            if (i >= 0) {
                ++digits[static_cast<std::size_t>(i)];
            } else {
                digits.insert(digits.begin(), '1');
                digits.pop_back();
                ++exp10;
            }
        }
    }
    while (digits.back() == '0') {
        digits.pop_back();
        ++exp10;
    }
    appendPlaced(out, digits, exp10);
}

// A number text split at its comma. Either side may be empty.
struct NumberParts {
    std::string_view whole;
    std::string_view fraction;
};

// The strict reading's grammar: digits, optionally a comma and digits, and
// not the empty text.
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

constexpr std::array<double, 23> kExactPow10 = {
    1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
    1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

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

// The text quoted for an error message: printable bytes as they are, the
// others as \xHH, cut short when long.
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

[[noreturn]] void throwNotANumber(std::string_view text)
{
    throw NumberFormatError("Il testo " + quoted(text) + " non è un numero");
}

// A pattern made of '#', '0' and at most one '.'.
struct Pattern {
    bool point = false;  // writes the comma
    int minWhole = 0;    // integer digits always written (from the first '0')
    int decimals = 0;    // decimal places kept
    int minDecimals = 0; // decimal places always written (up to the last '0')
};

Pattern parsePattern(std::string_view text)
{
    if (text.empty())
        throw std::invalid_argument("Schema di formato vuoto");
    Pattern p;
    int wholePlaces = 0;
    int firstZero = -1;
    for (char c : text) {
        if (c == '.') {
            if (p.point)
                throw std::invalid_argument("Schema di formato con due punti: " + quoted(text));
            p.point = true;
        } else if (c == '#' || c == '0') {
            if (p.point) {
                ++p.decimals;
                if (c == '0')
                    p.minDecimals = p.decimals;
            } else {
                if (c == '0' && firstZero < 0)
                    firstZero = wholePlaces;
                ++wholePlaces;
            }
        } else {
            throw std::invalid_argument("Schema di formato non gestito: " + quoted(text));
        }
    }
    if (firstZero >= 0)
        p.minWhole = wholePlaces - firstZero;
    return p;
}

// Applies the pattern to the decimal number whole.fraction (digit strings),
// rounding half up on the first dropped decimal digit.
std::string applyPattern(bool negative, std::string_view whole, std::string_view fraction,
                         const Pattern& p)
{
    while (!whole.empty() && whole.front() == '0')
        whole.remove_prefix(1);
    const auto decimals = static_cast<std::size_t>(p.decimals);

    std::string kept;
    kept.reserve(whole.size() + decimals + 1);
    kept.append(whole);
    kept.append(fraction.substr(0, decimals));
    if (fraction.size() < decimals)
        kept.append(decimals - fraction.size(), '0');
    if (fraction.size() > decimals && fraction[decimals] >= '5') {
        std::size_t i = kept.size();
        while (i > 0 && kept[i - 1] == '9')
            kept[--i] = '0';
        if (i > 0)
            ++kept[i - 1];
        else
            kept.insert(kept.begin(), '1');
    }

    std::string_view intPart(kept.data(), kept.size() - decimals);
    std::string_view fracPart(kept.data() + intPart.size(), decimals);
    while (!intPart.empty() && intPart.front() == '0')
        intPart.remove_prefix(1);
    while (fracPart.size() > static_cast<std::size_t>(p.minDecimals) && fracPart.back() == '0')
        fracPart.remove_suffix(1);

    std::string out;
    const bool zero = intPart.empty() && fracPart.find_first_not_of('0') == std::string_view::npos;
    if (negative && !zero)
        out.push_back('-');
    if (intPart.size() < static_cast<std::size_t>(p.minWhole))
        out.append(static_cast<std::size_t>(p.minWhole) - intPart.size(), '0');
    out.append(intPart);
    if (p.point)
        out.push_back(',');
    out.append(fracPart);
    return out;
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
    int e2;
    if (field == 0) {
        e2 = -149;
    } else {
        mantissa |= 0x800000u;
        e2 = static_cast<int>(field) - 150;
    }
    const int tz = std::countr_zero(mantissa);
    mantissa >>= tz;
    e2 += tz;

    std::string out;
    if (bits >> 31)
        out.push_back('-');
    if (e2 >= 0) // a whole number below 2^128
        appendRounded(out, u128{mantissa} << e2, 0);
    else if (-e2 <= kMaxFastPow5) // mantissa * 2^e2 = mantissa * 5^-e2 / 10^-e2
        appendRounded(out, u128{mantissa} * kPow5[static_cast<std::size_t>(-e2)], e2);
    else
        appendRoundedSlow(out, mantissa, -e2);
    return out;
}

std::string integerText(std::int64_t value)
{
    char buf[24];
    const auto res = std::to_chars(buf, buf + sizeof buf, value);
    return std::string(buf, res.ptr);
}

std::string patternText(double value, std::string_view pattern)
{
    const Pattern p = parsePattern(pattern);
    if (!std::isfinite(value))
        throw std::domain_error("Nessun testo per un valore non finito");
    // The shortest decimal text that reads back as this double: these are
    // the digits that the rounding works on.
    char buf[400];
    const auto res = std::to_chars(buf, buf + sizeof buf, std::fabs(value), std::chars_format::fixed);
    const std::string_view text(buf, static_cast<std::size_t>(res.ptr - buf));
    const auto dot = text.find('.');
    if (dot == std::string_view::npos)
        return applyPattern(std::signbit(value), text, {}, p);
    return applyPattern(std::signbit(value), text.substr(0, dot), text.substr(dot + 1), p);
}

std::string patternText(std::string_view numberText, std::string_view pattern)
{
    const Pattern p = parsePattern(pattern);
    const auto parts = splitNumber(numberText);
    if (!parts)
        throwNotANumber(numberText);
    return applyPattern(false, parts->whole, parts->fraction, p);
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
