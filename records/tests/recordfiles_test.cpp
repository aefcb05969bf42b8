#include "cifrelle/records/recordfiles.h"

#include "testfiles.h"

#include <QCoreApplication>
#include <QStandardPaths>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <random>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace cifrelle::records {
namespace {

namespace fs = std::filesystem;
using test::TempDir;
using test::pending;
using test::readBytes;
using test::writeBytes;

// The record directory's entries, other than the lock file.
std::vector<std::string> entries(const fs::path& directory)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(directory)) {
        const std::string name = entry.path().filename().string();
        if (name != lockFileName)
            names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

const std::vector<std::string> justTheRecord{std::string(scoreFileName), std::string(nameFileName)};

// --- ensure() ---------------------------------------------------------------

TEST(RecordFilesEnsure, CreatesTheDirectoryAndBothFilesEmpty)
{
    TempDir tmp;
    RecordFiles files(tmp / "a" / "b" / "cifrelle");
    EXPECT_EQ(files.ensure(), std::nullopt);
    EXPECT_TRUE(fs::is_directory(files.directory()));
    EXPECT_EQ(files.scorePath(), files.directory() / "cifrel.txt");
    EXPECT_EQ(files.namePath(), files.directory() / "ncifrel.txt");
    EXPECT_EQ(readBytes(files.scorePath()), "");
    EXPECT_EQ(readBytes(files.namePath()), "");
    EXPECT_EQ(entries(files.directory()), justTheRecord);
}

TEST(RecordFilesEnsure, CreatesOnlyTheMissingFile)
{
    TempDir tmp;
    RecordFiles files(tmp.path());
    writeBytes(files.scorePath(), "4\r\n");
    EXPECT_EQ(files.ensure(), std::nullopt);
    EXPECT_EQ(readBytes(files.scorePath()), "4\r\n");
    EXPECT_EQ(readBytes(files.namePath()), "");
}

class EnsureKeepsContent : public ::testing::TestWithParam<std::string> {};

TEST_P(EnsureKeepsContent, ByteForByte)
{
    TempDir tmp;
    RecordFiles files(tmp.path());
    writeBytes(files.scorePath(), GetParam());
    writeBytes(files.namePath(), GetParam());
    EXPECT_EQ(files.ensure(), std::nullopt);
    EXPECT_EQ(files.ensure(), std::nullopt);
    EXPECT_EQ(readBytes(files.scorePath()), GetParam());
    EXPECT_EQ(readBytes(files.namePath()), GetParam());
}

INSTANTIATE_TEST_SUITE_P(Contents, EnsureKeepsContent,
                         ::testing::Values(std::string(), std::string("12\r\n"), std::string("7"),
                                           std::string("Anna\r\nBea\r\n"), std::string("\xFF\x00\x81\r", 4),
                                           std::string(70000, 'x')));

// --- read() -----------------------------------------------------------------

struct ReadCase {
    std::string bytes;
    std::string text;
};

class RecordFilesRead : public ::testing::TestWithParam<ReadCase> {};

TEST_P(RecordFilesRead, GivesTheWholeContentLineEndIncluded)
{
    TempDir tmp;
    RecordFiles files(tmp.path());
    writeBytes(files.scorePath(), GetParam().bytes);
    EXPECT_EQ(files.read(files.scorePath()), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Contents, RecordFilesRead,
    ::testing::Values(ReadCase{"", ""}, ReadCase{"12\r\n", "12\r\n"}, ReadCase{"7", "7"},
                      ReadCase{"Anna\r\n", "Anna\r\n"}, ReadCase{"Nicol\xF2\r\n", "Nicolò\r\n"},
                      ReadCase{"\r\n", "\r\n"}, ReadCase{"a\r\nb\r\n", "a\r\nb\r\n"},
                      ReadCase{std::string("\0\x01\x80\xFF", 4), std::string("\0\x01€ÿ", 7)}));

TEST(RecordFilesRead, EveryByteComesBackThroughTheCodePage)
{
    TempDir tmp;
    RecordFiles files(tmp.path());
    std::string all;
    for (int round = 0; round < 3; ++round)
        for (int b = 0; b < 256; ++b)
            all += static_cast<char>(b);
    writeBytes(files.namePath(), all);
    const std::optional<std::string> text = files.read(files.namePath());
    ASSERT_TRUE(text);
    EXPECT_EQ(encodeCp1252(*text), all);
}

TEST(RecordFilesRead, NothingForWhatIsNotAReadableFile)
{
    TempDir tmp;
    RecordFiles files(tmp.path());
    fs::create_directory(files.scorePath());
    EXPECT_EQ(files.read(files.scorePath()), std::nullopt);
    EXPECT_EQ(files.read(files.namePath()), std::nullopt); // missing
    fs::create_symlink(tmp / "nowhere", files.namePath());
    EXPECT_EQ(files.read(files.namePath()), std::nullopt);
}

TEST(RecordFilesRead, APipeInPlaceOfTheFileDoesNotHang)
{
    TempDir tmp;
    RecordFiles files(tmp.path());
    ASSERT_EQ(::mkfifo(files.scorePath().c_str(), 0600), 0);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(files.read(files.scorePath()), std::nullopt);
    EXPECT_NE(files.ensure(), std::nullopt);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
}

TEST(RecordFilesRead, AHugeFileIsReadQuicklyUpToTheLimit)
{
    TempDir tmp;
    RecordFiles files(tmp.path());
    constexpr std::size_t size = 50u * 1024 * 1024;
    std::string content = "999 ";
    content.resize(size, 'A');
    content[readLimit] = 'B'; // the first byte beyond the limit
    writeBytes(files.scorePath(), content);
    content.clear();
    content.shrink_to_fit();

    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(files.ensure(), std::nullopt);
    const std::optional<std::string> text = files.read(files.scorePath());
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));

    ASSERT_TRUE(text);
    EXPECT_EQ(text->size(), readLimit);
    EXPECT_EQ(text->substr(0, 4), "999 ");
    EXPECT_EQ(text->find('B'), std::string::npos);
    EXPECT_EQ(fs::file_size(files.scorePath()), size);

    // Its leading number still counts as the record.
    EXPECT_EQ(files.saveIfBetter("998", "Bea").outcome, SaveOutcome::NotBetter);
    EXPECT_EQ(fs::file_size(files.scorePath()), size);
    EXPECT_EQ(files.saveIfBetter("1000", "Bea").outcome, SaveOutcome::Saved);
    EXPECT_EQ(readBytes(files.scorePath()), "1000\r\n");
}

