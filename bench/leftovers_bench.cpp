// SPDX-License-Identifier: GPL-3.0-or-later
// A class folder flooded with names like the game's passing files
// ("cifrel.txt.tmp-" and six letters or digits), as a classmate could make
// them: the time of a game's start (ensure()) and of its end with a save
// (saveIfBetter()) in an empty class folder and in one holding NAMES such
// files, game after game, with how many the games have cleared. Each game
// looks at a budget of them only, so start and end stay within a few
// hundredths of a second of the empty folder's however many there are.
// Usage: leftovers_bench [NAMES] [GAMES] (default 200,000 names, 5 games)
#include "cifrelle/records/recordfiles.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace cifrelle::records;

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

long passingNames(const fs::path& folder)
{
    long count = 0;
    for (const auto& entry : fs::directory_iterator(folder))
        count += entry.path().filename().string().find(".tmp-") != std::string::npos;
    return count;
}

void flood(const fs::path& folder, long names)
{
    const std::string letters = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    const char* targets[] = {"cifrel.txt", "ncifrel.txt", ".cifrel.lock", "registro.csv"};
    std::mt19937 random(42);
    for (long made = 0; made < names;) {
        std::string name = std::string(targets[random() % 4]) + ".tmp-";
        for (int i = 0; i < 6; ++i)
            name += letters[random() % letters.size()];
        const int fd = ::open((folder / name).c_str(), O_WRONLY | O_CREAT | O_EXCL, 0660);
        if (fd >= 0) {
            ::close(fd);
            ++made;
        }
    }
}

} // namespace

int main(int argc, char* argv[])
{
    const long names = argc > 1 ? std::atol(argv[1]) : 200000;
    const int games = argc > 2 ? std::atoi(argv[2]) : 5;
    const fs::path work =
        fs::temp_directory_path() / ("cifrelle-leftovers-bench." + std::to_string(::getpid()));
    const fs::path folders[2] = {work / "empty", work / "flooded"};
    for (const fs::path& folder : folders) {
        fs::create_directories(folder);
        ::chmod(folder.c_str(), 02770);
    }
    std::printf("making %ld passing names...\n", names);
    flood(folders[1], names);

    std::printf("game  start: empty  flooded    end: empty  flooded   names left\n");
    double worst[2] = {0, 0}; // start, end: the flooded folder's excess
    for (int game = 1; game <= games; ++game) {
        double took[2][2];
        for (int which = 0; which < 2; ++which) {
            RecordFiles files(RecordFolder{folders[which], {}, "the bench's setting"});
            auto start = Clock::now();
            if (files.ensure())
                return 1;
            took[which][0] = msSince(start);
            start = Clock::now();
            if (files.saveIfBetter(game, "Anna").outcome != SaveOutcome::Saved)
                return 1;
            took[which][1] = msSince(start);
        }
        for (int at = 0; at < 2; ++at)
            worst[at] = std::max(worst[at], took[1][at] - took[0][at]);
        std::printf("%4d  %9.1f ms %7.1f ms  %8.1f ms %7.1f ms  %10ld\n", game, took[0][0],
                    took[1][0], took[0][1], took[1][1], passingNames(folders[1]));
    }
    std::printf("the flooded folder's start and end, at most %.1f and %.1f ms more than the "
                "empty one's (target: under 500 ms)\n",
                worst[0], worst[1]);
    fs::remove_all(work);
    return 0;
}
