// SPDX-License-Identifier: GPL-3.0-or-later
// The teacher's register, large. Three modes (bench/registro.sh runs them):
//
//   registro_bench --write FILE [LINES]   writes a register of LINES games
//       (default 1,000,000) as the game writes them: 30 pupils typing their
//       names in varied case, a year of school days, two accounts and
//       computers each
//   registro_bench --bare                 a bare Qt program: the window's
//       title over an empty table (the yardstick of memory and time)
//   registro_bench --periods FILE [RUNS]  the window on FILE (offscreen):
//       the time to read it into a filled grid, then each period chosen in
//       turn RUNS times (default 5), each change timed until the window
//       has painted it
#include "cifrelle/classsummary/classview.h"
#include "cifrelle/classwindow/classwindow.h"
#include "cifrelle/classwindow/exports.h"
#include "cifrelle/records/register.h"

#include <QApplication>
#include <QMainWindow>
#include <QTableView>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using namespace cifrelle;

double msSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

int write(const char* file, long lines)
{
    const char* names[] = {"Marco",    "Anna",  "Nicolò",   "Giulia", "Élia",     "Zoë",
                           "Luca",     "Sofia", "Matteo",   "Aurora", "Leonardo", "Ginevra",
                           "Tommaso",  "Bea",   "Lorenzo",  "Alice",  "Davide",   "Chiara",
                           "Pietro",   "Emma",  "Gabriele", "Sara",   "Andrea",   "Martina",
                           "Riccardo", "Greta", "Edoardo",  "Noemi",  "Samuele",  "Viola"};
    std::mt19937 random(27);
    std::ofstream out(file, std::ios::binary);
    out << records::registerHeading();
    records::GameSummary game;
    for (long i = 0; i < lines; ++i) {
        const int pupil = static_cast<int>(random() % 30);
        const int day = static_cast<int>(i * 200 / lines); // a school year, in order
        game.ended = {2026,
                      1 + day / 20,
                      1 + day % 20,
                      8 + static_cast<int>(random() % 6),
                      static_cast<int>(random() % 60),
                      static_cast<int>(random() % 60)};
        std::string name = names[pupil];
        switch (random() % 4) {
        case 0: std::transform(name.begin(), name.end(), name.begin(), ::tolower); break;
        case 1: name = " " + name + " "; break;
        default: break;
        }
        game.name = name;
        game.wrong = 0;
        game.right = 0;
        for (int level = 0; level < 3; ++level) {
            game.rightByLevel[level] = static_cast<int>(random() % 12);
            game.wrongByLevel[level] = static_cast<int>(random() % 4);
            game.right += game.rightByLevel[level];
            game.wrong += game.wrongByLevel[level];
        }
        game.wrongByKind = {};
        for (int w = 0; w < game.wrong; ++w)
            ++game.wrongByKind[random() % records::mistakeKinds];
        game.secondsPlayed = static_cast<int>(60 + random() % 840);
        game.account = "alunno" + std::to_string(pupil);
        game.computer = "aula-" + std::to_string(pupil % 2 + 1);
        out << records::registerLine(game);
    }
    return out ? 0 : 1;
}

int bare(int argc, char* argv[])
{
    QApplication application(argc, argv);
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Registro della classe — Tutte le partite"));
    window.setCentralWidget(new QTableView(&window));
    window.resize(1260, 800);
    window.show();
    return application.exec();
}

int periods(int argc, char* argv[], const char* file, int runs)
{
    const Clock::time_point start = Clock::now();
    QApplication application(argc, argv);
    const double qt = msSince(start);
    classsummary::ClassRecords records;
    records.read(file);
    const double read = msSince(start);
    classsummary::ClassView view(records, records.lastDay());
    classwindow::ClassWindow window(view, {});
    window.show();
    QApplication::processEvents();
    window.grid()->viewport()->repaint();
    const double shown = msSince(start);
    std::printf("%llu games of %zu pupils, %zu sums: Qt %.0f ms, read %.0f ms, filled grid "
                "%.0f ms\n",
                static_cast<unsigned long long>(records.games()), records.pupils().size(),
                records.tallies().size(), qt, read - qt, shown);

    const char* names[] = {"Oggi", "Questa settimana", "Questo mese", "Tutto", "Dal … al …"};
    std::vector<double> all;
    for (int kind = 0; kind < 5; ++kind) {
        std::vector<double> times;
        for (int run = 0; run < runs; ++run) {
            window.choosePeriod(3 - (kind == 3)); // from another period each time
            QApplication::processEvents();
            const Clock::time_point t = Clock::now();
            window.choosePeriod(kind);
            window.repaint();
            QApplication::processEvents();
            times.push_back(msSince(t));
        }
        std::sort(times.begin(), times.end());
        // Padded by characters, not bytes ("…" is three).
        std::string name = names[kind];
        const auto shown =
            std::count_if(name.begin(), name.end(), [](char c) { return (c & 0xC0) != 0x80; });
        name.append(static_cast<std::size_t>(std::max<long>(0, 18 - shown)), ' ');
        std::printf("  %s median %6.1f ms, slowest %6.1f ms\n", name.c_str(), times[runs / 2],
                    times.back());
        all.insert(all.end(), times.begin(), times.end());
    }
    std::printf("period change: slowest %.1f ms (target: at most 100 ms)\n",
                *std::max_element(all.begin(), all.end()));
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc >= 3 && std::strcmp(argv[1], "--write") == 0)
        return write(argv[2], argc > 3 ? std::atol(argv[3]) : 1000000);
    if (argc >= 2 && std::strcmp(argv[1], "--bare") == 0)
        return bare(argc, argv);
    if (argc >= 3 && std::strcmp(argv[1], "--periods") == 0)
        return periods(argc, argv, argv[2], argc > 3 ? std::atoi(argv[3]) : 5);
    std::fprintf(stderr, "usage: registro_bench --write FILE [LINES] | --bare | --periods FILE "
                         "[RUNS]\n");
    return 2;
}