// --- saveIfBetter(): bytes ---------------------------------------------------

struct SavedBytes {
    std::string score;
    std::string name;
    std::string scoreBytes;
    std::string nameBytes;
};

std::ostream& operator<<(std::ostream& out, const SavedBytes& s)
{
    return out << s.score << " by \"" << s.name << "\"";
}

class SaveWrites : public ::testing::TestWithParam<SavedBytes> {};

TEST_P(SaveWrites, OneLineEndedByCrLfInTheCodePage)
{
    TempDir tmp;
    RecordFiles files(tmp.path());
    ASSERT_EQ(files.ensure(), std::nullopt);
    const SaveResult result = files.saveIfBetter(GetParam().score, GetParam().name);
    EXPECT_EQ(result.outcome, SaveOutcome::Saved) << result.problem;
    EXPECT_EQ(result.problem, "");
    EXPECT_EQ(readBytes(files.scorePath()), GetParam().scoreBytes);
    EXPECT_EQ(readBytes(files.namePath()), GetParam().nameBytes);
    EXPECT_EQ(entries(tmp.path()), justTheRecord);
}

INSTANTIATE_TEST_SUITE_P(
    Records, SaveWrites,
    ::testing::Values(SavedBytes{"7", "Anna", "\x37\x0D\x0A", "\x41\x6E\x6E\x61\x0D\x0A"},
                      SavedBytes{"1", "", "1\r\n", "\r\n"},
                      SavedBytes{"23", " Anna  Maria ", "23\r\n", " Anna  Maria \r\n"},
                      SavedBytes{"12", "Nicolò", "12\r\n", "Nicol\xF2\r\n"},
                      SavedBytes{"3", "Zoë 名", "3\r\n", "Zo\xEB ?\r\n"},
                      SavedBytes{"5", "<b>&amp;</b>", "5\r\n", "<b>&amp;</b>\r\n"}));

