// SPDX-License-Identifier: GPL-3.0-or-later
// One pupil's game as the two-account test plays it: the game's own
// start-up and game end (game::Form1) on the record folder that the game's
// own settings reader gives, with a scripted window in place of Qt's. Built
// only with the tests; unlike the game, it is told its settings file.
//
// Usage: cifrelle-classplayer SETTINGS NAME RIGHT_ANSWERS [GO_FILE]
// Prints the record that start-up shows ("record: SCORE|NAME", line ends
// written \r\n), gives RIGHT_ANSWERS right answers, then (with GO_FILE)
// prints "ready" and waits until that file exists, and ends the game. Then
// every box the player saw ("box: TEXT") and every notice ("notice: TEXT").
#include "recordfolder.h"

#include "cifrelle/game/form1.h"
#include "cifrelle/game/random.h"
#include "cifrelle/records/recordfiles.h"
#include "cifrelle/ui/fakeui.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

using namespace cifrelle;
using ui::Control;

namespace {

std::string shown(std::string text)
{
    for (std::size_t at; (at = text.find("\r\n")) != std::string::npos;)
        text.replace(at, 2, "\\r\\n");
    return text;
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc != 4 && argc != 5) {
        std::fprintf(stderr, "usage: %s SETTINGS NAME RIGHT_ANSWERS [GO_FILE]\n", argv[0]);
        return 2;
    }
    records::RecordFiles files(app::recordFolder(argv[1]));
    ui::FakeUi ui;
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
        std::puts("ready");
        std::fflush(stdout);
        while (!std::filesystem::exists(argv[4]))
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    form.cmdexit_Click();

    for (const ui::FakeUi::Box& box : ui.boxes())
        std::printf("box: %s\n", box.prompt.c_str());
    for (const std::string& notice : ui.notices())
        std::printf("notice: %s\n", notice.c_str());
    return form.ended() && ui.caption(Control::lblScore) == argv[3] ? 0 : 1;
}
