// The game with a clock that ticks every millisecond instead of every
// second, so that an end-to-end test sees the fifteen minutes run out in
// about a second. Built only with the tests, never installed.
#include "program.h"

int main(int argc, char* argv[])
{
    cifrelle::app::GameOptions options;
    options.tickIntervalMs = 1;
    return cifrelle::app::runGame(argc, argv, options);
}
