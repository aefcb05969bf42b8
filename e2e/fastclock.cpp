// SPDX-License-Identifier: GPL-3.0-or-later
// The game with a clock that ticks every 10 ms instead of every second, so
// that an end-to-end test sees the fifteen minutes run out in about nine
// seconds: time enough to answer once through the accessibility bus first.
// Built only with the tests, never installed.
#include "program.h"

int main(int argc, char* argv[])
{
    cifrelle::app::GameOptions options;
    options.tickIntervalMs = 10;
    return cifrelle::app::runGame(argc, argv, options);
}
