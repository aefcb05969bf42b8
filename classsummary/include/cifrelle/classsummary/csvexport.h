// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cifrelle/classsummary/summary.h"

#include <string>
#include <string_view>

namespace cifrelle::classsummary {

// The grid as a spreadsheet file, like the register: UTF-8 with a
// byte-order mark, fields separated by ";", lines ended by CR LF, names
// never taken for formulas. The heading line, then one line per pupil,
// then an empty line and the period ("periodo;Questa settimana, dal ...").
// A share is a whole percentage (halves rounded up), empty when the level
// has no answers; "ultima partita" is "AAAA-MM-GG hh:mm"; "da aiutare" is
// "sì" or "no".
std::string classCsv(const ClassSummary& summary);

// The heading, without the byte-order mark and the line end.
std::string_view classCsvHeading();

} // namespace cifrelle::classsummary
