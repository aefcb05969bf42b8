// SPDX-License-Identifier: GPL-3.0-or-later
#include "cifrelle/records/register.h"

#include <gtest/gtest.h>

namespace cifrelle::records {
namespace {

GameSummary aGame()
{
    GameSummary game;
    game.ended = {2026, 12, 8, 10, 41, 7};
    game.name = "Nicolò";
    game.right = 12;
    game.wrong = 3;
    game.rightByLevel = {5, 4, 3};
    game.wrongByLevel = {0, 1, 2};
    game.secondsPlayed = 14 * 60 + 59;
    return game;
}

TEST(RegisterLine, OneGameInItsColumns)
{
    GameSummary game = aGame();
    EXPECT_EQ(registerLine(game), "2026-12-08;10:41:07;Nicolò;12;3;5;0;4;1;3;2;00:14:59;Esci;no\r\n");
    game.ended = {2027, 1, 2, 0, 0, 0};
    game.secondsPlayed = 15 * 60;
    game.ending = GameEnding::TimeUp;
    game.newRecord = true;
    EXPECT_EQ(registerLine(game), "2027-01-02;00:00:00;Nicolò;12;3;5;0;4;1;3;2;00:15:00;"
                                  "tempo scaduto;sì\r\n");
    game.ending = GameEnding::WindowClosed;
    EXPECT_NE(registerLine(game).find(";finestra chiusa;"), std::string::npos);
}

// The name field as a spreadsheet must read it: the name, as text.
TEST(RegisterLine, TheNameIsOneFieldAndNeverAFormula)
{
    const struct {
        const char* name;
        const char* field;
    } names[] = {
        {"", ""},
        {"Anna Maria", "Anna Maria"},
        {" Anna ", "\" Anna \""},
        {"Anna;Bea", "\"Anna;Bea\""},
        {"Bea \"la prima\"", "\"Bea \"\"la prima\"\"\""},
        {"=1+1;\"x\"", "\"'=1+1;\"\"x\"\"\""},
        {"@SUM(A1)", "'@SUM(A1)"},
        {"+39", "'+39"},
        {"-1", "'-1"},
        {"\tAnna", "'\tAnna"},
        {"\r=1+1", "\" =1+1\""}, // a line break is a blank, as in the name file
        {"Anna\r\nBea\nCarla", "Anna Bea Carla"},
        {"Zoë 李", "Zoë 李"},
        {"a=1", "a=1"},
    };
    for (const auto& n : names) {
        SCOPED_TRACE(n.name);
        GameSummary game = aGame();
        game.name = n.name;
        EXPECT_EQ(registerLine(game), "2026-12-08;10:41:07;" + std::string(n.field) +
                                          ";12;3;5;0;4;1;3;2;00:14:59;Esci;no\r\n");
    }
}

} // namespace
} // namespace cifrelle::records
