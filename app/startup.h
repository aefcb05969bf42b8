// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <optional>
#include <string>

class QCoreApplication;

namespace cifrelle::app {

// Reads an environment variable; nullptr when it is not set.
using EnvironmentReader = std::function<const char*(const char*)>;

// The one line to print when the game cannot open a window because there is
// no graphical display (no DISPLAY, no WAYLAND_DISPLAY and no Qt platform
// asked for), or nothing when there is one. (On Windows the desktop is
// always there: nothing.)
std::optional<std::string> missingDisplayMessage(const EnvironmentReader& environment);

// Puts the toolkit's own texts (box buttons, context menus) in Italian and
// makes Italian the default locale, whatever the machine's language.
// Returns false when Qt's Italian translation could not be loaded.
bool useItalian(QCoreApplication& application);

} // namespace cifrelle::app
