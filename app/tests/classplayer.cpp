// SPDX-License-Identifier: GPL-3.0-or-later
// One pupil's game for the test with real accounts (class-record.sh): the
// game's start-up and game end on the folder that the game's settings
// reader gives, with the scripted window. Unlike the game, it is told its
// settings file.
// Usage: cifrelle-classplayer [--leave] [--killed-at-step N] [--wrong N]
//                             [--played-by ACCOUNT COMPUTER] [--keeper KEEPER]
//                             SETTINGS NAME RIGHT_ANSWERS [GO_FILE]
//        cifrelle-classplayer --print-register-heading
// Prints how long start-up took ("started after: N ms") and the record it
// shows ("record: SCORE|NAME", CR LF as \r\n), gives that many right
// answers (with --wrong, first N wrong ones, of the kinds "punto",
// "decimali" and "altro" in turn: the key with a point, the key with one
// more zero, "x"), says "ready" on its standard error and waits for
// GO_FILE if given, ends the game (with --leave taking the way out of a
// wait for the lock as soon as it is offered), and prints every box shown
// ("box: TEXT") and how long the end took ("ended after: N ms"). With
// --killed-at-step the game kills itself (SIGKILL) just before the Nth
// step the record layer takes in the folder, counted from start-up.
// With --print-register-heading it prints the teacher's register's line of
// column headings, as the game writes it without its byte-order mark and
// CR LF, for the scripts that check a register. With --played-by the
// register names that account and computer instead of the system's. With
// --keeper, a guarded class folder is asked of KEEPER, the keeper's test
// build, told SETTINGS.
#include "recordfolder.h"

#include "cifrelle/game/form1.h"
#include "cifrelle/keeper/keeperclient.h"
#include "cifrelle/ui/fake/fakeui.h"

#include "fileops.h" // the record layer's watch on its steps

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string_view>
#include <thread>

using namespace cifrelle;
using ui::Control;

static long long msSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 start)
        .count();
}

static int stepsLeft = 0;

static std::string shown(std::string text)
{
    for (std::size_t at; (at = text.find("\r\n")) != std::string::npos;)
        text.replace(at, 2, "\\r\\n");
    return text;
}

int main(int argc, char* argv[])
{
    if (argc == 2 && std::string_view(argv[1]) == "--print-register-heading") {
        const std::string& heading = records::registerHeading();
        std::printf("%s\n", heading.substr(3, heading.size() - 5).c_str());
        return 0;
    }
    bool leave = false;
    int wrong = 0;
    const char* account = nullptr;
    const char* computer = nullptr;
    const char* keeperProgram = nullptr;
    for (int taken = 0;; argc -= taken, argv += taken) {
        const std::string_view option = argc > 1 ? argv[1] : "";
        if (option == "--leave") {
            leave = true;
            taken = 1;
        } else if (option == "--wrong" && argc > 2) {
            wrong = std::atoi(argv[2]);
            taken = 2;
        } else if (option == "--played-by" && argc > 3) {
            account = argv[2];
            computer = argv[3];
            taken = 3;
        } else if (option == "--keeper" && argc > 2) {
            keeperProgram = argv[2];
            taken = 2;
        } else if (option == "--killed-at-step" && argc > 2) {
            stepsLeft = std::atoi(argv[2]);
            records::fileops::watchStep = [](std::string_view, const std::filesystem::path&) {
                if (--stepsLeft == 0)
                    std::raise(SIGKILL);
            };
            taken = 2;
        } else {
            break;
        }
    }
    if (argc != 4 && argc != 5)
        return 2;
    records::RecordFolder folder = app::recordFolder(argv[1]);
    std::unique_ptr<records::RecordStore> store;
    if (folder.guarded && keeperProgram)
        store = std::make_unique<keeper::KeeperClient>(
            folder, keeper::KeeperCommand{keeperProgram, argv[1]});
    else
        store = std::make_unique<records::RecordFiles>(folder);
    records::RecordStore& files = *store;
    ui::FakeUi ui;
    ui.takeWayOutWhenOffered = leave;
    ui.queueInput(argv[2]);
    game::MixingRandom random;
    game::SystemTime time;
    game::Form1 form(ui, random, time, files);
    if (account)
        form.setPlayedBy(account, computer);
    const auto starting = std::chrono::steady_clock::now();
    form.Form_Load();
    std::printf("started after: %lld ms\n", msSince(starting));
    std::printf("record: %s|%s\n", shown(ui.caption(Control::lblpunti)).c_str(),
                shown(ui.caption(Control::lblnome)).c_str());
    form.Form_Activate();
    for (int answer = 0; answer < wrong; ++answer) {
        std::string text = ui.text(Control::Text1);
        if (answer % 3 == 0)
            text[text.find(',')] = '.';
        ui.type(Control::txtmio, answer % 3 == 0 ? text : answer % 3 == 1 ? text + "0" : "x");
        form.cmdverifica_Click();
    }
    for (int answer = std::atoi(argv[3]); answer > 0; --answer) {
        ui.type(Control::txtmio, ui.text(Control::Text1));
        form.cmdverifica_Click();
    }
    if (argc == 5) {
        std::fputs("ready\n", stderr);
        while (!std::filesystem::exists(argv[4]))
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    const auto pressed = std::chrono::steady_clock::now();
    form.cmdexit_Click();
    const long long ended = msSince(pressed);
    for (const ui::FakeUi::Box& box : ui.boxes())
        std::printf("box: %s\n", box.prompt.c_str());
    std::printf("ended after: %lld ms\n", ended);
    return ui.caption(Control::lblScore) == argv[3] ? 0 : 1;
}
