// SPDX-License-Identifier: GPL-3.0-or-later
#include "cifrelle/records/register.h"

#include "cifrelle/records/account.h"
#include "cifrelle/records/recordfiles.h"

#include "testfiles.h"

#include <gtest/gtest.h>

#include <algorithm>

#ifndef _WIN32
#include "cifrelle/records/account_posix.h"

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

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
    game.wrongByKind = {1, 0, 0, 1, 0, 1, 0};
    game.account = "nicolo";
    game.computer = "aula-3";
    return game;
}

// Where a game's line ends after "nuovo record": the kinds of mistakes, the
// account and the computer.
constexpr std::string_view kindsAndAccount = ";1;0;0;1;0;1;0;nicolo;aula-3\r\n";

// The heading and every line have one field per column; a register of
// the first version has the first columns' heading.
TEST(RegisterLine, TheHeadingAndTheLinesHaveEveryColumn)
{
    auto fields = [](const std::string& line) {
        return 1 + std::count(line.begin(), line.end(), ';');
    };
    GameSummary game = aGame();
    EXPECT_EQ(fields(registerHeading()), 23);
    EXPECT_EQ(fields(registerLine(game)), std::ssize(registerColumns()));
    EXPECT_EQ(fields(registerHeading()), std::ssize(registerColumns()));
    EXPECT_EQ(registerColumns()[firstRegisterColumns - 1].heading, "nuovo record");
    for (std::size_t kind = 0; kind < mistakeKinds; ++kind)
        EXPECT_EQ(registerColumns()[firstRegisterColumns + kind].heading,
                  "errori " + std::string(mistakeName(static_cast<Mistake>(kind))));
}

TEST(RegisterLine, OneGameInItsColumns)
{
    GameSummary game = aGame();
    EXPECT_EQ(registerLine(game), "2026-12-08;10:41:07;Nicolò;12;3;5;0;4;1;3;2;00:14:59;Esci;no" +
                                      std::string(kindsAndAccount));
    game.ended = {2027, 1, 2, 0, 0, 0};
    game.secondsPlayed = 15 * 60;
    game.ending = GameEnding::TimeUp;
    game.newRecord = true;
    EXPECT_EQ(registerLine(game), "2027-01-02;00:00:00;Nicolò;12;3;5;0;4;1;3;2;00:15:00;"
                                  "tempo scaduto;sì" +
                                      std::string(kindsAndAccount));
    game.ending = GameEnding::WindowClosed;
    EXPECT_NE(registerLine(game).find(";finestra chiusa;"), std::string::npos);
}

// The name field as a spreadsheet must read it: the name, as text; the
// account and the computer alike.
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
        {"SCUOLA\\Zoë", "SCUOLA\\Zoë"},
    };
    for (const auto& n : names) {
        SCOPED_TRACE(n.name);
        GameSummary game = aGame();
        game.name = n.name;
        EXPECT_EQ(registerLine(game), "2026-12-08;10:41:07;" + std::string(n.field) +
                                          ";12;3;5;0;4;1;3;2;00:14:59;Esci;no" +
                                          std::string(kindsAndAccount));
        // The account and the computer as the system names them, by the
        // same rules.
        game = aGame();
        game.account = game.computer = n.name;
        EXPECT_TRUE(registerLine(game).ends_with(";1;0;0;1;0;1;0;" + std::string(n.field) + ";" +
                                                 n.field + "\r\n"));
    }
}

namespace fs = std::filesystem;
using test::readBytes;
using test::TempDir;
using test::writeBytes;

GameSummary ended(GameEnding ending, const char* name, int right = 0)
{
    GameSummary game = aGame();
    game.name = name;
    game.ending = ending;
    game.right = right;
    return game;
}

std::string lineOf(GameSummary game, bool newRecord)
{
    game.newRecord = newRecord;
    return registerLine(game);
}

