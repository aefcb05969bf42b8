// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cifrelle/records/register.h"

#include <string_view>

namespace cifrelle::game {

// What kind of mistake a wrong answer is, for the teacher's register: from
// the number as shown (`numero`), the level's decimals d (1, 2 or 3), the
// answer key (exactly d decimals) and the answer as typed, the first kind
// in records::Mistake's order that fits:
//  - Point: the answer with every "." made a "," is the key;
//  - Decimals: a number written with the comma (or none) of the key's value
//    but with another count of decimals ("53,2" or "53,200" for "53,20");
//  - NotRounded: the number as shown, with its comma or with a point;
//  - CutOff: the number shown cut after d decimals, written with d, where
//    rounding goes up;
//  - RoundedUp: where rounding goes down (the key is the number cut), the
//    key plus one unit of its last decimal ("9,99" gives "10,00");
//  - Level: the key of the same number at another level;
//  - Other: anything else, also any answer while no key is set.
// Works on the texts' digits, never on a float.
records::Mistake mistakeOf(std::string_view numero, int decimals, std::string_view key,
                           std::string_view answer);

} // namespace cifrelle::game
