// SPDX-License-Identifier: GPL-3.0-or-later
// The display check on Windows, where the desktop is always there.
#include "startup.h"

namespace cifrelle::app {

std::optional<std::string> missingDisplayMessage(const EnvironmentReader&)
{
    return std::nullopt;
}

} // namespace cifrelle::app
