// SPDX-License-Identifier: GPL-3.0-or-later
// A save cut short at any moment must leave a whole record: the old one or
// the new one, never the score of one and the name of the other.

#include "cifrelle/records/recordfiles.h"

#include "testfiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <optional>
#include <random>
#include <thread>

#ifndef _WIN32
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace cifrelle::records {
namespace {

namespace fs = std::filesystem;
using test::HeldLock;
using test::TempDir;
using test::pending;
using test::readBytes;
using test::writeBytes;

const std::string oldScore = "5\r\n";
const std::string oldName = "Anna\r\n";
const std::string newScore = "9\r\n";
const std::string newName = "Bea\r\n";

// The files as a save leaves them when it stops at some point.
struct CrashPoint {
    const char* when;
    std::string score;
    std::optional<std::string> scorePending; // nothing: no such file
    std::optional<std::string> namePending;
    bool newRecord; // the whole record to expect afterwards
};

const CrashPoint crashPoints[] = {
    {"before anything", oldScore, std::nullopt, std::nullopt, false},
    {"score file just created", oldScore, "", std::nullopt, false},
    {"score half written", oldScore, "9", std::nullopt, false},
    {"score written", oldScore, newScore, std::nullopt, false},
    {"name file just created", oldScore, newScore, "", false},
    {"name half written", oldScore, newScore, "Be", false},
    {"both written", oldScore, newScore, newName, false},
    {"score replaced", newScore, std::nullopt, newName, true},
    {"both replaced", newScore, std::nullopt, std::nullopt, true},
};

// The record folder as a save cut short at `point` leaves it.
void leave(const RecordFiles& files, const CrashPoint& point)
{
    writeBytes(files.scorePath(), point.score);
    writeBytes(files.namePath(), point.newRecord && !point.namePending ? newName : oldName);
    if (point.scorePending)
        writeBytes(pending(files.scorePath()), *point.scorePending);
    if (point.namePending)
        writeBytes(pending(files.namePath()), *point.namePending);
}

void expectRecord(const RecordFiles& files, const std::string& score, const std::string& name)
{
    EXPECT_EQ(readBytes(files.scorePath()), score);
    EXPECT_EQ(readBytes(files.namePath()), name);
    EXPECT_FALSE(fs::exists(pending(files.scorePath())));
    EXPECT_FALSE(fs::exists(pending(files.namePath())));
}

TEST(InterruptedSave, StartUpAndTheNextSaveFindAWholeRecord)
{
    for (const CrashPoint& point : crashPoints) {
        SCOPED_TRACE(point.when);
        TempDir tmp;
        RecordFiles files(tmp.path());
        leave(files, point);
        EXPECT_EQ(files.ensure(), std::nullopt);
        expectRecord(files, point.newRecord ? newScore : oldScore,
                     point.newRecord ? newName : oldName);
        EXPECT_EQ(files.read(files.scorePath()), point.newRecord ? newScore : oldScore);

        // The next save, without a start between: 7 beats the old record
        // (5), not the new one (9).
        TempDir again;
        RecordFiles next(again.path());
        leave(next, point);
        const SaveResult result = next.saveIfBetter(7, "Ugo");
        EXPECT_EQ(result.outcome, point.newRecord ? SaveOutcome::NotBetter : SaveOutcome::Saved);
        expectRecord(next, point.newRecord ? newScore : "7\r\n",
                     point.newRecord ? newName : "Ugo\r\n");
    }
}

TEST(InterruptedSave, ASaveInProgressIsLeftAlone)
{
    for (const CrashPoint& point : crashPoints) {
        SCOPED_TRACE(point.when);
        TempDir tmp;
        RecordFiles files(tmp.path());
        leave(files, point);
        // Another game holds the lock: its files are not ours to clear.
        HeldLock other(tmp.path());
        EXPECT_EQ(files.ensure(), std::nullopt);
        EXPECT_EQ(fs::exists(pending(files.scorePath())), point.scorePending.has_value());
        EXPECT_EQ(fs::exists(pending(files.namePath())), point.namePending.has_value());
        EXPECT_EQ(readBytes(files.scorePath()), point.score);
    }
}

// Between the two renames the disk pairs the new score with the old name;
// the new name waits whole in its ".new" file until the next start.
TEST(InterruptedSave, ANameNotYetInPlaceIsCompletedAtTheNextStart)
{
    TempDir tmp;
    RecordFiles files(tmp.path());
    leave(files, crashPoints[0]);
    static fs::path name;
    name = files.namePath();
    // Just as the name's ".new" file is written, a folder takes the name
    // file's place, so that the second rename fails.
    fileops::watchOpen = [](const fs::path& path) {
        if (path == pending(name)) {
            fs::remove(name);
            fs::create_directories(name / "x");
        }
    };
    const SaveResult result = files.saveIfBetter(9, "Bea");
    fileops::watchOpen = nullptr;
#ifdef _WIN32
    const std::string why =
        "non riesco a sostituire il file «" + name.string() + "» (permesso negato)";
#else
    const std::string why =
        "«" + name.string() + "» è una cartella, non un file normale: va tolta dalla cartella";
#endif
    EXPECT_EQ(result.outcome, SaveOutcome::Failed);
    EXPECT_EQ(result.problem, "Il record è stato salvato solo in parte: " + why +
                                  ". Il nome sarà completato al prossimo avvio del gioco.");
    EXPECT_EQ(readBytes(files.scorePath()), newScore);
    EXPECT_EQ(readBytes(pending(name)), newName);
    fs::remove_all(name);
    EXPECT_EQ(files.ensure(), std::nullopt);
    expectRecord(files, newScore, newName);
}

#ifndef _WIN32
// In a shared folder a save sets its ".new" files up as the folder says. A
// pending name file that is not so (another account's 0600 file, or one a
// save was killed before setting up) is no file a save wrote: dropped, and
// the record files stay as they are.
TEST(InterruptedSave, InASharedFolderOnlyAPendingNameSetUpAsTheFolderSaysIsTaken)
{
    const CrashPoint& scoreReplaced = crashPoints[7];
    ASSERT_EQ(std::string(scoreReplaced.when), "score replaced");
    const std::pair<mode_t, bool> cases[] = {
        {0660, true}, {0600, false}, {0640, false}, {0666, false}};
    for (const auto& [mode, taken] : cases) {
        SCOPED_TRACE(mode);
        TempDir tmp;
        ASSERT_EQ(::chmod(tmp.path().c_str(), 02770), 0);
        RecordFiles files(RecordFolder{tmp.path(), {}, "l'impostazione"});
        leave(files, scoreReplaced);
        ASSERT_EQ(::chmod(pending(files.namePath()).c_str(), mode), 0);
        EXPECT_EQ(files.ensure(), std::nullopt);
        expectRecord(files, newScore, taken ? newName : oldName);
    }
}

// Every entry of the folder, sorted.
std::vector<std::string> allEntries(const fs::path& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

const std::vector<std::string> recordAndLock{std::string(lockFileName), std::string(scoreFileName),
                                             std::string(nameFileName)};

// While alive, new files are made as on a file system without unnamed
// files: under passing names.
struct PassingNames {
    PassingNames() { fileops::noUnnamedFiles = true; }
    ~PassingNames() { fileops::noUnnamedFiles = false; }
};

// While alive, files are made under this umask.
struct Umask {
    explicit Umask(mode_t mask) : before(::umask(mask)) {}
    ~Umask() { ::umask(before); }
    mode_t before;
};

// How many passing files ("cifrel.txt.tmp-Ab12Cd" and the like) are there.
int passingFiles(const fs::path& folder)
{
    int count = 0;
    for (const std::string& name : allEntries(folder))
        count += name.find(".tmp-") != std::string::npos;
    return count;
}

// Whether any regular file in the folder is rw------- (one no other
// account could open).
bool anyClosedToOthers(const fs::path& folder)
{
    for (const std::string& name : allEntries(folder)) {
        struct stat st;
        if (::lstat((folder / name).c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
            (st.st_mode & 0777) == 0600)
            return true;
    }
    return false;
}

// A game killed (SIGKILL) just before each step it takes in the folder in
// turn, the 1st, the 2nd and so on, while it starts and saves a record,
// with a pupil's umask (077): the next start finds a whole record, the old
// or the new, and leaves the record files and the lock file only. In a
// shared folder no kill leaves a file closed to the other accounts
// (rw-------) where files are set up before they have a name. Where the
// game makes files under passing names (a file system without unnamed
// files, a lock file replaced), some kills leave them, and the next start
// clears them.
TEST(KilledSave, BeforeEachStepLeavesAWholeRecordAndNothingElse)
{
    struct Setup {
        const char* what;
        bool shared;       // a 2770 folder an administrator chose
        bool recordThere;  // 5 by Anna, saved before; otherwise an empty folder
        bool readOnlyLock; // a lock file this account may only read
        bool unnamed;      // new files set up before they have a name
        bool passing;      // whether some kills leave passing files
    };
    const Setup setups[] = {
        {"own folder, first game", false, false, false, true, false},
        {"shared folder, first game", true, false, false, true, false},
        {"shared folder, first game, files named from the start", true, false, false, false, true},
        {"shared folder, a record there", true, true, false, true, false},
        // Root writes any file: run as a player (records_crash_as_player).
        {"shared folder, a read-only lock file", true, true, true, true, true},
    };
    const PassingNames restored; // after the last setup
    const Umask pupils(077);
    for (const Setup& setup : setups) {
        if (setup.readOnlyLock && ::geteuid() == 0)
            continue;
        SCOPED_TRACE(setup.what);
        fileops::noUnnamedFiles = !setup.unnamed;
        const std::string before[2] = {setup.recordThere ? oldScore : "",
                                       setup.recordThere ? oldName : ""};
        int leftPassing = 0;
        for (int step = 1;; ++step) {
            ASSERT_LT(step, 200);
            TempDir tmp;
            if (setup.shared) {
                ASSERT_EQ(::chmod(tmp.path().c_str(), 02770), 0);
            }
            const RecordFolder where{tmp.path(), {}, setup.shared ? "l'impostazione" : ""};
            if (setup.recordThere) {
                ASSERT_EQ(RecordFiles(where).saveIfBetter(5, "Anna").outcome, SaveOutcome::Saved);
            }
            if (setup.readOnlyLock)
                fs::permissions(tmp / lockFileName, fs::perms::owner_read);
            const pid_t child = ::fork();
            ASSERT_GE(child, 0);
            if (child == 0) {
                static int stepsLeft;
                stepsLeft = step;
                fileops::watchStep = [](std::string_view, const fs::path&) {
                    if (--stepsLeft == 0)
                        ::raise(SIGKILL);
                };
                RecordFiles files(where);
                files.ensure();
                files.saveIfBetter(9, "Bea");
                ::_exit(0);
            }
            int status = 0;
            ::waitpid(child, &status, 0);
            leftPassing += passingFiles(tmp.path());
            if (setup.shared && setup.unnamed) {
                EXPECT_FALSE(anyClosedToOthers(tmp.path())) << "step " << step;
            }

            RecordFiles next(where);
            EXPECT_EQ(next.ensure(), std::nullopt) << "step " << step;
            const std::string record[2] = {readBytes(next.scorePath()), readBytes(next.namePath())};
            const bool saved = record[0] == newScore && record[1] == newName;
            EXPECT_TRUE(saved || (record[0] == before[0] && record[1] == before[1]))
                << "step " << step << ": " << record[0] << "|" << record[1];
            EXPECT_EQ(allEntries(tmp.path()), recordAndLock) << "step " << step;
            if (!WIFSIGNALED(status)) { // every step taken: the game saved
                EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
                EXPECT_TRUE(saved);
                EXPECT_GT(step, 10);
                break;
            }
        }
        EXPECT_EQ(leftPassing > 0, setup.passing);
    }
}

// A passing file that a game is still making is not litter: another game's
// start leaves it alone, and the next start after that game is gone clears
// it.
TEST(KilledSave, APassingFileStillBeingMadeIsLeftAlone)
{
    const PassingNames passingNames;
    TempDir tmp;
    ASSERT_EQ(::chmod(tmp.path().c_str(), 02770), 0);
    const RecordFolder where{tmp.path(), {}, "l'impostazione"};
    int stopped[2];
    ASSERT_EQ(::pipe(stopped), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Stops for good just before linking its new lock file into place.
        static int tell;
        tell = stopped[1];
        fileops::watchStep = [](std::string_view step, const fs::path&) {
            if (step == "link") {
                (void)!::write(tell, "s", 1);
                for (;;)
                    ::pause();
            }
        };
        RecordFiles(where).ensure();
        ::_exit(1);
    }
    char s = 0;
    ASSERT_EQ(::read(stopped[0], &s, 1), 1);
    ::close(stopped[0]);
    ::close(stopped[1]);
    ASSERT_EQ(passingFiles(tmp.path()), 1);

    EXPECT_EQ(RecordFiles(where).ensure(), std::nullopt);
    EXPECT_EQ(passingFiles(tmp.path()), 1);
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    EXPECT_EQ(RecordFiles(where).ensure(), std::nullopt);
    EXPECT_EQ(allEntries(tmp.path()), recordAndLock);
}

// A passing file taken away before it is linked into place (by hand: no
// game takes one its maker holds) is made again.
TEST(KilledSave, APassingFileTakenAwayIsMadeAgain)
{
    const PassingNames passingNames;
    TempDir tmp;
    ASSERT_EQ(::chmod(tmp.path().c_str(), 02770), 0);
    static fs::path folder;
    static int taken;
    folder = tmp.path();
    taken = 0;
    fileops::watchStep = [](std::string_view step, const fs::path&) {
        for (const std::string& name : allEntries(folder)) {
            if (step == "link" && taken == 0 && name.find(".tmp-") != std::string::npos)
                taken += fs::remove(folder / name);
        }
    };
    RecordFiles files(RecordFolder{tmp.path(), {}, "l'impostazione"});
    EXPECT_EQ(files.ensure(), std::nullopt);
    fileops::watchStep = nullptr;
    EXPECT_EQ(taken, 1);
    EXPECT_EQ(allEntries(tmp.path()), recordAndLock);
}

// Only the game's own passing names are cleared ("cifrel.txt",
// "ncifrel.txt" or ".cifrel.lock", then ".tmp-" and six letters or digits),
// and nothing at one is followed: a link or a pipe is itself removed, a
// folder stays and stops nothing, a file like the teacher's
// "cifrel.txt.giugno" stays.
TEST(KilledSave, OnlyTheGamesOwnPassingNamesAreCleared)
{
    TempDir tmp;
    fs::create_directory(tmp / "outside");
    writeBytes(tmp / "outside" / "target.txt", "keep");
    RecordFiles files(tmp / "records");
    ASSERT_EQ(files.ensure(), std::nullopt);
    const fs::path folder = files.directory();
    writeBytes(folder / "cifrel.txt.tmp-Ab12Cd", "left");
    fs::create_symlink(tmp / "outside" / "target.txt", folder / "ncifrel.txt.tmp-Link01");
    ASSERT_EQ(::mkfifo((folder / ".cifrel.lock.tmp-Pipe01").c_str(), 0600), 0);
    fs::create_directory(folder / "cifrel.txt.tmp-Fold01");
    const std::vector<std::string> others{"cifrel.txt.giugno", "cifrel.txt.tmp-Ab12C",
                                          "cifrel.txt.tmp-Ab12Cde", "cifrel.txt.tmp-Ab_2Cd",
                                          "xcifrel.txt.tmp-Ab12Cd"};
    for (const std::string& name : others)
        writeBytes(folder / name, "mine");

    EXPECT_EQ(files.ensure(), std::nullopt);
    EXPECT_EQ(files.saveIfBetter(4, "Ada").outcome, SaveOutcome::Saved);
    std::vector<std::string> expected = recordAndLock;
    expected.insert(expected.end(), others.begin(), others.end());
    expected.push_back("cifrel.txt.tmp-Fold01");
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(allEntries(folder), expected);
    EXPECT_EQ(readBytes(tmp / "outside" / "target.txt"), "keep");
}

// A folder flooded with passing names is cleared a part at a time: each
// clean-up looks at no more files than its budget, and with no time at all
// at the few it always looks at.
TEST(KilledSave, AFloodOfPassingNamesIsClearedAPartAtATime)
{
    TempDir tmp;
    for (int i = 0; i < 300; ++i) {
        char random[7];
        std::snprintf(random, sizeof random, "F%05d", i);
        writeBytes(tmp / (std::string(scoreFileName) + ".tmp-" + random), "");
    }
    fileops::Folder folder;
    ASSERT_FALSE(folder.open(tmp.path()));
    using std::chrono::milliseconds;
    folder.clearPassing({scoreFileName}, {500, milliseconds(0)});
    std::vector<int> left{passingFiles(tmp.path())};
    while (left.back() > 0 && left.size() < 10) {
        folder.clearPassing({scoreFileName}, {100, milliseconds(60000)});
        left.push_back(passingFiles(tmp.path()));
    }
    EXPECT_EQ(left, (std::vector<int>{284, 184, 84, 0}));
}

// A game killed at random moments while it saves record after record: after
// each kill the next start finds a score and a name of the same record, and
// nothing but the record files and the lock file.
TEST(KilledSave, AlwaysLeavesAWholeRecord)
{
    TempDir tmp;
    std::mt19937 random(4242);
    int last = 0;
    for (int round = 0; round < 40; ++round) {
        int running[2];
        ASSERT_EQ(::pipe(running), 0);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            RecordFiles files(tmp.path());
            (void)!::write(running[1], "r", 1);
            for (int score = last + 1;; ++score)
                files.saveIfBetter(score, "Giocatore " + std::to_string(score));
        }
        // The kill comes at any moment of the saves, once the child runs
        // (starting it may take long on a busy machine).
        char r;
        ASSERT_EQ(::read(running[0], &r, 1), 1);
        ::close(running[0]);
        ::close(running[1]);
        std::this_thread::sleep_for(std::chrono::microseconds(random() % 40000));
        ::kill(child, SIGKILL);
        int status = 0;
        ::waitpid(child, &status, 0);

        RecordFiles files(tmp.path());
        ASSERT_EQ(files.ensure(), std::nullopt);
        const std::string score = readBytes(files.scorePath());
        const std::string name = readBytes(files.namePath());
        if (score.empty()) {
            EXPECT_EQ(name, "") << "round " << round;
            continue;
        }
        ASSERT_GE(score.size(), 3u);
        ASSERT_EQ(score.substr(score.size() - 2), "\r\n");
        const int saved = std::stoi(score);
        EXPECT_GE(saved, last) << "round " << round;
        EXPECT_EQ(name, "Giocatore " + std::to_string(saved) + "\r\n") << "round " << round;
        EXPECT_EQ(allEntries(tmp.path()), recordAndLock) << "round " << round;
        last = saved;
    }
    EXPECT_GT(last, 0); // the kills did not all come before the first save
}
#endif // no fork() on Windows

} // namespace
} // namespace cifrelle::records
