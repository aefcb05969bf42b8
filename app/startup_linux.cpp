// SPDX-License-Identifier: GPL-3.0-or-later
// The display check on Linux: an X or Wayland display, or a Qt platform
// asked for by name.
#include "startup.h"

namespace cifrelle::app {

std::optional<std::string> missingDisplayMessage(const EnvironmentReader& environment)
{
    const auto isSet = [&environment](const char* name) {
        const char* value = environment(name);
        return value && *value;
    };
    if (isSet("DISPLAY") || isSet("WAYLAND_DISPLAY") || isSet("QT_QPA_PLATFORM"))
        return std::nullopt;
    return std::string("cifrelle: nessun display grafico disponibile (DISPLAY non impostato); "
                       "avviare il gioco da una sessione grafica");
}

} // namespace cifrelle::app
