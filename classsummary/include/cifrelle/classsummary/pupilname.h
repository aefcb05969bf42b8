// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>

namespace cifrelle::classsummary {

// Who a pupil is: the name as typed, with the blanks (spaces, tabs, no-break
// spaces) at its ends dropped and every inner run of them made one space,
// and case ignored. "marco", "Marco " and " MARCO" are one pupil.

// The name with its blanks tidied, as it is shown; an empty name is
// noName.
std::string shownName(std::string_view typed);
inline constexpr std::string_view noName = "(senza nome)";

// What tells one pupil from another: the shown name in small letters (an
// empty name's is empty). Letters of the Latin, Greek and Cyrillic
// alphabets have their cases folded one to one; bytes that are not UTF-8
// stay as they are.
std::string pupilKey(std::string_view typed);

// The order of the grid: the key without the accents of Latin letters
// ("Élia" beside "Elia"), then the key.
std::string orderKey(std::string_view key);

} // namespace cifrelle::classsummary
