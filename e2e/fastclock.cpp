// The game with a clock that ticks every 20 ms instead of every second, so
// that an end-to-end test sees the fifteen minutes run out in about 18 s.
// Built only with the tests, never installed.
#include "program.h"

int main(int argc, char* argv[])
{
    cifrelle::app::GameOptions options;
    options.tickIntervalMs = 20;
    return cifrelle::app::runGame(argc, argv, options);
}