// Each game's line at the end of the register, made with its heading the
// first time; a closed window saves no record; without the school's
// setting no register at all.
TEST(Register, EveryGameAddsItsLineAfterTheSave)
{
    TempDir tmp;
    RecordFiles files(RecordFolder{tmp.path(), {}, {}, true});
    ASSERT_EQ(files.ensure(), std::nullopt);
    const GameSummary anna = ended(GameEnding::Exit, "Anna", 3);
    const GameSummary bea = ended(GameEnding::TimeUp, "Bea", 2);
    const GameSummary ugo = ended(GameEnding::WindowClosed, "Ugo", 9);
    GameEndResult result = files.endGame(anna, true);
    EXPECT_EQ(result.record.outcome, SaveOutcome::Saved);
    EXPECT_EQ(result.registerProblem, "");
    EXPECT_EQ(files.endGame(bea, true).record.outcome, SaveOutcome::NotBetter);
    result = files.endGame(ugo, false);
    EXPECT_EQ(result.record.outcome, SaveOutcome::NotBetter);
    EXPECT_EQ(result.registerProblem, "");
    EXPECT_EQ(readBytes(files.scorePath()), "3\r\n");
    EXPECT_EQ(readBytes(files.registerPath()),
              registerHeading() + lineOf(anna, true) + lineOf(bea, false) + lineOf(ugo, false));

    TempDir without;
    RecordFiles plain(without.path());
    ASSERT_EQ(plain.ensure(), std::nullopt);
    EXPECT_EQ(plain.endGame(anna, true).record.outcome, SaveOutcome::Saved);
    EXPECT_EQ(plain.endGame(ugo, false).record.outcome, SaveOutcome::NotBetter);
    EXPECT_FALSE(fs::exists(plain.registerPath()));
}

// What a crash or a full disk left is kept, and never joins the next line;
// a register that holds nothing, or only its byte-order mark, gets the
// heading, and one of the first version keeps its own.
TEST(Register, ALineCutShortStaysAndTheNextStartsOnALineOfItsOwn)
{
    const GameSummary bea = ended(GameEnding::Exit, "Bea");
    const std::string heading = registerHeading();
    // A register of the first version: its fourteen columns' heading stays.
    const std::string first = heading.substr(0, heading.find(";errori")) + "\r\n" +
                              "2026-12-07;09:00:00;Ada;1;0;1;0;0;0;0;0;00:01:00;Esci;sì\r\n";
    const struct {
        std::string before, after;
    } cases[] = {
        {"", heading + lineOf(bea, false)}, // made, then the game died
        {heading + "2026-12-08;10:4", heading + "2026-12-08;10:4\r\n" + lineOf(bea, false)},
        {heading + "x\r", heading + "x\r\n" + lineOf(bea, false)}, // no blank row
        {heading + "x\r\n", heading + "x\r\n" + lineOf(bea, false)},
        {first, first + lineOf(bea, false)},
        {"\xEF\xBB\xBF", heading + lineOf(bea, false)}, // a byte-order mark alone
        {"\xEF\xBB", heading + lineOf(bea, false)},
        {"\r", "\r\n" + lineOf(bea, false)},
        {"\xEF\xBB\xBFx", "\xEF\xBB\xBFx\r\n" + lineOf(bea, false)},
    };
    for (const auto& c : cases) {
        TempDir tmp;
        RecordFiles files(RecordFolder{tmp.path(), {}, {}, true});
        ASSERT_EQ(files.ensure(), std::nullopt);
        writeBytes(files.registerPath(), c.before);
        EXPECT_EQ(files.endGame(bea, true).registerProblem, "");
        EXPECT_EQ(readBytes(files.registerPath()), c.after);
    }
}

// Every game's line names the account and the computer the system gives.
TEST(WhoPlays, TheSystemNamesTheAccountAndTheComputer)
{
    EXPECT_NE(thisAccount(), "");
    EXPECT_NE(thisComputer(), "");
}

#ifndef _WIN32
// An account is its login name; one the password database does not know,
// its number.
TEST(WhoPlays, AnAccountIsItsLoginName)
{
    EXPECT_EQ(accountName(0), "root");
    EXPECT_EQ(accountName(2147480001), "2147480001");
}

