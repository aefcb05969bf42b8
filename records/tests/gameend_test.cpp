#include "cifrelle/records/gameend.h"

#include "testfiles.h"

#include "cifrelle/ui/fakeui.h"

#include <gtest/gtest.h>

namespace cifrelle::records {
namespace {

using test::TempDir;
using test::readBytes;
using test::writeBytes;
using ui::BoxStyle;
using ui::Control;
using ui::FakeUi;

struct Ending {
    const char* what;
    std::string stored;  // score file content at the game end
    std::string score;   // lblScore
    std::string name;    // lblnome1
    bool saves;
};

std::ostream& operator<<(std::ostream& out, const Ending& ending)
{
    return out << ending.what;
}

class GameEnd : public ::testing::TestWithParam<Ending> {};

TEST_P(GameEnd, SavesAndCongratulatesOnlyOnABetterScore)
{
    const Ending& ending = GetParam();
    TempDir tmp;
    RecordFiles files(tmp.path());
    writeBytes(files.scorePath(), ending.stored);
    writeBytes(files.namePath(), "Prima\r\n");

    FakeUi ui;
    ui.type(Control::lblScore, ending.score);
    ui.type(Control::lblnome1, ending.name);
    std::string scoreDuringBox;
    std::string nameDuringBox;
    bool timerDuringBox = true;
    ui.duringMessageBox = [&](const FakeUi::Box&) {
        scoreDuringBox = readBytes(files.scorePath());
        nameDuringBox = readBytes(files.namePath());
        timerDuringBox = ui.timerEnabled();
    };
    ui.clearLog();

    gameEnd(ui, files);

    EXPECT_EQ(ui.endCount(), 1);
    EXPECT_EQ(ui.operationsAfterEnd(), 0);
    ASSERT_FALSE(ui.log().empty());
    EXPECT_EQ(ui.log().front(), "timer off");
    EXPECT_EQ(ui.log().back(), "end");
    if (ending.saves) {
        EXPECT_EQ(readBytes(files.scorePath()), ending.score + "\r\n");
        EXPECT_EQ(readBytes(files.namePath()), encodeCp1252(ending.name) + "\r\n");
        ASSERT_EQ(ui.boxes().size(), 1u);
        EXPECT_EQ(ui.boxes()[0].prompt, "Ok ho registrato il tuo record, C A M P I O N E");
        EXPECT_EQ(ui.boxes()[0].style, BoxStyle::Plain);
        EXPECT_EQ(ui.boxes()[0].title, std::nullopt);
        // The box opens only once both files hold the new record.
        EXPECT_EQ(scoreDuringBox, ending.score + "\r\n");
        EXPECT_EQ(nameDuringBox, encodeCp1252(ending.name) + "\r\n");
        EXPECT_FALSE(timerDuringBox);
        EXPECT_EQ(ui.log().size(), 3u);
    } else {
        EXPECT_EQ(readBytes(files.scorePath()), ending.stored);
        EXPECT_EQ(readBytes(files.namePath()), "Prima\r\n");
        EXPECT_TRUE(ui.boxes().empty());
        EXPECT_EQ(ui.log().size(), 2u);
    }
    // The window keeps showing the record read at start.
    EXPECT_EQ(ui.caption(Control::lblpunti), FakeUi().caption(Control::lblpunti));
}

INSTANTIATE_TEST_SUITE_P(
    Endings, GameEnd,
    ::testing::Values(Ending{"first game, no right answer", "", "0", "Anna", false},
                      Ending{"first game, one right answer", "", "1", "Anna", true},
                      Ending{"record of 7 by Anna", "", "7", "Anna", true},
                      Ending{"equal score", "12\r\n", "12", "Bea", false},
                      Ending{"lower score", "12\r\n", "3", "Bea", false},
                      Ending{"better score", "12\r\n", "13", "Bea", true},
                      Ending{"stored text is no number", "abc\r\n", "2", "Bea", true},
                      Ending{"no name", "", "4", "", true},
                      Ending{"accented name", "", "4", "Nicolò", true},
                      Ending{"score caption not a number", "", "x", "Bea", false}));

TEST(GameEnd, ComparesWithTheFilesNotWithTheCaptionReadAtStart)
{
    TempDir tmp;
    RecordFiles files(tmp.path());
    ASSERT_EQ(files.ensure(), std::nullopt);
    FakeUi ui;
    ui.type(Control::lblpunti, ""); // start-up read no record
    ui.type(Control::lblScore, "5");
    ui.type(Control::lblnome1, "Ada");
    // Meanwhile another game on the account saved 8.
    ASSERT_EQ(RecordFiles(tmp.path()).saveIfBetter("8", "Ivo").outcome, SaveOutcome::Saved);

    gameEnd(ui, files);
    EXPECT_TRUE(ui.boxes().empty());
    EXPECT_EQ(ui.endCount(), 1);
    EXPECT_EQ(readBytes(files.scorePath()), "8\r\n");
    EXPECT_EQ(readBytes(files.namePath()), "Ivo\r\n");
}

TEST(GameEnd, AFailedSaveIsExplainedThenTheGameEnds)
{
    TempDir tmp;
    writeBytes(tmp / "blocked", "a file, not a folder");
    RecordFiles files(tmp / "blocked" / "records");
    FakeUi ui;
    ui.type(Control::lblScore, "6");
    ui.type(Control::lblnome1, "Ada");
    ui.clearLog();

    gameEnd(ui, files);

    ASSERT_EQ(ui.boxes().size(), 1u);
    const FakeUi::Box& box = ui.boxes()[0];
    EXPECT_EQ(box.style, BoxStyle::Warning);
    EXPECT_EQ(box.title, std::nullopt);
    EXPECT_EQ(box.prompt.rfind("Il record non è stato salvato: ", 0), 0u) << box.prompt;
    EXPECT_NE(box.prompt.find((tmp / "blocked" / "records").string()), std::string::npos) << box.prompt;
    EXPECT_EQ(box.prompt.find("C A M P I O N E"), std::string::npos);
    ASSERT_EQ(ui.log().size(), 3u);
    EXPECT_EQ(ui.log()[0], "timer off");
    EXPECT_EQ(ui.log()[2], "end");
    EXPECT_EQ(ui.endCount(), 1);
    EXPECT_EQ(ui.operationsAfterEnd(), 0);
}

TEST(GameEnd, EnteredAgainWhileItsBoxIsOpenSavesAndCongratulatesOnce)
{
    TempDir tmp;
    RecordFiles files(tmp.path());
    ASSERT_EQ(files.ensure(), std::nullopt);
    FakeUi ui;
    ui.type(Control::lblScore, "3");
    ui.type(Control::lblnome1, "Ada");
    int entries = 0;
    ui.duringMessageBox = [&](const FakeUi::Box&) {
        EXPECT_FALSE(ui.timerEnabled()); // no tick comes now...
        if (++entries == 1)
            gameEnd(ui, files); // ...and should one come, it saves nothing more
    };

    gameEnd(ui, files);

    EXPECT_EQ(ui.boxes().size(), 1u);
    EXPECT_EQ(readBytes(files.scorePath()), "3\r\n");
    EXPECT_EQ(readBytes(files.namePath()), "Ada\r\n");
}

} // namespace
} // namespace cifrelle::records