TEST(SaveWrites, TheRecordReadsBackAsStartUpShowsIt)
{
    TempDir tmp;
    RecordFiles files(tmp.path());
    ASSERT_EQ(files.ensure(), std::nullopt);
    ASSERT_EQ(files.saveIfBetter("7", "Nicolò").outcome, SaveOutcome::Saved);
    RecordFiles nextRun(tmp.path());
    ASSERT_EQ(nextRun.ensure(), std::nullopt);
    EXPECT_EQ(nextRun.read(nextRun.scorePath()), "7\r\n");
    EXPECT_EQ(nextRun.read(nextRun.namePath()), "Nicolò\r\n");
}

TEST(SaveWrites, ReplacesTheWholeOfLongerFiles)
{
    TempDir tmp;
    RecordFiles files(tmp.path());
    writeBytes(files.scorePath(), "2 and a lot more text\r\nsecond line\r\n");
    writeBytes(files.namePath(), "A very long old name\r\n");
    ASSERT_EQ(files.saveIfBetter("3", "Bo").outcome, SaveOutcome::Saved);
    EXPECT_EQ(readBytes(files.scorePath()), "3\r\n");
    EXPECT_EQ(readBytes(files.namePath()), "Bo\r\n");
}

TEST(SaveWrites, CreatesWhatIsMissing)
{
    TempDir tmp;
    RecordFiles files(tmp / "not" / "yet");
    ASSERT_EQ(files.saveIfBetter("4", "Ugo").outcome, SaveOutcome::Saved);
    EXPECT_EQ(readBytes(files.scorePath()), "4\r\n");
    EXPECT_EQ(readBytes(files.namePath()), "Ugo\r\n");
}

TEST(SaveWrites, KeepsTheFilesPermissions)
{
    TempDir tmp;
    RecordFiles files(tmp.path());
    ASSERT_EQ(files.ensure(), std::nullopt);
    fs::permissions(files.scorePath(), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                                           fs::perms::group_write);
    ASSERT_EQ(files.saveIfBetter("4", "Ugo").outcome, SaveOutcome::Saved);
    EXPECT_EQ(fs::status(files.scorePath()).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read | fs::perms::group_write);
}

// --- saveIfBetter(): the comparison ------------------------------------------

struct Comparison {
    std::string stored; // score file content at the game end
    std::string current; // caption of lblScore
    SaveOutcome outcome;
};

std::ostream& operator<<(std::ostream& out, const Comparison& c)
{
    return out << "stored \"" << c.stored << "\" against \"" << c.current << "\"";
}

class SaveCompares : public ::testing::TestWithParam<Comparison> {};

TEST_P(SaveCompares, OnlyAStrictlyBetterScoreIsWritten)
{
    TempDir tmp;
    RecordFiles files(tmp.path());
    const std::string oldName = "Vecchio\r\n";
    writeBytes(files.scorePath(), GetParam().stored);
    writeBytes(files.namePath(), oldName);

    const SaveResult result = files.saveIfBetter(GetParam().current, "Nuovo");
    EXPECT_EQ(result.outcome, GetParam().outcome) << result.problem;
    if (GetParam().outcome == SaveOutcome::Saved) {
        EXPECT_EQ(readBytes(files.scorePath()), GetParam().current + "\r\n");
        EXPECT_EQ(readBytes(files.namePath()), "Nuovo\r\n");
    } else {
        EXPECT_EQ(result.problem, "");
        EXPECT_EQ(readBytes(files.scorePath()), GetParam().stored);
        EXPECT_EQ(readBytes(files.namePath()), oldName);
    }
    EXPECT_EQ(entries(tmp.path()), justTheRecord);
}

