// SPDX-License-Identifier: GPL-3.0-or-later
#include "cifrelle/game/mistake.h"

#include "cifrelle/game/answerkey.h"

#include <algorithm>
#include <optional>
#include <string>

namespace cifrelle::game {

using records::Mistake;

namespace {

// A number written with the decimal comma: its whole part and its
// decimals, each digits as written.
struct Digits {
    std::string_view whole;
    std::string_view decimals; // empty when there is no comma
};

bool allDigits(std::string_view text)
{
    return std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Digits, a comma and digits, or digits alone; at least one digit.
std::optional<Digits> digitsOf(std::string_view text)
{
    const std::size_t comma = text.find(',');
    const Digits d{text.substr(0, comma),
                   comma == std::string_view::npos ? std::string_view{} : text.substr(comma + 1)};
    if (!allDigits(d.whole) || !allDigits(d.decimals) || d.whole.size() + d.decimals.size() == 0)
        return std::nullopt;
    return d;
}

// The same value: the same digits once the whole part's leading zeros and
// the decimals' trailing zeros are gone.
bool sameValue(Digits a, Digits b)
{
    auto whole = [](std::string_view s) {
        return s.substr(std::min(s.find_first_not_of('0'), s.size()));
    };
    auto decimals = [](std::string_view s) { return s.substr(0, s.find_last_not_of('0') + 1); };
    return whole(a.whole) == whole(b.whole) && decimals(a.decimals) == decimals(b.decimals);
}

// The number cut after `decimals` decimals, written with exactly that many.
std::string cutOff(Digits number, std::size_t decimals)
{
    std::string text(number.whole);
    text += ',';
    text += number.decimals.substr(0, decimals);
    text.append(decimals - std::min(decimals, number.decimals.size()), '0');
    return text;
}

// The text plus one unit of its last digit, carried through the 9s.
std::string oneUnitMore(std::string text)
{
    for (std::size_t i = text.size(); i-- > 0;) {
        if (text[i] == ',')
            continue;
        if (text[i] != '9') {
            ++text[i];
            return text;
        }
        text[i] = '0';
    }
    return '1' + text;
}

// The text with every `from` made a `to`.
std::string replaced(std::string_view text, char from, char to)
{
    std::string result(text);
    std::replace(result.begin(), result.end(), from, to);
    return result;
}

} // namespace

Mistake mistakeOf(std::string_view numero, int decimals, std::string_view key,
                  std::string_view answer)
{
    const std::optional<Digits> shown = digitsOf(numero);
    const std::optional<Digits> asked = digitsOf(key);
    if (decimals < 1 || decimals > 3 || !shown || !asked ||
        asked->decimals.size() != static_cast<std::size_t>(decimals))
        return Mistake::Other;
    if (answer.find('.') != std::string_view::npos && replaced(answer, '.', ',') == key)
        return Mistake::Point;
    const std::optional<Digits> given = digitsOf(answer);
    if (given && given->decimals.size() != asked->decimals.size() && sameValue(*given, *asked))
        return Mistake::Decimals;
    if (answer == numero || answer == replaced(numero, ',', '.'))
        return Mistake::NotRounded;
    const std::string cut = cutOff(*shown, asked->decimals.size());
    if (cut != key && answer == cut)
        return Mistake::CutOff;
    if (cut == key && answer == oneUnitMore(cut))
        return Mistake::RoundedUp;
    for (int level = 1; level <= 3; ++level) {
        if (level != decimals && answer == answerKey(numero, level).key)
            return Mistake::Level;
    }
    return Mistake::Other;
}

} // namespace cifrelle::game
