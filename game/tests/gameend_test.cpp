// SPDX-License-Identifier: GPL-3.0-or-later
#include "cifrelle/game/gameend.h"

#include "cifrelle/ui/fakeui.h"
#include "scripted.h"

#include <gtest/gtest.h>

#include <chrono>

#ifndef _WIN32
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>
#endif

namespace cifrelle::game {
namespace {

using records::RecordFiles;
using records::SaveOutcome;
using testing::TempDir;
using testing::readBytes;
using testing::writeBytes;
using ui::BoxStyle;
using ui::Control;
using ui::FakeUi;

// Whether the record lock is free: another game ending now with the same
// score would neither wait for it nor write.
bool lockIsFree(const std::filesystem::path& folder, const std::string& score)
{
    struct Waits {};
    try {
        return RecordFiles(folder).saveIfBetter(score, "", [] { throw Waits{}; }).outcome ==
               SaveOutcome::NotBetter;
    } catch (const Waits&) {
        return false;
    }
}

struct Ending {
    const char* what;
    std::string stored; // score file content at the game end
    std::string score;  // lblScore
    std::string name;   // lblnome1
    bool saves;
};

TEST(GameEnd, SavesAndCongratulatesOnlyOnABetterScore)
{
    const Ending endings[] = {
        {"first game, no right answer", "", "0", "Anna", false},
        {"first game, one right answer", "", "1", "Anna", true},
        {"record of 7 by Anna", "", "7", "Anna", true},
        {"equal score", "12\r\n", "12", "Bea", false},
        {"lower score", "12\r\n", "3", "Bea", false},
        {"better score", "12\r\n", "13", "Bea", true},
        {"stored text is no number", "abc\r\n", "2", "Bea", true},
        {"no name", "", "4", "", true},
        {"accented name", "", "4", "Nicolò", true},
        {"a name with line breaks", "", "4", "Anna\r\nBea", true},
        {"score caption not a number", "", "x", "Bea", false},
    };
    for (const Ending& ending : endings) {
        SCOPED_TRACE(ending.what);
        TempDir tmp;
        RecordFiles files(tmp.path());
        writeBytes(files.scorePath(), ending.stored);
        writeBytes(files.namePath(), "Prima\r\n");
        const std::string nameBytes = ending.name == "Anna\r\nBea" ? "Anna Bea" : records::encodeCp1252(ending.name);

        FakeUi ui;
        ui.type(Control::lblScore, ending.score);
        ui.type(Control::lblnome1, ending.name);
        std::string scoreDuringBox;
        std::string nameDuringBox;
        bool timerDuringBox = true;
        bool lockFreeDuringBox = false;
        ui.duringMessageBox = [&](const FakeUi::Box&) {
            scoreDuringBox = readBytes(files.scorePath());
            nameDuringBox = readBytes(files.namePath());
            timerDuringBox = ui.timerEnabled();
            lockFreeDuringBox = lockIsFree(tmp.path(), ending.score);
        };
        ui.clearLog();

        gameEnd(ui, files);

        EXPECT_EQ(ui.endCount(), 1);
        EXPECT_EQ(ui.operationsAfterEnd(), 0);
        ASSERT_FALSE(ui.log().empty());
        EXPECT_EQ(ui.log().front(), "timer off");
        EXPECT_EQ(ui.log().back(), "end");
        EXPECT_TRUE(ui.notices().empty());
        // The window keeps the name as typed and the record read at start.
        EXPECT_EQ(ui.caption(Control::lblnome1), ending.name);
        EXPECT_EQ(ui.caption(Control::lblpunti), FakeUi().caption(Control::lblpunti));
        if (!ending.saves) {
            EXPECT_EQ(readBytes(files.scorePath()), ending.stored);
            EXPECT_EQ(readBytes(files.namePath()), "Prima\r\n");
            EXPECT_TRUE(ui.boxes().empty());
            EXPECT_EQ(ui.log().size(), 2u);
            continue;
        }
        EXPECT_EQ(readBytes(files.scorePath()), ending.score + "\r\n");
        EXPECT_EQ(readBytes(files.namePath()), nameBytes + "\r\n");
        ASSERT_EQ(ui.boxes().size(), 1u);
        EXPECT_EQ(ui.boxes()[0].prompt, "Ok ho registrato il tuo record, C A M P I O N E");
        EXPECT_EQ(ui.boxes()[0].style, BoxStyle::Plain);
        EXPECT_EQ(ui.boxes()[0].title, std::nullopt);
        // The box opens only once both files hold the new record, and the
        // save has let go of its lock.
        EXPECT_EQ(scoreDuringBox, ending.score + "\r\n");
        EXPECT_EQ(nameDuringBox, nameBytes + "\r\n");
        EXPECT_FALSE(timerDuringBox);
        EXPECT_TRUE(lockFreeDuringBox);
        EXPECT_EQ(ui.log().size(), 3u);
    }
}

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
    writeBytes(tmp.path() / "blocked", "a file, not a folder");
    RecordFiles files(tmp.path() / "blocked" / "records");
    FakeUi ui;
    ui.type(Control::lblScore, "6");
    ui.type(Control::lblnome1, "Ada");
    ui.clearLog();

