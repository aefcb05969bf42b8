// SPDX-License-Identifier: GPL-3.0-or-later
#include "program.h"

// The game takes nothing on its command line and reads no settings: it
// always runs with the default options.
int main(int argc, char* argv[])
{
    return cifrelle::app::runGame(argc, argv, cifrelle::app::GameOptions{});
}
