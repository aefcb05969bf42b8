// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The game's line to the class's keeper, one per system: channel_posix.cpp
// starts the keeper's program and talks to it over a socket pair,
// channel_windows.cpp connects to the service's named pipe.

#include "cifrelle/keeper/keeperclient.h"

#include <string>
#include <string_view>

namespace cifrelle::keeper {

struct Exchange {
    std::string answer;  // the keeper's answer, as it came
    std::string problem; // why the keeper could not be asked (Italian, no full stop)
    bool gaveUp = false; // the caller gave up the wait
};

// Sends `request` to the keeper and takes its answer. While it waits,
// `stillWaiting` (when given) is called about 50 times a second with the
// time waited; when it says stop the keeper is told, and its last word
// waited for a moment only.
Exchange exchange(const KeeperCommand& command, std::string_view request,
                  const records::StillWaiting& stillWaiting);

} // namespace cifrelle::keeper