INSTANTIATE_TEST_SUITE_P(
    Scores, SaveCompares,
    ::testing::Values(
        // First run: empty files hold a record of 0.
        Comparison{"", "0", SaveOutcome::NotBetter}, Comparison{"", "1", SaveOutcome::Saved},
        // The whole text is read, the line end is ignored.
        Comparison{"12\r\n", "12", SaveOutcome::NotBetter}, Comparison{"12\r\n", "11", SaveOutcome::NotBetter},
        Comparison{"12\r\n", "13", SaveOutcome::Saved}, Comparison{"12", "13", SaveOutcome::Saved},
        Comparison{"100\r\n", "99", SaveOutcome::NotBetter}, Comparison{"99\r\n", "100", SaveOutcome::Saved},
        // Content that does not begin with a number is a record of 0.
        Comparison{"abc\r\n", "0", SaveOutcome::NotBetter}, Comparison{"abc\r\n", "1", SaveOutcome::Saved},
        Comparison{"\r\n", "1", SaveOutcome::Saved},
        Comparison{std::string("\0\xFF\x81", 3), "1", SaveOutcome::Saved},
        // Lenient reading: leading blanks skipped, stops at what can't go on.
        Comparison{"  5 punti\r\n", "5", SaveOutcome::NotBetter}, Comparison{"  5 punti\r\n", "6", SaveOutcome::Saved},
        Comparison{"8x9\r\n", "9", SaveOutcome::Saved}, Comparison{"3.5\r\n", "3", SaveOutcome::NotBetter},
        Comparison{"3.5\r\n", "4", SaveOutcome::Saved},
        // A current score that is not a number writes nothing.
        Comparison{"", "", SaveOutcome::NotBetter}, Comparison{"", "abc", SaveOutcome::NotBetter},
        Comparison{"", " 5", SaveOutcome::NotBetter}, Comparison{"", "5\r\n", SaveOutcome::NotBetter}));

// --- two games on one account -----------------------------------------------

TEST(SaveConcurrency, ComparesWithTheFilesAsTheyStandNow)
{
    TempDir tmp;
    RecordFiles first(tmp.path());
    RecordFiles second(tmp.path());
    ASSERT_EQ(first.ensure(), std::nullopt);
    ASSERT_EQ(second.ensure(), std::nullopt);
    // Both games started with no record; the first ends with 10.
    ASSERT_EQ(first.saveIfBetter("10", "Anna").outcome, SaveOutcome::Saved);
    // The second, worse, must not replace it, nor may an equal one.
    EXPECT_EQ(second.saveIfBetter("5", "Bruno").outcome, SaveOutcome::NotBetter);
    EXPECT_EQ(second.saveIfBetter("10", "Bruno").outcome, SaveOutcome::NotBetter);
    EXPECT_EQ(readBytes(first.scorePath()), "10\r\n");
    EXPECT_EQ(readBytes(first.namePath()), "Anna\r\n");
    EXPECT_EQ(second.saveIfBetter("11", "Bruno").outcome, SaveOutcome::Saved);
    EXPECT_EQ(readBytes(first.scorePath()), "11\r\n");
    EXPECT_EQ(readBytes(first.namePath()), "Bruno\r\n");
}

TEST(SaveConcurrency, SimultaneousGamesLeaveTheBestRecordWhole)
{
    for (int round = 0; round < 20; ++round) {
        TempDir tmp;
        std::vector<int> scores(8);
        for (int i = 0; i < 8; ++i)
            scores[i] = i + 1;
        std::shuffle(scores.begin(), scores.end(), std::mt19937(round));

        std::atomic<bool> go{false};
        std::vector<std::thread> games;
        std::vector<SaveOutcome> outcomes(scores.size());
        for (std::size_t i = 0; i < scores.size(); ++i) {
            games.emplace_back([&, i] {
                RecordFiles files(tmp.path());
                while (!go)
                    std::this_thread::yield();
                std::string name = "P";
                name += std::to_string(scores[i]);
                outcomes[i] = files.saveIfBetter(std::to_string(scores[i]), name).outcome;
            });
        }
        go = true;
        for (std::thread& game : games)
            game.join();

        for (SaveOutcome outcome : outcomes)
            EXPECT_NE(outcome, SaveOutcome::Failed);
        RecordFiles files(tmp.path());
        EXPECT_EQ(readBytes(files.scorePath()), "8\r\n") << "round " << round;
        EXPECT_EQ(readBytes(files.namePath()), "P8\r\n") << "round " << round;
        EXPECT_EQ(entries(tmp.path()), justTheRecord);
    }
}

