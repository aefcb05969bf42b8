// SPDX-License-Identifier: GPL-3.0-or-later
// The game end with the teacher's register kept: the time of one game end
// (the record compared, the game's line added) and the bytes it reads,
// with an empty register and with one of 100,000 lines, run in turn. Adding
// a line reads only the register's length and last byte, so both take the
// same time. Usage: register_bench [GAMES] (default 200 game ends each)
#include "cifrelle/records/recordfiles.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using namespace cifrelle::records;

namespace {

// The bytes this process has read so far (Linux: /proc/self/io).
long long bytesRead()
{
    std::ifstream io("/proc/self/io");
    for (std::string key; io >> key;) {
        long long value = 0;
        io >> value;
        if (key == "rchar:")
            return value;
    }
    return -1;
}

struct Folder {
    fs::path path;
    RecordFiles files;
};

Folder makeFolder(const fs::path& path, int lines)
{
    fs::create_directories(path);
    GameSummary game;
    game.ended = {2026, 12, 8, 10, 41, 7};
    game.name = "Giocatore";
    std::string text = registerHeading();
    for (int i = 0; i < lines; ++i)
        text += registerLine(game);
    std::ofstream(path / registerFileName, std::ios::binary) << text;
    Folder folder{path, RecordFiles(RecordFolder{path, {}, {}, true})};
    if (folder.files.ensure())
        std::exit(1);
    return folder;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char* argv[])
{
    const int games = argc > 1 ? std::atoi(argv[1]) : 200;
    const fs::path work =
        fs::temp_directory_path() / ("cifrelle-register-bench." + std::to_string(::getpid()));
    Folder empty = makeFolder(work / "empty", 0);
    Folder full = makeFolder(work / "full", 100000);
    const auto size = [](const Folder& f) { return fs::file_size(f.path / registerFileName); };
    std::printf("register before: empty %ju bytes, full %ju bytes (100,000 lines)\n",
                static_cast<std::uintmax_t>(size(empty)), static_cast<std::uintmax_t>(size(full)));

    std::vector<double> times[2];
    long long read[2] = {0, 0};
    GameSummary game;
    game.ended = {2026, 12, 8, 11, 0, 0};
    game.name = "Anna";
    game.secondsPlayed = 900;
    for (int i = 0; i < games; ++i) {
        Folder* folders[2] = {&empty, &full};
        for (int which = 0; which < 2; ++which) {
            const long long before = bytesRead();
            const auto start = std::chrono::steady_clock::now();
            // Scores below the record: the game end compares and adds its
            // line, as most game ends do.
            const GameEndResult result = folders[which]->files.endGame(game, true);
            const std::chrono::duration<double, std::micro> took =
                std::chrono::steady_clock::now() - start;
            read[which] += bytesRead() - before;
            if (!result.registerProblem.empty())
                return 1;
            times[which].push_back(took.count());
        }
    }
    const double e = median(times[0]);
    const double f = median(times[1]);
    std::printf("one game end, median of %d in turn:\n", games);
    std::printf("  empty register     %8.1f us  %6lld bytes read\n", e, read[0] / games);
    std::printf("  100,000 lines      %8.1f us  %6lld bytes read\n", f, read[1] / games);
    std::printf("  ratio              %8.2fx (target: 1x, no slower with a long register)\n",
                f / e);
    fs::remove_all(work);
    return 0;
}
