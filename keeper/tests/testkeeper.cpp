// SPDX-License-Identifier: GPL-3.0-or-later
// The keeper's test build: the keeper, told its settings file instead of
// the system-wide one; with STEP it kills itself (SIGKILL, as a pupil
// could) just before the STEP-th step it takes in the class folder (see
// fileops.h), to show that the class's files stay whole.
// Usage: cifrelle-classe-test SETTINGS [STEP]
#include "fileops.h"
#include "keeper.h"

#include <csignal>
#include <cstdlib>

namespace {
long stepsLeft = 0;
}

int main(int argc, char* argv[])
{
    if (argc != 2 && argc != 3)
        return 2;
    if (argc == 3) {
        stepsLeft = std::atol(argv[2]);
        cifrelle::records::fileops::watchStep = [](std::string_view, const std::filesystem::path&) {
            if (--stepsLeft == 0)
                std::raise(SIGKILL);
        };
    }
    return cifrelle::keeper::runKeeper(argv[1]);
}