// Holds the games' lock as another game saving would.
class HeldLock {
public:
    explicit HeldLock(const fs::path& directory)
        : fd_(::open((directory / lockFileName).c_str(), O_RDWR | O_CREAT, 0600))
    {
        if (fd_ < 0 || ::flock(fd_, LOCK_EX | LOCK_NB) != 0)
            throw std::runtime_error("cannot take the lock");
    }
    ~HeldLock() { release(); }
    void release()
    {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = -1;
    }

private:
    int fd_;
};

TEST(SaveConcurrency, WaitsForTheOtherGamesSave)
{
    TempDir tmp;
    RecordFiles files(tmp.path());
    ASSERT_EQ(files.ensure(), std::nullopt);
    HeldLock other(tmp.path());

    SaveResult result{SaveOutcome::Failed, "not run"};
    std::thread game([&] { result = files.saveIfBetter("6", "Ada"); });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(readBytes(files.scorePath()), ""); // still waiting
    // Meanwhile the other game saves a better record.
    writeBytes(files.scorePath(), "9\r\n");
    writeBytes(files.namePath(), "Ivo\r\n");
    other.release();
    game.join();

    EXPECT_EQ(result.outcome, SaveOutcome::NotBetter) << result.problem;
    EXPECT_EQ(readBytes(files.scorePath()), "9\r\n");
    EXPECT_EQ(readBytes(files.namePath()), "Ivo\r\n");
}

TEST(SaveConcurrency, GivesUpWhenTheLockIsNeverFreed)
{
    TempDir tmp;
    RecordFiles files(tmp.path());
    ASSERT_EQ(files.ensure(), std::nullopt);
    HeldLock other(tmp.path());
    files.setLockWait(std::chrono::milliseconds(100));
    const SaveResult result = files.saveIfBetter("6", "Ada");
    EXPECT_EQ(result.outcome, SaveOutcome::Failed);
    EXPECT_EQ(result.problem.rfind("Il record non è stato salvato: ", 0), 0u) << result.problem;
    EXPECT_EQ(readBytes(files.scorePath()), "");
    EXPECT_EQ(readBytes(files.namePath()), "");
}

TEST(SaveConcurrency, TheLockOfADeadGameIsFree)
{
    TempDir tmp;
    RecordFiles files(tmp.path());
    ASSERT_EQ(files.ensure(), std::nullopt);
    { HeldLock gone(tmp.path()); } // its holder ended without unlocking
    files.setLockWait(std::chrono::milliseconds(100));
    EXPECT_EQ(files.saveIfBetter("6", "Ada").outcome, SaveOutcome::Saved);
}

// --- what the files cannot be ------------------------------------------------

const std::string keepPrefix = "Il record non potrà essere conservato: ";
const std::string savePrefix = "Il record non è stato salvato: ";

bool startsWith(const std::string& text, const std::string& prefix)
{
    return text.rfind(prefix, 0) == 0;
}

bool contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

TEST(RecordFilesProblems, AFileWhereTheDirectoryShouldBe)
{
    TempDir tmp;
    writeBytes(tmp / "cifrelle", "not a directory");
    RecordFiles files(tmp / "cifrelle" / "records");

    const std::optional<std::string> problem = files.ensure();
    ASSERT_TRUE(problem);
    EXPECT_TRUE(startsWith(*problem, keepPrefix)) << *problem;
    EXPECT_TRUE(contains(*problem, files.directory().string())) << *problem;
    EXPECT_TRUE(contains(*problem, "(una parte del percorso non è una cartella)")) << *problem;

    const SaveResult result = files.saveIfBetter("5", "Ada");
    EXPECT_EQ(result.outcome, SaveOutcome::Failed);
    EXPECT_TRUE(startsWith(result.problem, savePrefix)) << result.problem;
    EXPECT_TRUE(contains(result.problem, files.directory().string())) << result.problem;
    EXPECT_EQ(readBytes(tmp / "cifrelle"), "not a directory");
    // With no right answer there was nothing to save: no complaint.
    EXPECT_EQ(files.saveIfBetter("0", "Ada").outcome, SaveOutcome::NotBetter);
}

