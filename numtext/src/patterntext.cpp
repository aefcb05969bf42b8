// SPDX-License-Identifier: GPL-3.0-or-later
// The pattern texts ("#.#", "#.##", "#.###", "00"): a number, or a text
// holding one, written with a pattern and rounded half up on its decimal
// digits as written.

#include "cifrelle/numtext/numtext.h"
#include "numberparts.h"

#include <charconv>
#include <cmath>

namespace cifrelle::numtext {

namespace {

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

std::string patternText(double value, std::string_view pattern)
{
    const Pattern p = parsePattern(pattern);
    if (!std::isfinite(value))
        throw std::domain_error("Nessun testo per un valore non finito");
    // The shortest decimal text that reads back as this double: these are
    // the digits that the rounding works on.
    char buf[400];
    const auto res =
        std::to_chars(buf, buf + sizeof buf, std::fabs(value), std::chars_format::fixed);
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

} // namespace cifrelle::numtext
