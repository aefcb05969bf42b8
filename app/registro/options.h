// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace cifrelle::app {

// What cifrelle-registro is asked:
//   cifrelle-registro [--dal AAAA-MM-GG] [--al AAAA-MM-GG] [--pdf FILE]
//                     [--csv FILE] [REGISTRO.csv ...]
// ("--dal=AAAA-MM-GG" too; "--" ends the options).
struct RegistroOptions {
    std::optional<int> first; // days (classsummary's numbers)
    std::optional<int> last;
    std::string pdf;
    std::string csv;
    std::vector<std::string> files;
    bool help = false;
    // Why the command line is wrong, in Italian (then the usage follows,
    // with status 2); empty when it is right.
    std::string problem;

    bool exportsOnly() const { return !pdf.empty() || !csv.empty(); }
};

RegistroOptions readOptions(const std::vector<std::string>& arguments);

// The usage, in Italian, ending with a line end.
const char* registroUsage();

} // namespace cifrelle::app