TEST(RecordFilesProblems, AReadOnlyDirectory)
{
    TempDir tmp;
    RecordFiles files(tmp / "records");
    ASSERT_EQ(files.ensure(), std::nullopt);
    writeBytes(files.scorePath(), "3\r\n");
    writeBytes(files.namePath(), "Eva\r\n");
    fs::permissions(files.directory(), fs::perms::owner_read | fs::perms::owner_exec);
    if (!test::refusesWrites(files.directory()))
        GTEST_SKIP() << "this user writes into read-only directories (root); "
                        "AFileWhereTheDirectoryShouldBe and ADirectoryWhereTheNameFileShouldBe "
                        "cover failed writes";

    const std::optional<std::string> problem = files.ensure();
    ASSERT_TRUE(problem);
    EXPECT_TRUE(startsWith(*problem, keepPrefix)) << *problem;
    EXPECT_TRUE(contains(*problem, "(permesso negato)")) << *problem;
    // What is there can still be shown, and a score that is no record
    // needs no save, so no complaint.
    EXPECT_EQ(files.read(files.scorePath()), "3\r\n");
    EXPECT_EQ(files.saveIfBetter("3", "Ada").outcome, SaveOutcome::NotBetter);

    const SaveResult result = files.saveIfBetter("5", "Ada");
    EXPECT_EQ(result.outcome, SaveOutcome::Failed);
    EXPECT_TRUE(startsWith(result.problem, savePrefix)) << result.problem;
    EXPECT_TRUE(contains(result.problem, "(permesso negato)")) << result.problem;
    EXPECT_EQ(readBytes(files.scorePath()), "3\r\n");
    EXPECT_EQ(readBytes(files.namePath()), "Eva\r\n");
}

TEST(RecordFilesProblems, AReadOnlyDirectoryWithoutFiles)
{
    TempDir tmp;
    fs::create_directory(tmp / "records");
    fs::permissions(tmp / "records", fs::perms::owner_read | fs::perms::owner_exec);
    if (!test::refusesWrites(tmp / "records"))
        GTEST_SKIP() << "this user writes into read-only directories (root)";
    RecordFiles files(tmp / "records");
    const std::optional<std::string> problem = files.ensure();
    ASSERT_TRUE(problem);
    EXPECT_TRUE(contains(*problem, files.scorePath().string())) << *problem;
    EXPECT_EQ(files.saveIfBetter("1", "Ada").outcome, SaveOutcome::Failed);
}

TEST(RecordFilesProblems, AnUnreadableFile)
{
    TempDir tmp;
    RecordFiles files(tmp.path());
    writeBytes(files.scorePath(), "3\r\n");
    fs::permissions(files.scorePath(), fs::perms::none);
    if (::access(files.scorePath().c_str(), R_OK) == 0)
        GTEST_SKIP() << "this user reads any file (root)";
    const std::optional<std::string> problem = files.ensure();
    ASSERT_TRUE(problem);
    EXPECT_TRUE(contains(*problem, "(permesso negato)")) << *problem;
    EXPECT_EQ(files.read(files.scorePath()), std::nullopt);
    // The stored record is unknown: never overwrite it blindly.
    EXPECT_EQ(files.saveIfBetter("1000", "Ada").outcome, SaveOutcome::Failed);
}

TEST(RecordFilesProblems, ADirectoryWhereTheScoreFileShouldBe)
{
    TempDir tmp;
    RecordFiles files(tmp.path());
    fs::create_directory(files.scorePath());
    writeBytes(files.namePath(), "Eva\r\n");

    const std::optional<std::string> problem = files.ensure();
    ASSERT_TRUE(problem);
    EXPECT_TRUE(startsWith(*problem, keepPrefix)) << *problem;
    EXPECT_TRUE(contains(*problem, files.scorePath().string())) << *problem;
    EXPECT_TRUE(contains(*problem, "cartella")) << *problem;
    EXPECT_EQ(files.read(files.scorePath()), std::nullopt);
    EXPECT_EQ(files.read(files.namePath()), "Eva\r\n");

    const SaveResult result = files.saveIfBetter("5", "Ada");
    EXPECT_EQ(result.outcome, SaveOutcome::Failed);
    EXPECT_TRUE(startsWith(result.problem, savePrefix)) << result.problem;
    EXPECT_TRUE(fs::is_directory(files.scorePath()));
    EXPECT_EQ(readBytes(files.namePath()), "Eva\r\n");
    EXPECT_EQ(entries(tmp.path()), justTheRecord);
}