    gameEnd(ui, files);

    ASSERT_EQ(ui.boxes().size(), 1u);
    const FakeUi::Box& box = ui.boxes()[0];
    EXPECT_EQ(box.style, BoxStyle::Warning);
    EXPECT_EQ(box.title, std::nullopt);
    EXPECT_EQ(box.prompt, "Il record non è stato salvato: non riesco a creare la cartella «" +
                              (tmp.path() / "blocked" / "records").string() +
                              "» (una parte del percorso non è una cartella).");
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

#ifndef _WIN32
// Another game, in another process, holds the lock for ten seconds (a slow
// USB stick): the better game waits, tells the player after a second that
// it is saving, and its record is on disk afterwards.
TEST(GameEnd, WaitsAsLongAsAnotherGameSaves)
{
    TempDir tmp;
    RecordFiles files(tmp.path());
    ASSERT_EQ(files.ensure(), std::nullopt);
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t other = ::fork();
    ASSERT_GE(other, 0);
    if (other == 0) {
        // A whole-file write lock, as any program taking fcntl() locks holds it.
        const int fd = ::open((tmp.path() / ".cifrel.lock").c_str(), O_RDWR);
        struct flock whole {};
        whole.l_type = F_WRLCK;
        whole.l_whence = SEEK_SET;
        const char ok = fd >= 0 && ::fcntl(fd, F_SETLKW, &whole) == 0 ? 'y' : 'n';
        (void)!::write(ready[1], &ok, 1);
        ::sleep(10);
        ::_exit(0);
    }
    char locked = 0;
    ASSERT_EQ(::read(ready[0], &locked, 1), 1);
    ASSERT_EQ(locked, 'y');

    using Clock = std::chrono::steady_clock;
    struct TimedUi : FakeUi {
        Clock::time_point start = Clock::now();
        std::vector<double> noticeSeconds;
        void showNotice(const std::string& text) override
        {
            noticeSeconds.push_back(std::chrono::duration<double>(Clock::now() - start).count());
            FakeUi::showNotice(text);
        }
    } ui;
    ui.type(Control::lblScore, "6");
    ui.type(Control::lblnome1, "Ada");
    gameEnd(ui, files);
    const double waited = std::chrono::duration<double>(Clock::now() - ui.start).count();
    int status = 0;
    ::waitpid(other, &status, 0);
    ::close(ready[0]);
    ::close(ready[1]);

    EXPECT_GE(waited, 9.5);
    ASSERT_GE(ui.notices().size(), 8u);
    EXPECT_EQ(ui.notices()[0], "Sto salvando il record, attendi un momento.");
    EXPECT_GE(ui.noticeSeconds[0], 0.95);
    EXPECT_LT(ui.noticeSeconds[0], 2.0);
    EXPECT_EQ(ui.log().front(), "timer off"); // the clock stood still
    ASSERT_EQ(ui.boxes().size(), 1u);
    EXPECT_EQ(ui.boxes()[0].prompt, recordSavedMessage);
    EXPECT_EQ(readBytes(files.scorePath()), "6\r\n");
    EXPECT_EQ(readBytes(files.namePath()), "Ada\r\n");
}
#endif

} // namespace
} // namespace cifrelle::game