// A register that cannot be written is told in one sentence that names it;
// the record is saved all the same, and nothing is written anywhere else.
TEST(Register, WhatCannotBeWrittenIsToldAndTheRecordIsStillSaved)
{
    const std::string opening = "La partita non è stata scritta nel registro dell'insegnante: «";
    const struct {
        const char* situation;
        void (*plant)(const fs::path& file, const fs::path& outside);
        const char* problem; // after the file's name
    } cases[] = {
        {"a link", [](const fs::path& f, const fs::path& o) { fs::create_symlink(o, f); },
         "» è un collegamento, non un file normale: va tolto dalla cartella."},
        {"a folder", [](const fs::path& f, const fs::path&) { fs::create_directory(f); },
         "» è una cartella, non un file normale: va tolta dalla cartella."},
        {"a pipe", [](const fs::path& f, const fs::path&) { ::mkfifo(f.c_str(), 0600); },
         "» non è un file normale: va tolto dalla cartella."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.situation);
        TempDir tmp;
        TempDir elsewhere;
        writeBytes(elsewhere / "other.csv", "x");
        RecordFiles files(RecordFolder{tmp.path(), {}, {}, true});
        ASSERT_EQ(files.ensure(), std::nullopt);
        c.plant(files.registerPath(), elsewhere / "other.csv");
        const GameEndResult result = files.endGame(ended(GameEnding::Exit, "Ada", 4), true);
        EXPECT_EQ(result.record.outcome, SaveOutcome::Saved);
        EXPECT_EQ(result.registerProblem, opening + files.registerPath().string() + c.problem);
        EXPECT_EQ(readBytes(elsewhere / "other.csv"), "x");
    }
}

// A write cut short (here: the file size limit, as a full disk would)
// leaves the register as it was.
TEST(Register, AFailedWriteLeavesTheRegisterAsItWas)
{
    TempDir tmp;
    RecordFiles files(RecordFolder{tmp.path(), {}, {}, true});
    ASSERT_EQ(files.ensure(), std::nullopt);
    const std::string before = registerHeading() + "2026-12-07;09:00:00;Ada\r\n";
    writeBytes(files.registerPath(), before);
    rlimit limit{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &limit), 0);
    const rlimit small{static_cast<rlim_t>(before.size() + 10), limit.rlim_max};
    const auto signal = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const GameEndResult result = files.endGame(ended(GameEnding::Exit, "Bea"), true);
    ::setrlimit(RLIMIT_FSIZE, &limit);
    std::signal(SIGXFSZ, signal);
    EXPECT_NE(result.registerProblem.find("non riesco a scrivere nel file «"), std::string::npos)
        << result.registerProblem;
    EXPECT_EQ(readBytes(files.registerPath()), before);
}

// In a folder shared by every account the register is the folder's, as
// the record files are, whatever the umask.
TEST(Register, InASharedFolderItIsTheFoldersWhateverTheUmask)
{
    TempDir tmp;
    ASSERT_EQ(::chmod(tmp.path().c_str(), 02770), 0);
    (void)!::chown(tmp.path().c_str(), static_cast<uid_t>(-1), 65534); // root: a group not ours
    const mode_t umask = ::umask(077);
    RecordFiles files(RecordFolder{tmp.path(), {}, "l'impostazione", true});
    EXPECT_EQ(files.ensure(), std::nullopt);
    EXPECT_EQ(files.endGame(ended(GameEnding::Exit, "Ada", 1), true).registerProblem, "");
    ::umask(umask);
    struct stat file, folder;
    ASSERT_EQ(::stat(files.registerPath().c_str(), &file) | ::stat(tmp.path().c_str(), &folder), 0);
    EXPECT_EQ(file.st_mode & 07777, 0660u);
    EXPECT_EQ(file.st_gid, folder.st_gid);
}

// In the player's own folder the register is that account's alone, even
// under a umask that leaves the record files readable by every account.
TEST(Register, InThePlayersOwnFolderItIsTheAccountsAloneWhateverTheUmask)
{
    TempDir tmp;
    const mode_t umask = ::umask(022);
    RecordFiles files(RecordFolder{tmp.path(), {}, {}, true});
    EXPECT_EQ(files.ensure(), std::nullopt);
    EXPECT_EQ(files.endGame(ended(GameEnding::Exit, "Ada", 1), true).registerProblem, "");
    ::umask(umask);
    struct stat file;
    ASSERT_EQ(::stat(files.registerPath().c_str(), &file), 0);
    EXPECT_EQ(file.st_mode & 07777, 0600u);
    // The record files, the lock and the register: no passing file left.
    EXPECT_EQ(std::distance(fs::directory_iterator(tmp.path()), fs::directory_iterator()), 4);
}
#endif

} // namespace
} // namespace cifrelle::records
