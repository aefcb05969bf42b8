// SPDX-License-Identifier: GPL-3.0-or-later
// Windows: the exports use Qt's Windows platform, which needs no window; a
// window program started from a console writes its lines there, unless its
// standard error goes somewhere already (a file, a pipe); the game's name,
// which names the account's record folder.
#include "registroprogram.h"

#include <cstdio>
#include <windows.h>

namespace cifrelle::app {

void useNoDisplay() {}

void useParentConsole()
{
    const HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
    if (error != nullptr && error != INVALID_HANDLE_VALUE)
        return;
    if (AttachConsole(ATTACH_PARENT_PROCESS)) {
        (void)std::freopen("CONOUT$", "w", stderr);
        (void)std::freopen("CONOUT$", "w", stdout);
    }
}

const char* applicationName()
{
    return "cifrelle"; // as the game: %APPDATA%\cifrelle
}

} // namespace cifrelle::app
