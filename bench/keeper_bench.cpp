// SPDX-License-Identifier: GPL-3.0-or-later
// A game's end through the class's keeper against the same end written by
// the game itself: a better record saved and the register's line added, in
// a class folder of each, taken in turn. Through the keeper the game starts
// it (the keeper's test build, told a settings file of the bench's own),
// sends its request and reads the answer; the keeper reads the setting,
// checks the folder's way and does the same work. Needs root: the settings
// file and the folders on its way must be root's, as the keeper demands.
// Usage: keeper_bench [GAMES] (default 200 game ends each)
#include "cifrelle/keeper/keeperclient.h"
#include "cifrelle/records/recordfiles.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using namespace cifrelle;

namespace {

double percentile(std::vector<double> values, double p)
{
    std::sort(values.begin(), values.end());
    return values[static_cast<std::size_t>(p * static_cast<double>(values.size() - 1))];
}

} // namespace

int main(int argc, char* argv[])
{
    const int games = argc > 1 ? std::atoi(argv[1]) : 200;
    if (::geteuid() != 0) {
        std::fprintf(stderr,
                     "keeper_bench: run it as root (the keeper takes only root's settings)\n");
        return 1;
    }
    const fs::path work =
        fs::temp_directory_path() / ("cifrelle-keeper-bench." + std::to_string(::getpid()));
    const fs::path direct = work / "direct";
    const fs::path guarded = work / "guarded";
    const fs::path settings = work / "cifrelle.conf";
    fs::create_directories(direct);
    fs::create_directories(guarded);
    ::chmod(work.c_str(), 0755);
    ::chmod(direct.c_str(), 02770);
    ::chmod(guarded.c_str(), 02770);
    std::ofstream(settings) << "[record]\nfolder=" << guarded.string()
                            << "\nregister=true\nguarded=true\n";
    ::chmod(settings.c_str(), 0644);

    const std::string setting = "l'impostazione";
    records::RecordFiles itself(records::RecordFolder{direct, {}, setting, true});
    keeper::KeeperClient client(records::RecordFolder{guarded, {}, setting, true, true},
                                {CIFRELLE_KEEPER_TEST, settings.string()});
    if (itself.ensure() || client.ensure()) {
        std::fprintf(stderr, "keeper_bench: the folders cannot be used: %s\n",
                     client.ensure().value_or("").c_str());
        return 1;
    }
    records::GameSummary game;
    game.name = "Giocatore";
    game.wrong = 2;
    game.wrongByKind = {1, 0, 0, 1, 0, 0, 0};
    game.rightByLevel = {1, 0, 0};
    std::vector<double> times[2];
    for (int i = 0; i < games; ++i) {
        game.right = i + 1; // always a better record: both files replaced
        for (int way = 0; way < 2; ++way) {
            const auto start = std::chrono::steady_clock::now();
            const records::GameEndResult end =
                way == 0 ? itself.endGame(game, true, {}) : client.endGame(game, true, {});
            const auto stop = std::chrono::steady_clock::now();
            if (end.record.outcome != records::SaveOutcome::Saved || !end.registerProblem.empty()) {
                std::fprintf(stderr, "keeper_bench: not saved: %s %s\n", end.record.problem.c_str(),
                             end.registerProblem.c_str());
                return 1;
            }
            times[way].push_back(std::chrono::duration<double, std::milli>(stop - start).count());
        }
    }
    fs::remove_all(work);
    std::printf("game ends: %d each (a better record saved and the register's line added)\n",
                games);
    for (int way = 0; way < 2; ++way)
        std::printf("%-16s median %6.2f ms, 90th percentile %6.2f ms\n",
                    way == 0 ? "written itself" : "through keeper", percentile(times[way], 0.5),
                    percentile(times[way], 0.9));
    const double median = percentile(times[1], 0.5) - percentile(times[0], 0.5);
    const double p90 = percentile(times[1], 0.9) - percentile(times[0], 0.9);
    std::printf("through the keeper: +%.2f ms at the median, +%.2f ms at the 90th percentile "
                "(target: within 20 ms); %.1f times the game's own at the median\n",
                median, p90, percentile(times[1], 0.5) / percentile(times[0], 0.5));
    return 0;
}
