// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The class's keeper, cifrelle-classe: the one program that writes a
// guarded class folder, for the game. On Linux the game starts it for each
// request, set-group-ID to the group that owns the folder (the pupils are
// not in it); on Windows it is a service reached by a named pipe, running
// as an account that may write the folder (the pupils may not). Either way
// it answers exactly one request (protocol.h) as this file says, with the
// record files' own layer: the same files, lock, pinned folder and crash
// safety as a game writing them itself. Everything it works on comes from
// the administrator's setting and from the system, never from the caller:
// the folder, the account, the computer and the time.

#include "cifrelle/keeper/protocol.h"
#include "cifrelle/records/recordfiles.h"

#include <filesystem>
#include <functional>
#include <string>

namespace cifrelle::keeper {

// What the system says of the one who asks, and of the moment.
struct Caller {
    std::string account;  // the login name (Linux), DOMAIN\user (Windows)
    std::string computer; // the computer's name
    records::LocalTime now;
    // Whether the caller still waits for the answer: a game that gave up
    // the wait (or ended) is not waited for any longer.
    std::function<bool()> stillThere;
};

// The administrator's setting, as the keeper reads it (settings_*.cpp):
// `folder.setting` always names it; `folder.problem` says why it cannot be
// used, in Italian without opening words or full stop.
records::RecordFolder administratorsSetting(const std::filesystem::path& file);

// The keeper's process (run_posix.cpp, run_windows.cpp): on Linux, made
// safe from what its caller may have set up, it reads one request from its
// standard input and writes the answer to its standard output; on Windows
// it runs as the service. `settingsFile`: the administrator's settings
// file on Linux (the system-wide one in the keeper itself; another in its
// test build). Returns the exit status: 0 when it answered a request, 2
// when it refused it, 1 when it could not answer.
int runKeeper(const std::filesystem::path& settingsFile);

// The system-wide settings file, the same the game reads (Linux).
inline constexpr const char* systemSettingsFile = "/etc/xdg/cifrelle/cifrelle.conf";

// The answer to `request` on the folder of `setting`. A setting without a
// folder, or one that does not guard it, is refused in the answers' words.
Answer answer(const Request& request, records::RecordFolder setting, const Caller& caller);

} // namespace cifrelle::keeper
