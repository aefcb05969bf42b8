// SPDX-License-Identifier: GPL-3.0-or-later
#include "cifrelle/game/answerkey.h"

#include "cifrelle/numtext/numtext.h"

#include <stdexcept>

namespace cifrelle::game {

std::string_view roundingPattern(int decimals)
{
    switch (decimals) {
    case 1: return "#.#";
    case 2: return "#.##";
    case 3: return "#.###";
    default:
        throw std::invalid_argument("Nessun livello con " + numtext::integerText(decimals) +
                                    " decimali");
    }
}

AnswerKey answerKey(std::string_view numero, int decimals)
{
    const std::string_view pattern = roundingPattern(decimals);

    // Rounded half up on the digits of numero as written, then read back.
    const auto arrotondato =
        static_cast<float>(numtext::numberValue(numtext::patternText(numero, pattern)));

    // The single text of the rounded value, padded with zeros to exactly
    // `decimals` digits after the comma. The count is taken on the text.
    std::string key = numtext::singleText(arrotondato);
    const auto comma = key.find(',');
    const std::size_t shown = comma == std::string::npos ? 0 : key.size() - comma - 1;
    const auto wanted = static_cast<std::size_t>(decimals);
    if (shown < wanted) {
        if (comma == std::string::npos)
            key.push_back(',');
        key.append(wanted - shown, '0');
    }
    return {arrotondato, std::move(key)};
}

} // namespace cifrelle::game
