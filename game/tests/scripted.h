// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cifrelle/game/form1.h"
#include "cifrelle/game/random.h"
#include "cifrelle/numtext/numtext.h"
#include "cifrelle/records/recordfiles.h"
#include "cifrelle/testsupport/files.h"
#include "cifrelle/ui/fake/fakeui.h"

#include <deque>
#include <stdexcept>
#include <string>
#include <utility>

namespace cifrelle::game::testing {

// Gives the values it is told, then those of the real generator.
class ScriptedRandom : public RandomSource {
public:
    void reseed(float seconds) override
    {
        ++reseeds;
        fallback.reseed(seconds);
    }
    float next() override
    {
        ++draws;
        if (values.empty())
            return fallback.next();
        const float r = values.front();
        values.pop_front();
        return r;
    }

    std::deque<float> values;
    int reseeds = 0;
    int draws = 0;
    MixingRandom fallback;
};

// A clock that stands still unless told otherwise.
class FixedTime : public TimeSource {
public:
    float secondsSinceMidnight() override { return seconds; }
    std::tm now() override
    {
        std::tm date{}; // 2026-12-08 10:41:07
        date.tm_year = 126;
        date.tm_mon = 11;
        date.tm_mday = 8;
        date.tm_hour = 10;
        date.tm_min = 41;
        date.tm_sec = 7;
        return date;
    }
    float seconds = 36000.0f;
};

using testsupport::readBytes;
using testsupport::TempDir;
using testsupport::writeBytes;

// One game on the scripted window, with record files of its own. Events
// are raised as the window raises them.
struct Game {
    // With `keepRegister`, the school keeps the teacher's register.
    explicit Game(bool keepRegister = false)
        : files(records::RecordFolder{dir.path(), {}, {}, keepRegister})
    {
    }

    TempDir dir;
    ui::FakeUi ui;
    ScriptedRandom random;
    FixedTime time;
    records::RecordFiles files;
    Form1 form{ui, random, time, files};

    // The one visible level button's level, or minus the number visible.
    int visibleLevel() const
    {
        int level = 0;
        int visible = 0;
        for (auto [c, l] :
             {std::pair{ui::Control::Command1, 1}, std::pair{ui::Control::Command2, 2},
              std::pair{ui::Control::Command3, 3}}) {
            if (ui.visible(c)) {
                level = l;
                ++visible;
            }
        }
        return visible == 1 ? level : -visible;
    }

    // Starts a game as the program does: start-up, then the first activation.
    void start(const std::string& name = "Anna")
    {
        ui.queueInput(name);
        form.Form_Load();
        form.raise(&ui::Form1Events::Form_Activate);
    }

    // The player types `text` and presses Enter.
    void answer(const std::string& text)
    {
        ui.type(ui::Control::txtmio, text);
        std::int16_t enter = 13;
        form.raiseKeyPress(enter);
    }

    // The player draws a new number (the small blank button) and the
    // generator gives `number`, shown as written (below 100, at most seven
    // significant digits).
    void drawNumber(const std::string& number)
    {
        random.values.push_front(static_cast<float>(numtext::numberValue(number) / 100.0));
        form.cmdcasual_Click();
        if (ui.text(ui::Control::Text2) != number)
            throw std::logic_error("drawn " + ui.text(ui::Control::Text2) + ", not " + number);
    }

    // Draws `number` and keys it at level 1, so that numero holds it.
    void keyNumber(const std::string& number)
    {
        drawNumber(number);
        form.Command1_Click();
    }

    std::string key() const { return ui.text(ui::Control::Text1); }
};

} // namespace cifrelle::game::testing
