// SPDX-License-Identifier: GPL-3.0-or-later
#include "cifrelle/game/gameend.h"

#include "cifrelle/ui/fake/fakeui.h"
#include "scripted.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <vector>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/wait.h>
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
bool lockIsFree(const std::filesystem::path& folder, int score)
{
    return RecordFiles(folder).saveIfBetter(score, "", [](auto) { return false; }).outcome ==
           SaveOutcome::NotBetter;
}

// A game ended with `right` right answers by the player `name`.
records::GameSummary played(int right, std::string name)
{
    records::GameSummary game;
    game.right = right;
    game.name = std::move(name);
    return game;
}

struct Ending {
    const char* what;
    std::string stored; // score file content at the game end
    int score;          // right answers
    std::string name;   // as typed
    bool saves;
};

TEST(GameEnd, SavesAndCongratulatesOnlyOnABetterScore)
{
    const Ending endings[] = {
        {"first game, no right answer", "", 0, "Anna", false},
        {"first game, one right answer", "", 1, "Anna", true},
        {"record of 7 by Anna", "", 7, "Anna", true},
        {"equal score", "12\r\n", 12, "Bea", false},
        {"lower score", "12\r\n", 3, "Bea", false},
        {"better score", "12\r\n", 13, "Bea", true},
        {"stored text is no number", "abc\r\n", 2, "Bea", true},
        {"no name", "", 4, "", true},
        {"accented name", "", 4, "Nicolò", true},
        {"a name with line breaks", "", 4, "Anna\r\nBea", true},
    };
    for (const Ending& ending : endings) {
        SCOPED_TRACE(ending.what);
        TempDir tmp;
        RecordFiles files(tmp.path());
        writeBytes(files.scorePath(), ending.stored);
        writeBytes(files.namePath(), "Prima\r\n");
        const std::string nameBytes =
            ending.name == "Anna\r\nBea" ? "Anna Bea" : records::encodeCp1252(ending.name);

        FakeUi ui;
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

        gameEnd(ui, files, played(ending.score, ending.name));

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
        EXPECT_EQ(readBytes(files.scorePath()), std::to_string(ending.score) + "\r\n");
        EXPECT_EQ(readBytes(files.namePath()), nameBytes + "\r\n");
        ASSERT_EQ(ui.boxes().size(), 1u);
        EXPECT_EQ(ui.boxes()[0].prompt, "Ok ho registrato il tuo record, C A M P I O N E");
        EXPECT_EQ(ui.boxes()[0].style, BoxStyle::Plain);
        EXPECT_EQ(ui.boxes()[0].title, std::nullopt);
        // The box opens only once both files hold the new record, and the
        // save has let go of its lock.
        EXPECT_EQ(scoreDuringBox, std::to_string(ending.score) + "\r\n");
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
    // Meanwhile another game on the account saved 8.
    ASSERT_EQ(RecordFiles(tmp.path()).saveIfBetter(8, "Ivo").outcome, SaveOutcome::Saved);

    gameEnd(ui, files, played(5, "Ada"));
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
    ui.clearLog();

    gameEnd(ui, files, played(6, "Ada"));

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

// After start-up said the record cannot be kept (here as the reading of a
// record file says it), nothing is saved, not even a better score, which is
// told why in the start's words; a score that is no record hears nothing.
TEST(GameEnd, AfterAProblemAtStartSavesNothing)
{
    const std::string startProblem =
        "Il record non potrà essere conservato: non riesco a leggere il file «ncifrel.txt».";
    const std::pair<int, bool> scores[] = {{4, true}, {0, false}};
    for (const auto& [score, told] : scores) {
        SCOPED_TRACE(score);
        TempDir tmp;
        RecordFiles files(tmp.path());
        ASSERT_EQ(files.ensure(), std::nullopt);
        FakeUi ui;
        gameEnd(ui, files, played(score, "Ada"), startProblem);
        EXPECT_EQ(readBytes(files.scorePath()), "");
        EXPECT_EQ(readBytes(files.namePath()), "");
        EXPECT_EQ(ui.endCount(), 1);
        ASSERT_EQ(ui.boxes().size(), told ? 1u : 0u);
        if (told) {
            EXPECT_EQ(ui.boxes()[0].prompt,
                      "Il record non è stato salvato: non riesco a leggere il file «ncifrel.txt».");
            EXPECT_EQ(ui.boxes()[0].style, BoxStyle::Warning);
        }
    }
}

TEST(GameEnd, EnteredAgainWhileItsBoxIsOpenSavesAndCongratulatesOnce)
{
    TempDir tmp;
    RecordFiles files(tmp.path());
    ASSERT_EQ(files.ensure(), std::nullopt);
    FakeUi ui;
    int entries = 0;
    ui.duringMessageBox = [&](const FakeUi::Box&) {
        EXPECT_FALSE(ui.timerEnabled()); // no tick comes now...
        if (++entries == 1)
            gameEnd(ui, files, played(3, "Ada")); // ...and should one come, it saves nothing more
    };

    gameEnd(ui, files, played(3, "Ada"));

    EXPECT_EQ(ui.boxes().size(), 1u);
    EXPECT_EQ(readBytes(files.scorePath()), "3\r\n");
    EXPECT_EQ(readBytes(files.namePath()), "Ada\r\n");
}

#ifndef _WIN32
// Another game, in another process, holds the lock for three seconds (a slow
// USB stick). The better game waits; its window keeps answering from the
// first moment, yet nothing the player does counts: an answer by Enter and by
// "verifica", a second "Esci", a tick. After a second the player is told it
// is saving; the notice is gone before the box; the score saved is the one
// on the screen.
TEST(GameEnd, WaitsAsLongAsAnotherGameSavesAndNothingCountsMeanwhile)
{
    testing::Game g;
    g.start("Ada");
    for (int i = 0; i < 6; ++i)
        g.answer(g.key());
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t other = ::fork();
    ASSERT_GE(other, 0);
    if (other == 0) {
        // A whole-file write lock, as any program taking fcntl() locks holds it.
        const int fd = ::open((g.dir.path() / ".cifrel.lock").c_str(), O_RDWR);
        struct flock whole {};
        whole.l_type = F_WRLCK;
        whole.l_whence = SEEK_SET;
        const char ok = fd >= 0 && ::fcntl(fd, F_SETLKW, &whole) == 0 ? 'y' : 'n';
        (void)!::write(ready[1], &ok, 1);
        ::sleep(3);
        ::_exit(0);
    }
    char locked = 0;
    ASSERT_EQ(::read(ready[0], &locked, 1), 1);
    ASSERT_EQ(locked, 'y');

    using Clock = std::chrono::steady_clock;
    const Clock::time_point start = Clock::now();
    const auto since = [start] {
        return std::chrono::duration<double>(Clock::now() - start).count();
    };
    std::vector<double> answered; // when the window handled its events
    double toldAt = -1;
    g.ui.duringDoEvents = [&] {
        answered.push_back(since());
        if (toldAt < 0 && g.ui.noticeShown())
            toldAt = answered.back();
        g.answer(g.key());
        g.form.raise(&ui::Form1Events::cmdverifica_Click);
        g.form.raise(&ui::Form1Events::cmdexit_Click);
        g.form.raise(&ui::Form1Events::Timer1_Timer);
    };
    bool noticeDuringBox = true;
    g.ui.duringMessageBox = [&](const FakeUi::Box&) { noticeDuringBox = g.ui.noticeShown(); };
    const std::string shown = g.ui.caption(Control::lblScore);
    const std::string clock = g.ui.caption(Control::lblconto);
    g.form.raise(&ui::Form1Events::cmdexit_Click);
    const double waited = since();
    int status = 0;
    ::waitpid(other, &status, 0);
    ::close(ready[0]);
    ::close(ready[1]);

    EXPECT_GE(waited, 2.5);
    // Never a long while without an answer (the events were once left
    // waiting for the first second).
    ASSERT_FALSE(answered.empty());
    double longest = answered.front();
    for (std::size_t i = 1; i < answered.size(); ++i)
        longest = std::max(longest, answered[i] - answered[i - 1]);
    EXPECT_LT(longest, 0.5);
    EXPECT_EQ(g.ui.notices(), std::vector<std::string>{std::string(savingNotice)});
    EXPECT_EQ(std::count(g.ui.log().begin(), g.ui.log().end(), "wayOut Esci senza salvare"), 0);
    EXPECT_GE(toldAt, 0.95);
    EXPECT_LT(toldAt, 2.0);
    EXPECT_FALSE(noticeDuringBox);
    EXPECT_FALSE(g.ui.noticeShown());
    // Nothing counted: the score, the wrong answers and the clock stood still.
    EXPECT_EQ(shown, "6");
    EXPECT_EQ(g.ui.caption(Control::lblScore), shown);
    EXPECT_EQ(g.ui.caption(Control::lblScore1), "0");
    EXPECT_EQ(g.ui.caption(Control::lblconto), clock);
    EXPECT_FALSE(g.ui.timerEnabled());
    EXPECT_EQ(g.ui.boxes().back().prompt, recordSavedMessage);
    EXPECT_EQ(g.ui.boxes().size(), 2u); // the greeting, then the record
    EXPECT_EQ(g.ui.endCount(), 1);
    EXPECT_EQ(g.ui.operationsAfterEnd(), 0);
    EXPECT_EQ(readBytes(g.files.scorePath()), shown + "\r\n");
    EXPECT_EQ(readBytes(g.files.namePath()), "Ada\r\n");
}

// A read lock on the lock file, as any account that may read it can take
// (a classmate's program holding it for good), through a descriptor of its
// own: it stops every game's save as another process's would.
class HeldLock {
public:
    explicit HeldLock(const std::filesystem::path& folder)
        : fd_(::open((folder / records::lockFileName).c_str(), O_RDONLY))
    {
        struct flock whole {};
        whole.l_type = F_RDLCK;
        whole.l_whence = SEEK_SET;
        if (fd_ < 0 || ::fcntl(fd_, F_OFD_SETLK, &whole) != 0)
            throw std::runtime_error("cannot take the lock");
    }
    ~HeldLock() { ::close(fd_); }
    HeldLock(const HeldLock&) = delete;
    HeldLock& operator=(const HeldLock&) = delete;

private:
    int fd_;
};

// While the lock is held for good, the notice comes after its wait and the
// way out only after the next. Taken (its button, or the window closed even
// before the notice), it ends the game with one box that says why, and the
// record files stay as they were; not taken, the game keeps waiting and
// saves once the lock is let go. (The waits are shortened here: 10 s in
// the game.)
TEST(GameEnd, TheWayOutOfAWaitLeavesTheRecordAsItWas)
{
    using namespace std::chrono_literals;
    const SavingWaits waits{60ms, 240ms};
    struct Case {
        const char* what;
        bool takenWhenOffered;
        bool takenAtOnce; // the window closed at the first moment
        bool letGo;       // the lock let go after the offer
        // With the teacher's register kept, a game ended by "Esci" or by
        // its window closed: neither its record nor its line is written.
        bool keepRegister = false;
        records::GameEnding ending = records::GameEnding::Exit;
        const char* told = "Il record non è stato salvato";
    };
    const Case cases[] = {
        {"the button pressed", true, false, false},
        {"the window closed before the notice", false, true, false},
        {"nobody presses it", false, false, true},
        {"the button pressed, the register kept", true, false, false, true,
         records::GameEnding::Exit,
         "Il record non è stato salvato, né la partita scritta nel registro dell'insegnante"},
        {"the window closed from its title bar, the register kept", true, false, false, true,
         records::GameEnding::WindowClosed,
         "La partita non è stata scritta nel registro dell'insegnante"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir tmp;
        RecordFiles files(records::RecordFolder{tmp.path(), {}, {}, c.keepRegister});
        ASSERT_EQ(files.ensure(), std::nullopt);
        writeBytes(files.scorePath(), "3\r\n");
        writeBytes(files.namePath(), "Bea\r\n");
        std::optional<HeldLock> other(std::in_place, tmp.path());
        FakeUi ui;

        ui.takeWayOutWhenOffered = c.takenWhenOffered;
        if (c.takenAtOnce)
            ui.takeWayOut();

        using Clock = std::chrono::steady_clock;
        const Clock::time_point start = Clock::now();
        Clock::duration toldAt{}, offeredAt{};
        ui.duringDoEvents = [&] {
            const Clock::duration now = Clock::now() - start;
            if (toldAt == Clock::duration{} && ui.noticeShown())
                toldAt = now;
            if (offeredAt == Clock::duration{} && ui.wayOut())
                offeredAt = now;
            if (c.letGo && offeredAt != Clock::duration{} && now > offeredAt + 100ms)
                other.reset();
        };
        bool noticeDuringBox = true;
        ui.duringMessageBox = [&](const FakeUi::Box&) { noticeDuringBox = ui.noticeShown(); };
        ui.clearLog();

        records::GameSummary game = played(4, "Ada");
        game.ending = c.ending;
        gameEnd(ui, files, game, std::nullopt, waits);

        EXPECT_EQ(ui.endCount(), 1);
        EXPECT_EQ(ui.operationsAfterEnd(), 0);
        ASSERT_EQ(ui.boxes().size(), 1u);
        EXPECT_FALSE(noticeDuringBox);
        if (c.takenAtOnce) {
            EXPECT_TRUE(ui.notices().empty());
        } else {
            EXPECT_EQ(ui.notices(), std::vector<std::string>{std::string(savingNotice)});
            EXPECT_GE(toldAt, waits.notice);
            EXPECT_GE(offeredAt, waits.notice + waits.wayOut);
            EXPECT_NE(std::find(ui.log().begin(), ui.log().end(), "wayOut Esci senza salvare"),
                      ui.log().end());
        }
        if (c.letGo) {
            EXPECT_EQ(ui.boxes()[0].prompt, recordSavedMessage);
            EXPECT_EQ(readBytes(files.scorePath()), "4\r\n");
            EXPECT_EQ(readBytes(files.namePath()), "Ada\r\n");
            continue;
        }
        EXPECT_EQ(ui.boxes()[0].prompt,
                  std::string(c.told) + ": il file «" + (tmp.path() / ".cifrel.lock").string() +
                      "» era occupato da un'altra partita o da un altro programma, e hai scelto "
                      "di uscire senza aspettare.");
        EXPECT_EQ(ui.boxes()[0].style, BoxStyle::Warning);
        EXPECT_EQ(readBytes(files.scorePath()), "3\r\n");
        EXPECT_EQ(readBytes(files.namePath()), "Bea\r\n");
        EXPECT_EQ(
            std::vector<std::filesystem::path>(std::filesystem::directory_iterator(tmp.path()), {})
                .size(),
            3u); // the record files and the lock file: nothing half-written
    }
}

// A game the desktop session ended shows nothing: with the lock free its
// line is in the register; with the lock held for good it gives up after
// the notice's wait, without its line.
TEST(GameEnd, TheSessionsEndShowsNothingAndWaitsBriefly)
{
    using namespace std::chrono_literals;
    for (const bool held : {false, true}) {
        SCOPED_TRACE(held ? "the lock held" : "the lock free");
        TempDir tmp;
        RecordFiles files(records::RecordFolder{tmp.path(), {}, {}, true});
        ASSERT_EQ(files.ensure(), std::nullopt);
        std::optional<HeldLock> other;
        if (held)
            other.emplace(tmp.path());
        FakeUi ui;
        records::GameSummary game = played(4, "Ada");
        game.ending = records::GameEnding::SessionClosed;
        const auto start = std::chrono::steady_clock::now();
        gameEnd(ui, files, game, std::nullopt, SavingWaits{100ms, 10s});
        const auto took = std::chrono::steady_clock::now() - start;
        EXPECT_EQ(ui.endCount(), 1);
        EXPECT_TRUE(ui.boxes().empty());
        EXPECT_TRUE(ui.notices().empty());
        EXPECT_EQ(readBytes(files.scorePath()), "");
        const std::string line = std::filesystem::exists(files.registerPath())
                                     ? readBytes(files.registerPath())
                                     : std::string();
        EXPECT_EQ(line.find(";sessione chiusa;no;") != std::string::npos, !held) << line;
        if (held) {
            EXPECT_GE(took, 100ms);
            EXPECT_LT(took, 5s);
        }
    }
}
#endif

} // namespace
} // namespace cifrelle::game