TEST(RecordFilesProblems, ADirectoryWhereTheNameFileShouldBe)
{
    TempDir tmp;
    RecordFiles files(tmp.path());
    writeBytes(files.scorePath(), "3\r\n");
    fs::create_directory(files.namePath());

    const std::optional<std::string> problem = files.ensure();
    ASSERT_TRUE(problem);
    EXPECT_TRUE(contains(*problem, files.namePath().string())) << *problem;

    // The score must not be replaced when the name cannot be.
    const SaveResult result = files.saveIfBetter("5", "Ada");
    EXPECT_EQ(result.outcome, SaveOutcome::Failed);
    EXPECT_TRUE(contains(result.problem, files.namePath().string())) << result.problem;
    EXPECT_EQ(readBytes(files.scorePath()), "3\r\n");
    EXPECT_TRUE(fs::is_directory(files.namePath()));
    EXPECT_EQ(entries(tmp.path()), justTheRecord);
}

TEST(RecordFilesProblems, ADanglingLinkWhereTheScoreFileShouldBe)
{
    TempDir tmp;
    RecordFiles files(tmp / "records");
    fs::create_directory(files.directory());
    fs::create_symlink(tmp / "gone" / "cifrel.txt", files.scorePath());

    const std::optional<std::string> problem = files.ensure();
    ASSERT_TRUE(problem);
    EXPECT_TRUE(startsWith(*problem, keepPrefix)) << *problem;
    EXPECT_TRUE(contains(*problem, files.scorePath().string())) << *problem;
    EXPECT_EQ(files.read(files.scorePath()), std::nullopt);
    EXPECT_FALSE(fs::exists(tmp / "gone")); // nothing made outside
    EXPECT_EQ(readBytes(files.namePath()), ""); // the other file is still made

    // A record can still be kept: the link gives way to the file.
    ASSERT_EQ(files.saveIfBetter("2", "Ada").outcome, SaveOutcome::Saved);
    EXPECT_FALSE(fs::is_symlink(files.scorePath()));
    EXPECT_EQ(readBytes(files.scorePath()), "2\r\n");
    EXPECT_EQ(readBytes(files.namePath()), "Ada\r\n");
    EXPECT_EQ(files.ensure(), std::nullopt);
}

TEST(RecordFilesProblems, ALinkToARealFileIsFollowed)
{
    TempDir tmp;
    RecordFiles files(tmp / "records");
    fs::create_directory(files.directory());
    writeBytes(tmp / "elsewhere.txt", "4\r\n");
    fs::create_symlink(tmp / "elsewhere.txt", files.scorePath());
    EXPECT_EQ(files.ensure(), std::nullopt);
    EXPECT_EQ(files.read(files.scorePath()), "4\r\n");
    EXPECT_EQ(files.saveIfBetter("4", "Ada").outcome, SaveOutcome::NotBetter);
}

// --- where the files live ------------------------------------------------------

TEST(DefaultDirectory, IsTheGamesOwnDataFolder)
{
    QStandardPaths::setTestModeEnabled(true);
    const QString previous = QCoreApplication::applicationName();
    QCoreApplication::setApplicationName(QStringLiteral("cifrelle"));
    const fs::path withName = defaultDirectory();
    const std::string appData = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation).toStdString();
    QCoreApplication::setApplicationName(QString());
    const fs::path withoutName = defaultDirectory();
    QCoreApplication::setApplicationName(previous);
    QStandardPaths::setTestModeEnabled(false);

    EXPECT_TRUE(withName.is_absolute()) << withName;
    EXPECT_EQ(withName.filename(), "cifrelle");
    EXPECT_EQ(withName.string(), appData);
    // Even without the application's name it is a folder of its own.
    EXPECT_TRUE(withoutName.is_absolute()) << withoutName;
    EXPECT_EQ(withoutName.filename(), "cifrelle");
}

} // namespace
} // namespace cifrelle::records
