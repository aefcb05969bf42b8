// SPDX-License-Identifier: GPL-3.0-or-later
#include "cifrelle/game/form1.h"

#include "cifrelle/game/answerkey.h"
#include "cifrelle/game/gameend.h"
#include "cifrelle/game/menus.h"
#include "cifrelle/records/account.h"
#include "cifrelle/ui/fake/fakeui.h"
#include "scripted.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <limits>

namespace {

using cifrelle::game::answerKey;
using cifrelle::game::Form1;
using cifrelle::game::testing::Game;
using cifrelle::game::testing::readBytes;
using cifrelle::ui::BoxStyle;
using cifrelle::ui::Control;
using cifrelle::ui::FakeUi;
using cifrelle::ui::Form1Events;
namespace colours = cifrelle::ui::colours;

constexpr float tenths = 0.1f;      // draws level 1
constexpr float hundredths = 0.5f;  // draws level 2
constexpr float thousandths = 0.9f; // draws level 3

// What the player sees after a right answer: praise in three colours and
// the "Esatto" indicator.
void expectPraise(const Game& g)
{
    for (Control c : {Control::lblok1, Control::lblok2, Control::lblok})
        EXPECT_EQ(g.ui.caption(c), "Sei veramente ok");
    EXPECT_EQ(g.ui.foreColor(Control::lblok2), colours::green);
    EXPECT_EQ(g.ui.foreColor(Control::lblok1), colours::red);
    EXPECT_EQ(g.ui.foreColor(Control::lblok), colours::white);
    EXPECT_TRUE(g.ui.visible(Control::lblok1));
    EXPECT_TRUE(g.ui.visible(Control::lblok2));
    EXPECT_TRUE(g.ui.visible(Control::Command4));
    EXPECT_FALSE(g.ui.visible(Control::Command5));
}

// What the player sees after a wrong answer: the red warning alone and the
// "Sbagliato" indicator.
void expectWarning(const Game& g)
{
    EXPECT_EQ(g.ui.caption(Control::lblok), "Fai attenzione");
    EXPECT_EQ(g.ui.foreColor(Control::lblok), colours::red);
    EXPECT_TRUE(g.ui.visible(Control::Command5));
    EXPECT_FALSE(g.ui.visible(Control::Command4));
    EXPECT_FALSE(g.ui.visible(Control::lblok1));
    EXPECT_FALSE(g.ui.visible(Control::lblok2));
}

// ---- Round set-up --------------------------------------------------------

TEST(RoundSetUp, LeavesOneLevelAndAKeyForTheNumberShown)
{
    Game g;
    g.start();
    for (int round = 0; round < 200; ++round) {
        const int level = g.visibleLevel();
        ASSERT_GE(level, 1) << "exactly one level button must be visible";
        EXPECT_FALSE(g.ui.visible(Control::cmdini));
        EXPECT_EQ(g.ui.text(Control::txtmio), "");
        EXPECT_EQ(g.ui.focus(), Control::txtmio);
        EXPECT_EQ(g.form.numero(), g.ui.text(Control::Text2));
        EXPECT_EQ(g.key(), answerKey(g.ui.text(Control::Text2), level).key);
        g.form.cmdini_Click();
    }
}

struct RedrawCase {
    const char* previous;
    float firstDraw;
    float secondDraw;
    int expectedLevel;
    int expectedLevelDraws;
};

class Redraw : public testing::TestWithParam<RedrawCase> {};

TEST_P(Redraw, APreviousNumberOfOneTwoOrThreeCharactersRulesOutThatLevel)
{
    const RedrawCase& c = GetParam();
    Game g;
    g.keyNumber(c.previous);
    g.random.values = {0.25f, c.firstDraw, c.secondDraw};
    g.form.cmdini_Click();
    EXPECT_EQ(g.visibleLevel(), c.expectedLevel);
    // One value for the number, then one per level draw, each after a reseed.
    EXPECT_EQ(g.random.draws, 1 + c.expectedLevelDraws);
    EXPECT_EQ(g.random.reseeds, 1 + c.expectedLevelDraws);
}

INSTANTIATE_TEST_SUITE_P(Rule, Redraw,
                         testing::Values(RedrawCase{"5", tenths, hundredths, 2, 2},
                                         RedrawCase{"12", hundredths, thousandths, 3, 2},
                                         RedrawCase{"4,6", thousandths, tenths, 1, 2},
                                         RedrawCase{"", tenths, hundredths, 1, 1},
                                         RedrawCase{"", thousandths, tenths, 3, 1},
                                         RedrawCase{"", 16777215.0f / 16777216.0f, tenths, 3, 1},
                                         RedrawCase{"4,65", hundredths, tenths, 2, 1},
                                         RedrawCase{"5", hundredths, tenths, 2, 1}));

TEST(RoundSetUp, RedrawEndsWithARealGeneratorAndAStoppedClock)
{
    Game g; // the clock never moves: every reseed gets the same value
    for (const char* previous : {"1", "12", "123"}) {
        for (int i = 0; i < 300; ++i) {
            g.keyNumber(previous);
            g.form.cmdini_Click();
            ASSERT_NE(g.visibleLevel(), static_cast<int>(std::string(previous).size()));
        }
    }
}

TEST(RoundSetUp, DrawnNumbersStayBelowAHundred)
{
    Game g;
    g.random.values = {0.0f, tenths, 16777215.0f / 16777216.0f, tenths};
    g.form.cmdini_Click();
    EXPECT_EQ(g.ui.text(Control::Text2), "0");
    EXPECT_EQ(g.key(), "0,0");
    g.keyNumber("");
    g.form.cmdini_Click();
    EXPECT_EQ(g.ui.text(Control::Text2), "99,99999");
    EXPECT_EQ(g.key(), "100,0");
}

TEST(RoundSetUp, ShowsLevelButtonsBeforeHidingTheOthersInOrder)
{
    Game g;
    g.random.values = {0.25f, thousandths};
    g.form.cmdini_Click();
    std::vector<std::string> visibility;
    for (const auto& line : g.ui.log()) {
        if (line.rfind("setVisible", 0) == 0)
            visibility.push_back(line);
    }
    const std::vector<std::string> expected{"setVisible Command1 1", "setVisible Command2 1",
                                            "setVisible Command3 1", "setVisible cmdini 1",
                                            "setVisible Command2 0", "setVisible Command1 0",
                                            "setVisible cmdini 0"};
    EXPECT_EQ(visibility, expected);
}

TEST(RoundSetUp, NewNumberLeavesAnIntermediateState)
{
    Game g;
    g.start();
    const int level = g.visibleLevel();
    const std::string numero = g.form.numero();
    g.form.cmdcasual_Click();
    EXPECT_EQ(g.key(), "");
    EXPECT_EQ(g.form.numero(), numero);
    EXPECT_EQ(g.visibleLevel(), level);
    EXPECT_TRUE(g.ui.visible(Control::cmdini));
    EXPECT_EQ(g.ui.focus(), Control::cmdini);
    EXPECT_EQ(g.form.esatte(), 0);
    EXPECT_EQ(g.form.sbagliate(), 0);

    // The visible level button keys the number now shown; "Inizio" stays.
    g.form.Command3_Click();
    EXPECT_EQ(g.form.numero(), g.ui.text(Control::Text2));
    EXPECT_EQ(g.key(), answerKey(g.ui.text(Control::Text2), 3).key);
    EXPECT_TRUE(g.ui.visible(Control::cmdini));
    EXPECT_EQ(g.ui.focus(), Control::txtmio);

    // "Inizio" sets up a whole new round.
    g.form.cmdini_Click();
    EXPECT_FALSE(g.ui.visible(Control::cmdini));
    EXPECT_GE(g.visibleLevel(), 1);
}

TEST(AnswerKeyHandlers, KeyTheNumberShownAndMoveTheFocus)
{
    Game g;
    g.ui.type(Control::Text2, "9,96");
    g.form.Command1_Click();
    EXPECT_EQ(g.form.numero(), "9,96");
    EXPECT_EQ(g.key(), "10,0");
    EXPECT_EQ(g.ui.focus(), Control::txtmio);
    g.form.Command2_Click();
    EXPECT_EQ(g.key(), "9,96");
    g.form.Command3_Click();
    EXPECT_EQ(g.key(), "9,960");
    g.form.Command3_Click();
    EXPECT_EQ(g.key(), "9,960");
    // No button is shown or hidden by keying.
    for (const auto& line : g.ui.log())
        EXPECT_EQ(line.rfind("setVisible", 0), std::string::npos) << line;
}

// ---- Answer check ----------------------------------------------------------

TEST(AnswerCheck, RightAnswerCountsPraisesAndSetsUpTheNext)
{
    Game g;
    g.start();
    const std::string number = g.ui.text(Control::Text2);
    g.ui.clearLog();
    g.answer(g.key());

    EXPECT_EQ(g.form.esatte(), 1);
    EXPECT_EQ(g.form.sbagliate(), 0);
    expectPraise(g);
    EXPECT_EQ(g.ui.caption(Control::lblScore), "1");
    EXPECT_EQ(g.ui.caption(Control::lblScore1), "0");
    // A new exercise, ready to answer.
    EXPECT_EQ(g.ui.text(Control::txtmio), "");
    EXPECT_EQ(g.ui.focus(), Control::txtmio);
    EXPECT_GE(g.visibleLevel(), 1);
    EXPECT_EQ(g.form.numero(), g.ui.text(Control::Text2));
    (void)number;

    // Indicators first, then the score labels, then one announcement.
    const auto& log = g.ui.log();
    ASSERT_GE(log.size(), 7u);
    const std::vector<std::string> first(log.begin(), log.begin() + 4);
    EXPECT_EQ(first, (std::vector<std::string>{"setVisible Command5 0", "setVisible Command4 0",
                                               "setVisible lblok1 0", "setVisible lblok2 0"}));
    EXPECT_EQ(log[log.size() - 3], "setCaption lblScore1 0");
    EXPECT_EQ(log[log.size() - 2], "setCaption lblScore 1");
    EXPECT_EQ(log.back().rfind("announce Sei veramente ok. Risposte esatte 1, errate 0. ", 0), 0u);
    EXPECT_EQ(std::count_if(log.begin(), log.end(),
                            [](const std::string& l) { return l.rfind("announce", 0) == 0; }),
              1);
}

TEST(AnswerCheck, WrongAnswerWarnsAndKeepsTheExercise)
{
    Game g;
    g.start();
    const std::string number = g.ui.text(Control::Text2);
    const std::string key = g.key();
    const int level = g.visibleLevel();
    g.answer(key + "9");

    EXPECT_EQ(g.form.sbagliate(), 1);
    EXPECT_EQ(g.form.esatte(), 0);
    expectWarning(g);
    EXPECT_EQ(g.ui.focus(), Control::txtmio);
    EXPECT_EQ(g.ui.text(Control::txtmio), key + "9");
    EXPECT_EQ(g.ui.text(Control::Text2), number);
    EXPECT_EQ(g.key(), key);
    EXPECT_EQ(g.visibleLevel(), level);
    EXPECT_EQ(g.ui.caption(Control::lblScore1), "1");
    EXPECT_EQ(g.ui.caption(Control::lblScore), "0");
}

// What the screen reader is told: each new exercise with every decimal as a
// digit of its own, each outcome with the counts (and the new exercise after
// a right answer), the time left at the colour changes and the last minute,
// and where-am-I on demand. Nothing else.
TEST(Announcements, ExerciseOutcomeCountsAndTime)
{
    Game g;
    g.random.values = {0.8443892f, hundredths};
    g.start();
    const std::string first = "Approssima ai centesimi: 84 virgola 4 3 8 9 2";
    EXPECT_EQ(g.ui.announcements(), std::vector<std::string>{first});
    EXPECT_EQ(g.form.whereAmI(), first + ". Tempo restante 15 minuti");

    g.answer("84,4");
    g.random.values = {0.125f, tenths};
    g.answer("84,44");
    g.random.values = {0.07f, thousandths};
    g.form.cmdini_Click(); // the player presses "Inizio"
    EXPECT_EQ(g.ui.announcements(),
              (std::vector<std::string>{
                  first, "Fai attenzione. Risposte esatte 0, errate 1.",
                  "Sei veramente ok. Risposte esatte 1, errate 1. Approssima ai decimi: 12 "
                  "virgola 5",
                  "Approssima ai millesimi: 7"}));

    g.ui.clearLog();
    for (int tick = 1; tick <= 900; ++tick) {
        g.form.Timer1_Timer();
        if (tick == 59) {
            EXPECT_EQ(g.form.whereAmI(),
                      "Approssima ai millesimi: 7. Tempo restante 14 minuti e 1 secondo");
        }
    }
    std::vector<std::string> said;
    for (const std::string& line : g.ui.log()) {
        if (line.rfind("announce ", 0) == 0)
            said.push_back(line.substr(9));
    }
    EXPECT_EQ(said,
              (std::vector<std::string>{"Tempo restante 13 minuti", "Tempo restante 10 minuti",
                                        "Tempo restante 5 minuti", "Tempo restante 1 minuto"}));
}

TEST(AnswerCheck, WrongAfterRightAndRightAfterWrong)
{
    Game g;
    g.start();
    g.answer(g.key());
    g.answer("no");
    expectWarning(g);
    // The hidden labels keep their last caption.
    EXPECT_EQ(g.ui.caption(Control::lblok1), "Sei veramente ok");

    g.answer(g.key());
    expectPraise(g);
    EXPECT_EQ(g.ui.caption(Control::lblScore), "2");
    EXPECT_EQ(g.ui.caption(Control::lblScore1), "1");
}

TEST(AnswerCheck, TheSameWrongAnswerCountsEachTime)
{
    Game g;
    g.start();
    for (int i = 1; i <= 5; ++i) {
        g.answer("sbagliato");
        EXPECT_EQ(g.form.sbagliate(), i);
        EXPECT_EQ(g.ui.caption(Control::lblScore1), std::to_string(i));
    }
    EXPECT_EQ(g.form.esatte(), 0);
}

class NearMiss : public testing::TestWithParam<std::pair<const char*, const char*>> {};

TEST_P(NearMiss, IsWrong)
{
    const auto [number, answer] = GetParam();
    Game g;
    g.ui.type(Control::Text2, number);
    g.form.Command2_Click();
    ASSERT_NE(g.key(), answer);
    g.answer(answer);
    EXPECT_EQ(g.form.sbagliate(), 1);
    EXPECT_EQ(g.form.esatte(), 0);
}

// Keys at level 2: 4,65 -> "4,65", 5 -> "5,00", 0,5 -> "0,50".
INSTANTIATE_TEST_SUITE_P(ExactText, NearMiss,
                         testing::Values(std::pair{"4,65", "4.65"}, std::pair{"4,65", "4,650"},
                                         std::pair{"4,65", " 4,65"}, std::pair{"4,65", "4,65 "},
                                         std::pair{"5", "5,0"}, std::pair{"5", "5"},
                                         std::pair{"0,5", ",50"}, std::pair{"0,5", "0,5"},
                                         std::pair{"4,65", ""}));

TEST(AnswerCheck, EmptyAnswerIsRightOnlyAgainstTheEmptyKey)
{
    Game g;
    g.start();
    g.answer("");
    EXPECT_EQ(g.form.sbagliate(), 1);
    g.form.cmdcasual_Click(); // empties the key
    g.answer("");
    EXPECT_EQ(g.form.esatte(), 1);
}

TEST(AnswerCheck, OnlyEnterStartsACheck)
{
    Game g;
    g.start();
    g.ui.type(Control::txtmio, g.key());
    for (std::int16_t code : {10, 32, 44, 48, 57, 8, 27, 9, 0, 269}) {
        std::int16_t k = code;
        g.form.txtmio_KeyPress(k);
        EXPECT_EQ(k, code) << "the code goes on to the box unchanged";
    }
    EXPECT_EQ(g.form.esatte() + g.form.sbagliate(), 0);
    std::int16_t enter = 13;
    g.form.txtmio_KeyPress(enter);
    EXPECT_EQ(enter, 13);
    EXPECT_EQ(g.form.esatte(), 1);
}

TEST(AnswerCheck, CountersStayAtTheirLimitAndTheGameGoesOn)
{
    constexpr std::int16_t limit = std::numeric_limits<std::int16_t>::max();
    Game g(true);
    g.start();
    // Played to the limit: that many right answers, then that many wrong.
    for (int i = 0; i < 2 * limit; ++i) {
        g.answer(i < limit ? g.key() : "x");
        if (i % 4096 == 0)
            g.ui.clearLog();
    }
    ASSERT_EQ(g.ui.caption(Control::lblScore), "32767");
    ASSERT_EQ(g.ui.caption(Control::lblScore1), "32767");
    g.answer(g.key());
    EXPECT_EQ(g.form.esatte(), limit);
    EXPECT_EQ(g.ui.caption(Control::lblScore), "32767");
    EXPECT_EQ(g.ui.caption(Control::lblok), "Sei veramente ok");
    EXPECT_TRUE(g.ui.visible(Control::Command4));
    EXPECT_EQ(g.ui.text(Control::txtmio), ""); // the next exercise is there

    g.answer("x");
    EXPECT_EQ(g.form.sbagliate(), limit);
    EXPECT_EQ(g.ui.caption(Control::lblScore1), "32767");
    EXPECT_EQ(g.ui.caption(Control::lblok), "Fai attenzione");
    EXPECT_TRUE(g.ui.visible(Control::Command5));
    EXPECT_FALSE(g.ui.ended());
    // The kinds of the wrong answers add up to the count in the register.
    g.form.cmdexit_Click();
    EXPECT_NE(readBytes(g.files.registerPath()).find(";32767;32767;"), std::string::npos);
    EXPECT_NE(readBytes(g.files.registerPath()).find(";0;0;0;0;0;0;32767;"), std::string::npos);
}

// ---- Start-up ----------------------------------------------------------------

TEST(StartUp, AsksGreetsAndShowsTheRecordInOrder)
{
    Game g;
    bool timerOffWhileAsking = false;
    bool timerOffWhileGreeting = false;
    g.ui.duringInputBox = [&](const FakeUi::InputRequest&) {
        timerOffWhileAsking = !g.ui.timerEnabled();
    };
    g.ui.duringMessageBox = [&](const FakeUi::Box&) {
        timerOffWhileGreeting = !g.ui.timerEnabled();
    };
    g.ui.queueInput("  Nicolò  ");
    g.form.Form_Load();

    EXPECT_TRUE(timerOffWhileAsking);
    EXPECT_TRUE(timerOffWhileGreeting);
    ASSERT_EQ(g.ui.inputRequests().size(), 1u);
    EXPECT_EQ(g.ui.inputRequests()[0].prompt, "Come ti chiami?");
    EXPECT_EQ(g.ui.inputRequests()[0].title, "Impariamo ad approssimare");
    ASSERT_EQ(g.ui.boxes().size(), 1u);
    EXPECT_EQ(g.ui.boxes()[0].prompt, "   Nicolò   vediamo se sei un vero campione  ");
    EXPECT_EQ(g.ui.boxes()[0].style, BoxStyle::Plain);
    EXPECT_EQ(g.ui.boxes()[0].title, "Impariamo ad approssimare");
    EXPECT_EQ(g.ui.caption(Control::lblnome1), "  Nicolò  ");
    EXPECT_FALSE(g.ui.visible(Control::Command4));
    EXPECT_FALSE(g.ui.visible(Control::Command5));
    EXPECT_TRUE(g.ui.timerEnabled());
    EXPECT_EQ(g.ui.caption(Control::lblconto), "00:15:00");
    EXPECT_EQ(g.ui.caption(Control::lblpunti), "");
    EXPECT_EQ(g.ui.caption(Control::lblnome), "");
    EXPECT_TRUE(std::filesystem::exists(g.files.scorePath()));
    EXPECT_TRUE(std::filesystem::exists(g.files.namePath()));
    EXPECT_EQ(g.random.reseeds, 1);

    const std::vector<std::string> expected{
        "setVisible Command4 0",
        "setVisible Command5 0",
        "timer off",
        "inputBox Come ti chiami?",
        "messageBox    Nicolò   vediamo se sei un vero campione  ",
        "setCaption lblnome1   Nicolò  ",
        "timer on",
        "setCaption lblconto 00:15:00",
        "setCaption lblpunti ",
        "setCaption lblnome ",
        "setCaption lblconto 00:15:00",
    };
    EXPECT_EQ(g.ui.log(), expected);
}

TEST(StartUp, CancelledNameGivesTheEmptyName)
{
    Game g;
    g.ui.queueInput(std::nullopt);
    g.form.Form_Load();
    EXPECT_EQ(g.ui.boxes().at(0).prompt, "  vediamo se sei un vero campione  ");
    EXPECT_EQ(g.ui.caption(Control::lblnome1), "");
    g.form.Form_Activate();
    EXPECT_GE(g.visibleLevel(), 1);
}

TEST(StartUp, ShowsAStoredRecordUnchanged)
{
    Game g;
    {
        std::ofstream(g.dir.path() / "cifrel.txt", std::ios::binary) << "12\r\n";
        std::ofstream(g.dir.path() / "ncifrel.txt", std::ios::binary) << "Nicol\xF2\r\n";
    }
    g.start();
    EXPECT_EQ(g.ui.caption(Control::lblpunti), "12\r\n");
    EXPECT_EQ(g.ui.caption(Control::lblnome), "Nicolò\r\n");
    EXPECT_EQ(readBytes(g.dir.path() / "cifrel.txt"), "12\r\n");
    EXPECT_EQ(readBytes(g.dir.path() / "ncifrel.txt"), "Nicol\xF2\r\n");
    EXPECT_TRUE(g.ui.boxes().size() == 1u) << "no warning for good files";
}

TEST(StartUp, UnusableRecordFilesWarnOnceAndTheGameGoesOn)
{
    Game g;
    std::filesystem::create_directory(g.dir.path() / "cifrel.txt");
    bool timerOffWhileWarning = false;
    g.ui.duringMessageBox = [&](const FakeUi::Box& box) {
        if (box.style == BoxStyle::Warning)
            timerOffWhileWarning = !g.ui.timerEnabled();
    };
    g.start();
    ASSERT_EQ(g.ui.boxes().size(), 2u);
    EXPECT_EQ(g.ui.boxes()[1].style, BoxStyle::Warning);
    EXPECT_EQ(g.ui.boxes()[1].prompt,
              "Il record non potrà essere conservato: «" + (g.dir.path() / "cifrel.txt").string() +
                  "» è una cartella, non un file normale: va tolta dalla cartella. Puoi giocare "
                  "lo stesso.");
    EXPECT_TRUE(timerOffWhileWarning);
    EXPECT_TRUE(g.ui.timerEnabled());
    EXPECT_EQ(g.ui.caption(Control::lblpunti), "");
    EXPECT_EQ(g.ui.caption(Control::lblnome), "");
    EXPECT_FALSE(g.ui.ended());
    g.answer(g.key());
    EXPECT_EQ(g.form.esatte(), 1);
}

// ---- Clock and game end --------------------------------------------------------

TEST(Clock, RunsDownAndEndsTheGameOnTheTickAfterZero)
{
    Game g;
    g.start();
    for (int tick = 1; tick <= 900; ++tick) {
        g.form.Timer1_Timer();
        if (tick == 1) {
            EXPECT_EQ(g.ui.caption(Control::lblconto), "00:14:59");
        }
        if (tick == 119) {
            EXPECT_EQ(g.ui.foreColor(Control::lblconto), colours::yellow);
        }
        if (tick == 120) {
            EXPECT_EQ(g.ui.foreColor(Control::lblconto), colours::green);
        }
        if (tick == 300) {
            EXPECT_EQ(g.ui.foreColor(Control::lblconto), colours::cyan);
        }
        if (tick == 599) {
            EXPECT_EQ(g.ui.foreColor(Control::lblconto), colours::cyan);
        }
        if (tick == 600) {
            EXPECT_EQ(g.ui.foreColor(Control::lblconto), colours::red);
        }
    }
    EXPECT_EQ(g.ui.caption(Control::lblconto), "00:00:00");
    EXPECT_EQ(g.ui.foreColor(Control::lblconto), colours::red);
    EXPECT_FALSE(g.ui.ended());
    g.form.Timer1_Timer();
    EXPECT_EQ(g.ui.endCount(), 1);
    EXPECT_EQ(g.ui.caption(Control::lblconto), "00:00:00");
    EXPECT_FALSE(g.form.takesEvents());
}

TEST(GameEnd, ARecordSavedWhenTheClockRunsOut)
{
    Game g;
    g.start("Anna");
    for (int i = 0; i < 7; ++i)
        g.answer(g.key());
    for (int tick = 0; tick < 901; ++tick)
        g.form.Timer1_Timer();
    EXPECT_EQ(readBytes(g.files.scorePath()), "7\r\n");
    EXPECT_EQ(readBytes(g.files.namePath()), "Anna\r\n");
    EXPECT_EQ(g.ui.boxes().back().prompt, cifrelle::game::recordSavedMessage);
    EXPECT_EQ(g.ui.endCount(), 1);
    EXPECT_EQ(g.ui.operationsAfterEnd(), 0);
}

TEST(GameEnd, RunsOnceWhenTicksAndClicksComeWhileItsBoxIsOpen)
{
    Game g;
    g.start("Anna");
    g.answer(g.key());
    for (int tick = 0; tick < 900; ++tick)
        g.form.Timer1_Timer();
    int reentries = 0;
    g.ui.duringMessageBox = [&](const FakeUi::Box&) {
        ++reentries;
        g.form.raise(&Form1Events::Timer1_Timer);
        g.form.raise(&Form1Events::cmdexit_Click);
        g.form.raise(&Form1Events::Timer1_Timer);
    };
    g.form.raise(&Form1Events::cmdexit_Click);
    EXPECT_EQ(reentries, 1) << "one box";
    EXPECT_EQ(g.ui.endCount(), 1);
    EXPECT_EQ(readBytes(g.files.scorePath()), "1\r\n");
}

TEST(GameEnd, ATickAtZeroDuringHelpEndsTheGameOnce)
{
    Game g;
    g.start();
    for (int tick = 0; tick < 900; ++tick)
        g.form.Timer1_Timer();
    int helpBoxes = 0;
    g.ui.duringMessageBox = [&](const FakeUi::Box& box) {
        if (box.style == BoxStyle::Information) {
            ++helpBoxes;
            g.form.raise(&Form1Events::Timer1_Timer);
        }
    };
    g.form.raise(&Form1Events::help_Click);
    EXPECT_EQ(helpBoxes, 1) << "no further help box after the end";
    EXPECT_EQ(g.ui.endCount(), 1);
    EXPECT_EQ(g.ui.operationsAfterEnd(), 0);
    // Nothing more runs once the program has ended.
    g.form.raise(&Form1Events::cmdini_Click);
    g.form.raise(&Form1Events::Timer1_Timer);
    g.form.raise(&Form1Events::record_Click);
    EXPECT_EQ(g.ui.operationsAfterEnd(), 0);
}

// Start-up warned that the record cannot be kept (here a folder in the
// place of the name's .new file, which the teacher takes away during the
// game): the end saves nothing, and says why in the start's words.
TEST(GameEnd, AfterAWarningAtStartNothingIsSavedAndTheEndSaysWhy)
{
    Game g;
    const std::filesystem::path blocker = g.dir.path() / "ncifrel.txt.new";
    std::filesystem::create_directory(blocker);
    g.start("Anna");
    const std::string why =
        "«" + blocker.string() + "» è una cartella, non un file normale: va tolta dalla cartella.";
    ASSERT_EQ(g.ui.boxes().size(), 2u);
    EXPECT_EQ(g.ui.boxes()[1].prompt,
              "Il record non potrà essere conservato: " + why + " Puoi giocare lo stesso.");
    std::filesystem::remove(blocker);
    g.answer(g.key());
    g.form.cmdexit_Click();
    ASSERT_EQ(g.ui.boxes().size(), 3u);
    EXPECT_EQ(g.ui.boxes()[2].prompt, "Il record non è stato salvato: " + why);
    EXPECT_EQ(g.ui.boxes()[2].style, BoxStyle::Warning);
    EXPECT_EQ(readBytes(g.files.scorePath()), "");
    EXPECT_EQ(readBytes(g.files.namePath()), "");
    EXPECT_EQ(g.ui.endCount(), 1);
}

TEST(GameEnd, NoRecordEndsAtOnceWithoutABox)
{
    Game g;
    {
        std::ofstream(g.dir.path() / "cifrel.txt", std::ios::binary) << "3\r\n";
        std::ofstream(g.dir.path() / "ncifrel.txt", std::ios::binary) << "Bea\r\n";
    }
    g.start("Anna");
    for (int i = 0; i < 3; ++i)
        g.answer(g.key());
    const std::size_t boxes = g.ui.boxes().size();
    g.form.cmdexit_Click();
    EXPECT_EQ(g.ui.boxes().size(), boxes);
    EXPECT_EQ(g.ui.endCount(), 1);
    EXPECT_EQ(readBytes(g.files.scorePath()), "3\r\n");
    EXPECT_EQ(readBytes(g.files.namePath()), "Bea\r\n");
}

// The register's line tells the game as the window counted it, level by
// level, with the time played and how it ended; a window closed saves no
// record but is in the register, and without the register it ends nothing.
TEST(GameEnd, TheRegisterHasEachGameAsPlayed)
{
    const struct {
        const char* how;
        void (*end)(Game&);
        const char* tail;
        bool saves;
    } endings[] = {
        {"Esci", [](Game& g) { g.form.raise(&Form1Events::cmdexit_Click); }, "00:01:00;Esci;sì",
         true},
        {"clock",
         [](Game& g) {
             for (int tick = 0; tick < 841; ++tick)
                 g.form.raise(&Form1Events::Timer1_Timer);
         },
         "00:15:00;tempo scaduto;sì", true},
        {"closed", [](Game& g) { g.form.raise(&Form1Events::Form_Unload); },
         "00:01:00;finestra chiusa;no", false},
    };
    for (const auto& e : endings) {
        SCOPED_TRACE(e.how);
        Game g(true);
        g.start("=Anna; ");
        std::array<int, 3> right{}, wrong{};
        for (int i = 0; i < 4; ++i) {
            const int level = g.visibleLevel();
            ASSERT_GE(level, 1);
            std::string point = g.key();
            point[point.find(',')] = '.';
            g.answer(i % 2 ? "x" : point); // "punto" twice, "altro" twice
            ++wrong[level - 1];
            g.answer(g.key());
            ++right[level - 1];
        }
        for (int tick = 0; tick < 60; ++tick)
            g.form.raise(&Form1Events::Timer1_Timer);
        e.end(g);
        std::string counts;
        for (int level = 0; level < 3; ++level)
            counts += ";" + std::to_string(right[level]) + ";" + std::to_string(wrong[level]);
        EXPECT_EQ(readBytes(g.files.registerPath()),
                  cifrelle::records::registerHeading() + "2026-12-08;10:41:07;\"'=Anna; \";4;4" +
                      counts + ";" + e.tail + ";2;0;0;0;0;0;2;" + cifrelle::records::thisAccount() +
                      ";" + cifrelle::records::thisComputer() + "\r\n");
        EXPECT_EQ(g.ui.endCount(), 1);
        EXPECT_EQ(readBytes(g.files.scorePath()), e.saves ? "4\r\n" : "");
    }
    Game g;
    g.start();
    g.form.raise(&Form1Events::Form_Unload);
    EXPECT_EQ(g.ui.endCount(), 0);
    EXPECT_TRUE(g.form.takesEvents());
    EXPECT_FALSE(std::filesystem::exists(g.files.registerPath()));
}

// A register that cannot be written is told in one warning; the record is
// saved all the same.
TEST(GameEnd, ARegisterNotWrittenIsToldAndTheRecordIsSaved)
{
    Game g(true);
    g.start("Anna");
    std::filesystem::create_directory(g.files.registerPath());
    g.answer(g.key());
    g.form.cmdexit_Click();
    ASSERT_GE(g.ui.boxes().size(), 2u);
    const auto& boxes = g.ui.boxes();
    EXPECT_EQ(boxes[boxes.size() - 2].prompt, cifrelle::game::recordSavedMessage);
    EXPECT_EQ(boxes.back().prompt,
              "La partita non è stata scritta nel registro dell'insegnante: «" +
                  g.files.registerPath().string() +
                  "» è una cartella, non un file normale: va tolta dalla "
                  "cartella.");
    EXPECT_EQ(boxes.back().style, BoxStyle::Warning);
    EXPECT_EQ(readBytes(g.files.scorePath()), "1\r\n");
}

TEST(Menus, RecordShowsTheCaptionsAsRead)
{
    Game g;
    {
        std::ofstream(g.dir.path() / "cifrel.txt", std::ios::binary) << "12\r\n";
        std::ofstream(g.dir.path() / "ncifrel.txt", std::ios::binary) << "<b>Tom & Jerry</b>\r\n";
    }
    g.start();
    g.form.record_Click();
    const auto& box = g.ui.boxes().back();
    EXPECT_EQ(box.prompt, "Il record attualmente è di <b>Tom & Jerry</b>\r\n con punti 12\r\n");
    EXPECT_EQ(box.style, BoxStyle::Information);
    EXPECT_FALSE(box.title.has_value());
}

TEST(Menus, HelpShowsThreeBoxesInOrder)
{
    Game g;
    g.form.help_Click();
    ASSERT_EQ(g.ui.boxes().size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(g.ui.boxes()[i].prompt, cifrelle::game::helpTexts()[i]);
        EXPECT_EQ(g.ui.boxes()[i].style, BoxStyle::Information);
    }
}

} // namespace
