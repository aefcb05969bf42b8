// SPDX-License-Identifier: GPL-3.0-or-later
// One pupil's game for the test with real accounts (class-record.sh): the
// game's start-up and game end on the folder that the game's settings
// reader gives, with the scripted window. Unlike the game, it is told its
// settings file.
// Usage: cifrelle-classplayer [--leave] [--keeper KEEPER] SETTINGS NAME RIGHT_ANSWERS [GO_FILE]
//        cifrelle-classplayer --print-register-heading
// Prints the record start-up shows ("record: SCORE|NAME", CR LF as \r\n),
// gives that many right answers, says "ready" on its standard error and
// waits for GO_FILE if given, ends the game (with --leave taking the way
// out of a wait for the lock as soon as it is offered), and prints every
// box shown ("box: TEXT") and how long the end took ("ended after: N ms").
// With --print-register-heading it prints the teacher's register's line of
// column headings, as the game writes it without its byte-order mark and
// CR LF, for the scripts that check a register. With --keeper, a guarded
// class folder is asked of KEEPER, the keeper's test build, told SETTINGS.
#include "recordfolder.h"

#include "cifrelle/game/form1.h"
#include "cifrelle/keeper/keeperclient.h"
#include "cifrelle/ui/fake/fakeui.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string_view>
#include <thread>

using namespace cifrelle;
using ui::Control;

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
    const bool leave = argc > 1 && std::string_view(argv[1]) == "--leave";
    if (leave) {
        --argc;
        ++argv;
    }
    const char* keeperProgram = nullptr;
    if (argc > 2 && std::string_view(argv[1]) == "--keeper") {
        keeperProgram = argv[2];
        argc -= 2;
        argv += 2;
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
    form.Form_Load();
    std::printf("record: %s|%s\n", shown(ui.caption(Control::lblpunti)).c_str(),
                shown(ui.caption(Control::lblnome)).c_str());
    form.Form_Activate();
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
    const auto ended = std::chrono::steady_clock::now();
    for (const ui::FakeUi::Box& box : ui.boxes())
        std::printf("box: %s\n", box.prompt.c_str());
    std::printf(
        "ended after: %lld ms\n",
        static_cast<long long>(
            std::chrono::duration_cast<std::chrono::milliseconds>(ended - pressed).count()));
    return ui.caption(Control::lblScore) == argv[3] ? 0 : 1;
}
