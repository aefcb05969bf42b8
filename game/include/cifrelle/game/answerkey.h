// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>

namespace cifrelle::game {

// The answer key of one exercise.
struct AnswerKey {
    float arrotondato; // the number rounded to the level
    std::string key;   // the text the player must type
};

// The rounding pattern of a level with this many decimals (1, 2 or 3):
// "#.#", "#.##" or "#.###".
std::string_view roundingPattern(int decimals);

// Rounds the number text `numero` half up on its written digits to
// `decimals` decimals (1, 2 or 3) and writes the key: the single text of
// the rounded value, padded with zeros to exactly that many decimals.
// Throws numtext::NumberFormatError when `numero` is not a number.
AnswerKey answerKey(std::string_view numero, int decimals);

} // namespace cifrelle::game
