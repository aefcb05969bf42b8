// SPDX-License-Identifier: GPL-3.0-or-later
#include "cifrelle/records/recordfiles.h"

#include "testfiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <map>
#include <optional>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#include <winioctl.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace cifrelle::records {
namespace {

namespace fs = std::filesystem;
using test::HeldLock;
using test::OpenWatch;
using test::pending;
using test::readBytes;
using test::TempDir;
using test::writeBytes;

// The record folder's entries, other than the lock file.
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

// --- ensure() and read() ------------------------------------------------------

TEST(RecordFilesEnsure, CreatesTheFolderTheLockAndBothFilesEmpty)
{
    TempDir tmp;
    RecordFiles files(tmp / "a" / "b" / "cifrelle");
    EXPECT_EQ(files.ensure(), std::nullopt);
    EXPECT_EQ(files.scorePath(), files.directory() / "cifrel.txt");
    EXPECT_EQ(files.namePath(), files.directory() / "ncifrel.txt");
    EXPECT_EQ(readBytes(files.scorePath()), "");
    EXPECT_EQ(readBytes(files.namePath()), "");
    EXPECT_EQ(readBytes(files.directory() / ".cifrel.lock"), "");
    EXPECT_EQ(entries(files.directory()), justTheRecord);
}

TEST(RecordFilesEnsure, KeepsWhatIsThereByteForByteAndMakesWhatIsMissing)
{
    const std::string contents[] = {"",
                                    "12\r\n",
                                    "7",
                                    "Anna\r\nBea\r\n",
                                    std::string("\xFF\x00\x81\r", 4),
                                    std::string(70000, 'x')};
    for (const std::string& content : contents) {
        TempDir tmp;
        RecordFiles files(tmp.path());
        writeBytes(files.scorePath(), content);
        EXPECT_EQ(files.ensure(), std::nullopt);
        EXPECT_EQ(readBytes(files.namePath()), ""); // the missing one, made
        writeBytes(files.namePath(), content);
        EXPECT_EQ(files.ensure(), std::nullopt);
        EXPECT_EQ(readBytes(files.scorePath()), content);
        EXPECT_EQ(readBytes(files.namePath()), content);
    }
}

TEST(RecordFilesRead, GivesTheWholeContentLineEndIncluded)
{
    const std::pair<std::string, std::string> cases[] = {
        {"", ""},
        {"12\r\n", "12\r\n"},
        {"7", "7"},
        {"Anna\r\n", "Anna\r\n"},
        {"Nicol\xF2\r\n", "Nicolò\r\n"},
        {"\r\n", "\r\n"},
        {"a\r\nb\r\n", "a\r\nb\r\n"},
        {std::string("\0\x01\x80\xFF", 4), std::string("\0\x01€ÿ", 7)}};
    TempDir tmp;
    RecordFiles files(tmp.path());
    for (const auto& [bytes, text] : cases) {
        writeBytes(files.scorePath(), bytes);
        EXPECT_EQ(files.read(files.scorePath()), text);
    }
    // Every byte comes back through the code page.
    std::string all;
    for (int b = 0; b < 3 * 256; ++b)
        all += static_cast<char>(b);
    writeBytes(files.namePath(), all);
    EXPECT_EQ(encodeCp1252(files.read(files.namePath()).value_or("")), all);
    EXPECT_EQ(files.read(tmp / "missing.txt"), std::nullopt);
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
    content = {};

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
    EXPECT_EQ(files.saveIfBetter(998, "Bea").outcome, SaveOutcome::NotBetter);
    EXPECT_EQ(fs::file_size(files.scorePath()), size);
    EXPECT_EQ(files.saveIfBetter(1000, "Bea").outcome, SaveOutcome::Saved);
    EXPECT_EQ(readBytes(files.scorePath()), "1000\r\n");
}

// --- saveIfBetter(): what it writes --------------------------------------------

TEST(SaveWrites, OneLineEndedByCrLfInTheCodePage)
{
    struct Case {
        int score;
        std::string name, scoreBytes, nameBytes;
    };
    const Case cases[] = {
        {7, "Anna", "\x37\x0D\x0A", "\x41\x6E\x6E\x61\x0D\x0A"},
        {1, "", "1\r\n", "\r\n"},
        {23, " Anna  Maria ", "23\r\n", " Anna  Maria \r\n"},
        {12, "Nicolò", "12\r\n", "Nicol\xF2\r\n"},
        {3, "Zoë 名", "3\r\n", "Zo\xEB ?\r\n"},
        {5, "<b>&amp;</b>", "5\r\n", "<b>&amp;</b>\r\n"},
        // Line breaks (pasted into the box) become blanks: still one line. A
        // CR LF pair is one break, LF CR two.
        {6, "Anna\r\nBea\rCarla\nDino\n\rEva\r\r\n", "6\r\n", "Anna Bea Carla Dino  Eva  \r\n"},
        {9, "x\r\ny", "9\r\n", "x y\r\n"},
        {8,
         "a\vb\fc\xC2\x85"
         "d\xE2\x80\xA8"
         "e\xE2\x80\xA9",
         "8\r\n", "a b c d e \r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir tmp;
        RecordFiles files(tmp.path());
        ASSERT_EQ(files.ensure(), std::nullopt);
        const SaveResult result = files.saveIfBetter(c.score, c.name);
        EXPECT_EQ(result.outcome, SaveOutcome::Saved);
        EXPECT_EQ(result.problem, "");
        EXPECT_EQ(readBytes(files.scorePath()), c.scoreBytes);
        EXPECT_EQ(readBytes(files.namePath()), c.nameBytes);
        EXPECT_EQ(entries(tmp.path()), justTheRecord);
    }
}

TEST(SaveWrites, ReplacesLongerFilesWholeAndReadsBackAsStartUpShowsIt)
{
    TempDir tmp;
    // Made by the save, wherever the account's folder is (as
    // C:\Users\Nicolò\AppData\Roaming\cifrelle on Windows).
    RecordFiles files(tmp.path() / fs::path(u8"Nicolò") / "AppData" / "cifrelle");
    ASSERT_EQ(files.saveIfBetter(2, "Ugo").outcome, SaveOutcome::Saved);
    writeBytes(files.scorePath(), "2 and a lot more text\r\nsecond line\r\n");
    writeBytes(files.namePath(), "A very long old name\r\n");
    ASSERT_EQ(files.saveIfBetter(7, "Nicolò").outcome, SaveOutcome::Saved);
    EXPECT_EQ(readBytes(files.scorePath()), "7\r\n");
    EXPECT_EQ(readBytes(files.namePath()), "Nicol\xF2\r\n");
    RecordFiles nextRun(files.directory());
    ASSERT_EQ(nextRun.ensure(), std::nullopt);
    EXPECT_EQ(nextRun.read(nextRun.scorePath()), "7\r\n");
    EXPECT_EQ(nextRun.read(nextRun.namePath()), "Nicolò\r\n");
}

#ifndef _WIN32
TEST(SaveWrites, KeepsTheFilesPermissions)
{
    TempDir tmp;
    RecordFiles files(tmp.path());
    ASSERT_EQ(files.ensure(), std::nullopt);
    const auto mode = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                      fs::perms::group_write;
    fs::permissions(files.scorePath(), mode);
    ASSERT_EQ(files.saveIfBetter(4, "Ugo").outcome, SaveOutcome::Saved);
    EXPECT_EQ(fs::status(files.scorePath()).permissions() & fs::perms::all, mode);
}

// The files of a player's own folder get what the umask gives, as ever. In a
// folder an administrator chose for every account, every file (the lock
// file too) is read and write for exactly those who may make files in the
// folder, and in the folder's group, whatever the umask.
TEST(SaveWrites, SharedFilesFollowTheFolderNotTheUmask)
{
    struct Case {
        bool shared;
        mode_t folder, umask, files;
    };
    const Case cases[] = {{false, 0755, 022, 0644},
                          {false, 02770, 077, 0600},
                          {true, 02770, 077, 0660},
                          {true, 0777, 077, 0666},
                          {true, 02750, 0, 0600}};
    for (const Case& c : cases) {
        TempDir tmp;
        ASSERT_EQ(::chmod(tmp.path().c_str(), c.folder), 0);
        (void)!::chown(tmp.path().c_str(), static_cast<uid_t>(-1), 65534); // root: a group not ours
        const mode_t umask = ::umask(c.umask);
        RecordFiles files(RecordFolder{tmp.path(), {}, c.shared ? "l'impostazione" : ""});
        EXPECT_EQ(files.ensure(), std::nullopt);
        EXPECT_EQ(files.saveIfBetter(3, "Ada").outcome, SaveOutcome::Saved);
        ::umask(umask);
        for (const std::string_view name : {lockFileName, scoreFileName, nameFileName}) {
            struct stat file, folder;
            ASSERT_EQ(::stat((tmp / name).c_str(), &file) | ::stat(tmp.path().c_str(), &folder), 0);
            EXPECT_EQ(file.st_mode & 07777, c.files) << name << " " << c.shared << " " << c.folder;
            EXPECT_TRUE(!c.shared || file.st_gid == folder.st_gid) << name;
        }
        EXPECT_EQ(entries(tmp.path()), justTheRecord);
    }
}
#endif

// --- saveIfBetter(): the comparison --------------------------------------------

TEST(SaveCompares, OnlyAStrictlyBetterScoreIsWritten)
{
    struct Case {
        std::string stored; // score file content
        int current;        // the right answers of the game ended
        bool saves;
    };
    const Case cases[] = {// First run: empty files hold a record of 0.
                          {"", 0, false},
                          {"", 1, true},
                          // The whole text is read, the line end is ignored.
                          {"12\r\n", 12, false},
                          {"12\r\n", 11, false},
                          {"12\r\n", 13, true},
                          {"12", 13, true},
                          {"100\r\n", 99, false},
                          {"99\r\n", 100, true},
                          // Content that does not begin with a number is a record of 0.
                          {"abc\r\n", 0, false},
                          {"abc\r\n", 1, true},
                          {"\r\n", 1, true},
                          {std::string("\0\xFF\x81", 3), 1, true},
                          // Lenient reading: leading blanks skipped, stops at what can't go on.
                          {"  5 punti\r\n", 5, false},
                          {"  5 punti\r\n", 6, true},
                          {"8x9\r\n", 9, true},
                          {"3.5\r\n", 3, false},
                          {"3.5\r\n", 4, true},
                          // Above what a game can reach: a damaged file, no record.
                          {"32767\r\n", 32767, false},
                          {"32768\r\n", 1, true},
                          {std::string(70000, '9'), 1, true},
                          // No right answer, or fewer than none, is never a record.
                          {"", -1, false},
                          {"abc\r\n", -5, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE("stored \"" + c.stored + "\" against " + std::to_string(c.current));
        TempDir tmp;
        RecordFiles files(tmp.path());
        writeBytes(files.scorePath(), c.stored);
        writeBytes(files.namePath(), "Vecchio\r\n");
        const SaveResult result = files.saveIfBetter(c.current, "Nuovo");
        EXPECT_EQ(result.outcome, c.saves ? SaveOutcome::Saved : SaveOutcome::NotBetter);
        EXPECT_EQ(result.problem, "");
        EXPECT_EQ(readBytes(files.scorePath()),
                  c.saves ? std::to_string(c.current) + "\r\n" : c.stored);
        EXPECT_EQ(readBytes(files.namePath()), c.saves ? "Nuovo\r\n" : "Vecchio\r\n");
        EXPECT_EQ(entries(tmp.path()), justTheRecord);
    }
}

// --- two games on one account ---------------------------------------------------

TEST(SaveConcurrency, ComparesWithTheFilesAsTheyStandNow)
{
    TempDir tmp;
    RecordFiles first(tmp.path());
    RecordFiles second(tmp.path());
    ASSERT_EQ(first.ensure(), std::nullopt);
    ASSERT_EQ(second.ensure(), std::nullopt);
    // Both games started with no record; the first ends with 10.
    ASSERT_EQ(first.saveIfBetter(10, "Anna").outcome, SaveOutcome::Saved);
    // The second, worse, must not replace it, nor may an equal one.
    EXPECT_EQ(second.saveIfBetter(5, "Bruno").outcome, SaveOutcome::NotBetter);
    EXPECT_EQ(second.saveIfBetter(10, "Bruno").outcome, SaveOutcome::NotBetter);
    EXPECT_EQ(readBytes(first.scorePath()), "10\r\n");
    EXPECT_EQ(readBytes(first.namePath()), "Anna\r\n");
    EXPECT_EQ(second.saveIfBetter(11, "Bruno").outcome, SaveOutcome::Saved);
    EXPECT_EQ(readBytes(first.scorePath()), "11\r\n");
    EXPECT_EQ(readBytes(first.namePath()), "Bruno\r\n");
}

TEST(SaveConcurrency, SimultaneousGamesLeaveTheBestRecordWhole)
{
    for (int round = 0; round < 20; ++round) {
        TempDir tmp;
        std::vector<int> scores{1, 2, 3, 4, 5, 6, 7, 8};
        std::shuffle(scores.begin(), scores.end(), std::mt19937(round));
        std::atomic<bool> go{false};
        std::vector<std::thread> games;
        std::vector<SaveOutcome> outcomes(scores.size());
        for (std::size_t i = 0; i < scores.size(); ++i) {
            games.emplace_back([&, i] {
                RecordFiles files(tmp.path());
                while (!go)
                    std::this_thread::yield();
                outcomes[i] =
                    files.saveIfBetter(scores[i], "P" + std::to_string(scores[i])).outcome;
            });
        }
        go = true;
        for (std::thread& game : games)
            game.join();
        for (SaveOutcome outcome : outcomes)
            EXPECT_NE(outcome, SaveOutcome::Failed);
        EXPECT_EQ(readBytes(tmp / "cifrel.txt"), "8\r\n") << "round " << round;
        EXPECT_EQ(readBytes(tmp / "ncifrel.txt"), "P8\r\n") << "round " << round;
        EXPECT_EQ(entries(tmp.path()), justTheRecord);
    }
}

TEST(SaveConcurrency, WaitsForTheOtherGamesSaveThenComparesAgain)
{
    TempDir tmp;
    RecordFiles files(tmp.path());
    ASSERT_EQ(files.ensure(), std::nullopt);
    std::optional<HeldLock> other(std::in_place, tmp.path());

    SaveResult result{SaveOutcome::Failed, "not run"};
    std::thread game([&] { result = files.saveIfBetter(6, "Ada"); });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(readBytes(files.scorePath()), ""); // still waiting
    // Meanwhile the other game saves a better record.
    writeBytes(files.scorePath(), "9\r\n");
    writeBytes(files.namePath(), "Ivo\r\n");
    other.reset();
    game.join();
    EXPECT_EQ(result.outcome, SaveOutcome::NotBetter);
    EXPECT_EQ(readBytes(files.scorePath()), "9\r\n");
    EXPECT_EQ(readBytes(files.namePath()), "Ivo\r\n");
    // The lock of that game, now ended, is free.
    EXPECT_EQ(files.saveIfBetter(10, "Ada").outcome, SaveOutcome::Saved);
}

// Given up while another game holds the lock: nothing written, and the
// folder byte for byte as it was.
TEST(SaveConcurrency, AWaitGivenUpWritesNothing)
{
    using std::chrono::milliseconds;
    TempDir tmp;
    RecordFiles files(tmp.path());
    ASSERT_EQ(files.ensure(), std::nullopt);
    writeBytes(files.scorePath(), "3\r\n");
    writeBytes(files.namePath(), "Eva\r\n");
    const auto folder = [&] {
        std::map<std::string, std::string> contents;
        for (const auto& entry : fs::directory_iterator(tmp.path()))
            contents[entry.path().filename().string()] = readBytes(entry.path());
        return contents;
    };
    const auto before = folder();
    HeldLock other(tmp.path());
    std::vector<milliseconds> told;
    const SaveResult result = files.saveIfBetter(9, "Ada", [&](milliseconds waited) {
        told.push_back(waited);
        return waited < milliseconds(200);
    });
    EXPECT_EQ(result.outcome, SaveOutcome::Abandoned);
    EXPECT_EQ(result.problem, "");
    ASSERT_GE(told.size(), 5u);                 // about 50 times a second
    EXPECT_LT(told.front(), milliseconds(100)); // from the first try
    EXPECT_GE(told.back(), milliseconds(200));
    EXPECT_EQ(folder(), before);
}

// --- one folder, from start to end -------------------------------------------------

// Makes `link` (missing, or a link made here before) a link to the folder
// `target`: a symbolic link; on Windows a junction, which any account may
// make. False where the system cannot (Wine makes no junctions).
bool linkFolder(const fs::path& target, const fs::path& link)
{
#ifdef _WIN32
    RemoveDirectoryW(link.c_str()); // a junction: the link itself goes
    if (!CreateDirectoryW(link.c_str(), nullptr))
        return false;
    // A mount point's reparse data: the target as the system names it
    // ("\??\C:\..."), then an empty name to show.
    const std::wstring name = L"\\??\\" + fs::absolute(target).wstring();
    const auto nameBytes = static_cast<WORD>(name.size() * sizeof(wchar_t));
    std::vector<unsigned char> data(8 + 8 + nameBytes + 4);
    const auto put = [&](std::size_t at, auto value) {
        std::memcpy(&data[at], &value, sizeof value);
    };
    put(0, static_cast<DWORD>(IO_REPARSE_TAG_MOUNT_POINT));
    put(4, static_cast<WORD>(data.size() - 8)); // the data after this header
    put(8, WORD{0});                            // the target's offset,
    put(10, nameBytes);                         // length,
    put(12, static_cast<WORD>(nameBytes + 2));  // the shown name's offset,
    put(14, WORD{0});                           // length
    std::memcpy(&data[16], name.c_str(), nameBytes);
    const HANDLE handle =
        CreateFileW(link.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                    FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    DWORD returned = 0;
    const bool made =
        handle != INVALID_HANDLE_VALUE &&
        DeviceIoControl(handle, FSCTL_SET_REPARSE_POINT, data.data(),
                        static_cast<DWORD>(data.size()), nullptr, 0, &returned, nullptr);
    if (handle != INVALID_HANDLE_VALUE)
        CloseHandle(handle);
    if (!made)
        RemoveDirectoryW(link.c_str());
    return made;
#else
    std::error_code ec;
    fs::remove(link, ec);
    fs::create_directory_symlink(target, link, ec);
    return !ec;
#endif
}

// The folder checked at start is the only one the game end writes in, in
// the player's own folder and in a shared one alike. When an administrator
// turns a link on its path to another folder, moves it away, puts another
// in its place or deletes it during the game, the game end writes nothing,
// there nor in the new one, and says what happened; a score that is no
// record against the one shown (while it is still there) asks for nothing. (Windows refuses to move
// or delete a folder in use: that game saves as ever.)
TEST(RecordFilesFolder, TheFolderCheckedAtStartIsTheOnlyOneWrittenIn)
{
    using Change = bool (*)(const fs::path& tmp); // false: the system refused
    struct Case {
        const char* what;
        Change change;
        const char* old; // where the record shown is afterwards
        std::string told;
    };
    const auto move = [](const fs::path& tmp) {
        std::error_code refused;
        fs::rename(tmp / "classe", tmp / "spostata", refused);
        return !refused;
    };
    const std::string replaced =
        "è stata sostituita durante la partita: il record è rimasto nella cartella di prima.";
    const Case cases[] = {
        {"a link turned",
         [](const fs::path& tmp) { return linkFolder(tmp / "altra", tmp / "link"); }, "classe",
         replaced},
        {"moved away", move, "spostata",
         "è stata spostata durante la partita: il record è rimasto nella cartella di prima."},
        {"moved, a new one in its place",
         [](const fs::path& tmp) {
             std::error_code refused;
             fs::rename(tmp / "classe", tmp / "spostata", refused);
             return !refused && fs::create_directory(tmp / "classe");
         },
         "spostata", replaced},
        {"deleted and made again",
         [](const fs::path& tmp) {
             std::error_code refused;
             fs::remove_all(tmp / "classe", refused);
             return !refused && fs::create_directory(tmp / "classe");
         },
         nullptr, "è stata cancellata durante la partita."},
    };
    for (const bool shared : {false, true}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(shared ? "shared, " : "own, ") + c.what);
            TempDir tmp;
            fs::create_directory(tmp / "classe");
            fs::create_directory(tmp / "altra");
            const bool links = linkFolder(tmp / "classe", tmp / "link");
#ifndef _WIN32
            EXPECT_TRUE(links);
#endif
            if (!links && std::string_view(c.what) == "a link turned")
                continue; // Wine makes no junctions
            const fs::path path = links ? tmp / "link" : tmp / "classe";
            RecordFiles files(RecordFolder{path, {}, shared ? "l'impostazione" : "", true});
            ASSERT_EQ(files.ensure(), std::nullopt);
            ASSERT_EQ(files.saveIfBetter(5, "Eva").outcome, SaveOutcome::Saved);
            if (!c.change(tmp.path())) {
                EXPECT_EQ(files.saveIfBetter(7, "Ada").outcome, SaveOutcome::Saved);
                continue;
            }
            if (c.old) { // (a deleted record is no longer there to compare with)
                EXPECT_EQ(files.saveIfBetter(4, "Ada").outcome, SaveOutcome::NotBetter);
            }
            GameSummary game;
            game.right = 7;
            game.name = "Ada";
            const GameEndResult end = files.endGame(game, true);
            const std::string folder = "la cartella «" + pathText(path) + "» ";
            std::string inRegister = c.told;
            if (const std::size_t at = inRegister.find("il record"); at != std::string::npos)
                inRegister.replace(at, 9, "il registro");
            EXPECT_EQ(end.record.outcome, SaveOutcome::Failed);
            EXPECT_EQ(end.record.problem, "Il record non è stato salvato: " + folder + c.told);
            EXPECT_EQ(end.registerProblem,
                      "La partita non è stata scritta nel registro dell'insegnante: " + folder +
                          inRegister);
            for (const auto& entry : fs::directory_iterator(tmp.path())) {
                if (entry.path().filename() == "link")
                    continue;
                if (c.old && entry.path().filename() == c.old) {
                    EXPECT_EQ(readBytes(entry.path() / scoreFileName), "5\r\n");
                    EXPECT_EQ(readBytes(entry.path() / nameFileName), "Eva\r\n");
                    EXPECT_FALSE(fs::exists(entry.path() / registerFileName));
                } else {
                    EXPECT_TRUE(fs::is_empty(entry.path())) << entry.path().filename();
                }
            }
        }
    }
}

// --- what the record files cannot be ------------------------------------------------

// The whole messages of start-up (empty: no problem) and of the game end
// (saving a 5 over a record of 3) in one situation; «D», «S», «N», «L» and
// «S.new» stand for the quoted folder, score file, name file, lock file and
// the score's ".new" file.
struct Problem {
    const char* situation;
    std::string atStart;
    std::string atEnd;
};

std::string utf8(const fs::path& path)
{
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

std::string filled(std::string text, const RecordFiles& files)
{
    const std::pair<std::string, fs::path> names[] = {{"«D»", files.directory()},
                                                      {"«S.new»", pending(files.scorePath())},
                                                      {"«S»", files.scorePath()},
                                                      {"«N»", files.namePath()},
                                                      {"«L»", files.directory() / lockFileName}};
    for (const auto& [mark, path] : names) {
        if (const std::size_t at = text.find(mark); at != std::string::npos)
            text.replace(at, mark.size(), "«" + utf8(path) + "»");
    }
    return text;
}

const std::string keep = "Il record non potrà essere conservato: ";
const std::string save = "Il record non è stato salvato: ";

// Checks both messages, that nothing but regular files was opened, that
// nothing outside was made or changed, and that a score of 0 (no record)
// complains of nothing.
void expectProblem(RecordFiles& files, const Problem& problem)
{
    SCOPED_TRACE(problem.situation);
    const fs::path outside = files.directory().parent_path() / "outside";
    OpenWatch watch;
    OpenWatch::wrong().clear();
    EXPECT_EQ(files.ensure().value_or(""), filled(problem.atStart, files));
    EXPECT_EQ(files.saveIfBetter(0, "Ada").outcome, SaveOutcome::NotBetter);
    const SaveResult result = files.saveIfBetter(5, "Ada");
    EXPECT_EQ(result.outcome, SaveOutcome::Failed);
    EXPECT_EQ(result.problem, filled(problem.atEnd, files));
    EXPECT_EQ(OpenWatch::wrong(), std::vector<std::string>{});
    EXPECT_FALSE(fs::exists(outside / "gone"));
    EXPECT_FALSE(fs::is_regular_file(pending(files.scorePath())));
    EXPECT_FALSE(fs::is_regular_file(pending(files.namePath())));
}

TEST(RecordFilesProblems, WhatIsNoRegularFileIsNeverOpenedAndStartAndEndAgree)
{
    using Setup = void (*)(const RecordFiles&, const fs::path& outside);
    struct Case {
        Problem problem;
        Setup setup;
    };
    // The same words at start and at the end, naming the file to remove.
    [[maybe_unused]] const std::string link =
        " è un collegamento, non un file normale: va tolto dalla cartella.";
    const std::string folder = " è una cartella, non un file normale: va tolta dalla cartella.";
    [[maybe_unused]] const std::string special = " non è un file normale: va tolto dalla cartella.";
    std::vector<Case> cases{
        {{"a folder as the score file", keep + "«S»" + folder, save + "«S»" + folder},
         [](const RecordFiles& f, const fs::path&) { fs::create_directory(f.scorePath()); }},
        {{"a folder as the name file", keep + "«N»" + folder, save + "«N»" + folder},
         [](const RecordFiles& f, const fs::path&) { fs::create_directory(f.namePath()); }},
        {{"a folder as the lock file", keep + "«L»" + folder, save + "«L»" + folder},
         [](const RecordFiles& f, const fs::path&) {
             fs::create_directory(f.directory() / lockFileName);
         }},
        {{"a folder as the score's .new file", keep + "«S.new»" + folder,
          save + "«S.new»" + folder},
         [](const RecordFiles& f, const fs::path&) {
             fs::create_directories(pending(f.scorePath()) / "x");
         }},
#ifndef _WIN32
        // (No links here on Windows: the C++ library there cannot make them.)
        {{"a dangling link as the score file", keep + "«S»" + link, save + "«S»" + link},
         [](const RecordFiles& f, const fs::path& out) {
             fs::create_symlink(out / "gone", f.scorePath());
         }},
        {{"a dangling link as the name file", keep + "«N»" + link, save + "«N»" + link},
         [](const RecordFiles& f, const fs::path& out) {
             fs::create_symlink(out / "gone", f.namePath());
         }},
        {{"a link to a file outside as the score file", keep + "«S»" + link, save + "«S»" + link},
         [](const RecordFiles& f, const fs::path& out) {
             fs::create_symlink(out / "score.txt", f.scorePath());
         }},
        {{"a link to a device as the name file", keep + "«N»" + link, save + "«N»" + link},
         [](const RecordFiles& f, const fs::path&) {
             fs::create_symlink("/dev/null", f.namePath());
         }},
        {{"a link to a file outside as the lock file", keep + "«L»" + link, save + "«L»" + link},
         [](const RecordFiles& f, const fs::path& out) {
             fs::create_symlink(out / "score.txt", f.directory() / lockFileName);
         }},
        // A pipe with no reader: opening it for writing would fail, for
        // reading without O_NONBLOCK it would block.
        {{"a pipe as the score file", keep + "«S»" + special, save + "«S»" + special},
         [](const RecordFiles& f, const fs::path&) { ::mkfifo(f.scorePath().c_str(), 0600); }},
        {{"a pipe as the name file", keep + "«N»" + special, save + "«N»" + special},
         [](const RecordFiles& f, const fs::path&) { ::mkfifo(f.namePath().c_str(), 0600); }},
        {{"a pipe as the lock file", keep + "«L»" + special, save + "«L»" + special},
         [](const RecordFiles& f, const fs::path&) {
             ::mkfifo((f.directory() / lockFileName).c_str(), 0600);
         }},
#endif
    };
    for (const Case& c : cases) {
        TempDir tmp;
        fs::create_directory(tmp / "outside");
        writeBytes(tmp / "outside" / "score.txt", "3\r\n");
        RecordFiles files(tmp / "records");
        fs::create_directory(files.directory());
        writeBytes(files.scorePath(), "3\r\n");
        writeBytes(files.namePath(), "Eva\r\n");
        fs::remove(files.scorePath());
        fs::remove(files.namePath());
        c.setup(files, tmp / "outside");
        if (fs::symlink_status(files.scorePath()).type() == fs::file_type::not_found)
            writeBytes(files.scorePath(), "3\r\n");
        if (fs::symlink_status(files.namePath()).type() == fs::file_type::not_found)
            writeBytes(files.namePath(), "Eva\r\n");
        const fs::file_type scoreType = fs::symlink_status(files.scorePath()).type();
        const fs::file_type nameType = fs::symlink_status(files.namePath()).type();
        expectProblem(files, c.problem);
        EXPECT_EQ(fs::symlink_status(files.scorePath()).type(), scoreType) << c.problem.situation;
        EXPECT_EQ(fs::symlink_status(files.namePath()).type(), nameType) << c.problem.situation;
        EXPECT_EQ(readBytes(tmp / "outside" / "score.txt"), "3\r\n");
        if (scoreType == fs::file_type::regular) {
            EXPECT_EQ(readBytes(files.scorePath()), "3\r\n");
        } else {
            EXPECT_EQ(files.read(files.scorePath()), std::nullopt);
        }
        if (nameType == fs::file_type::regular) {
            EXPECT_EQ(readBytes(files.namePath()), "Eva\r\n");
        }
    }
}

TEST(RecordFilesProblems, NoFolderToKeepTheRecordIn)
{
    TempDir tmp;
    fs::create_directory(tmp.path() / fs::path(u8"Nicolò"));
    writeBytes(tmp.path() / fs::path(u8"Nicolò") / "blocked", "a file, not a folder");
    RecordFiles blocked(tmp.path() / fs::path(u8"Nicolò") / "blocked" / "records");
    expectProblem(
        blocked,
        {"a file where the folder should be",
         keep + "non riesco a creare la cartella «D» (una parte del percorso non è una cartella).",
         save +
             "non riesco a creare la cartella «D» (una parte del percorso non è una cartella)."});
    EXPECT_EQ(readBytes(tmp.path() / fs::path(u8"Nicolò") / "blocked"), "a file, not a folder");

    RecordFiles homeless(RecordFolder{{}, "non trovo la cartella personale", {}});
    expectProblem(homeless, {"no folder at all", keep + "non trovo la cartella personale.",
                             save + "non trovo la cartella personale."});
    EXPECT_EQ(homeless.read(homeless.scorePath()), std::nullopt);
}

#ifndef _WIN32
// These need a user whom permissions stop: as-player.sh runs them as one.
TEST(RecordFilesProblems, PermissionsDenied)
{
    TempDir tmp;
    RecordFiles files(tmp / "records");
    ASSERT_EQ(files.ensure(), std::nullopt);
    writeBytes(files.scorePath(), "3\r\n");
    writeBytes(files.namePath(), "Eva\r\n");
    fs::permissions(files.directory(), fs::perms::owner_read | fs::perms::owner_exec);
    if (!test::refusesWrites(files.directory()))
        GTEST_SKIP() << "this user writes into read-only folders (root)";
    const std::string denied = " (permesso negato).";
    expectProblem(files,
                  {"a read-only folder", keep + "non riesco a scrivere nella cartella «D»" + denied,
                   save + "non riesco a scrivere nella cartella «D»" + denied});
    // What is there can still be shown, and a score that is no record
    // needs no save, so no complaint.
    EXPECT_EQ(files.read(files.scorePath()), "3\r\n");
    EXPECT_EQ(files.saveIfBetter(3, "Ada").outcome, SaveOutcome::NotBetter);
    EXPECT_EQ(readBytes(files.scorePath()), "3\r\n");
    EXPECT_EQ(readBytes(files.namePath()), "Eva\r\n");

    RecordFiles empty(tmp / "empty");
    fs::create_directory(empty.directory());
    fs::permissions(empty.directory(), fs::perms::owner_read | fs::perms::owner_exec);
    expectProblem(empty, {"a read-only folder without files",
                          keep + "non riesco a creare il file «S»" + denied,
                          save + "non riesco a scrivere nella cartella «D»" + denied});

    RecordFiles unreadable(tmp / "unreadable");
    ASSERT_EQ(unreadable.ensure(), std::nullopt);
    writeBytes(unreadable.scorePath(), "3\r\n");
    fs::permissions(unreadable.scorePath(), fs::perms::none);
    // The stored record is unknown: never overwrite it blindly.
    expectProblem(unreadable,
                  {"an unreadable score file", keep + "non riesco a leggere il file «S»" + denied,
                   save + "non riesco a leggere il record attuale nel file «S»" + denied});
    EXPECT_EQ(unreadable.read(unreadable.scorePath()), std::nullopt);

    // A name file left pending that this account cannot read (another
    // account's, say) is no file a save wrote: dropped at start, the record
    // kept as it is, and neither start nor end has anything to warn of.
    RecordFiles foreign(tmp / "foreign");
    ASSERT_EQ(foreign.ensure(), std::nullopt);
    writeBytes(foreign.scorePath(), "3\r\n");
    writeBytes(foreign.namePath(), "Eva\r\n");
    writeBytes(pending(foreign.namePath()), "Ugo\r\n");
    fs::permissions(pending(foreign.namePath()), fs::perms::none);
    EXPECT_EQ(foreign.ensure(), std::nullopt);
    EXPECT_EQ(readBytes(foreign.namePath()), "Eva\r\n");
    EXPECT_EQ(entries(foreign.directory()), justTheRecord);
    EXPECT_EQ(foreign.saveIfBetter(5, "Ada").outcome, SaveOutcome::Saved);

    // A folder this account may write in but not list still keeps the
    // record.
    RecordFiles unlisted(tmp / "unlisted");
    ASSERT_EQ(unlisted.ensure(), std::nullopt);
    fs::permissions(unlisted.directory(), fs::perms::owner_write | fs::perms::owner_exec);
    RecordFiles nextGame(unlisted.directory());
    EXPECT_EQ(nextGame.ensure(), std::nullopt);
    EXPECT_EQ(nextGame.saveIfBetter(5, "Ada").outcome, SaveOutcome::Saved);
    EXPECT_EQ(readBytes(nextGame.namePath()), "Ada\r\n");

    // A lock file this account may only read (another account's, copied in
    // by hand) takes no write lock: the save puts one of its own in place.
    RecordFiles copied(tmp / "copied");
    ASSERT_EQ(copied.ensure(), std::nullopt);
    fs::permissions(copied.directory() / lockFileName, fs::perms::owner_read);
    EXPECT_EQ(copied.ensure(), std::nullopt);
    EXPECT_EQ(copied.saveIfBetter(5, "Ada").outcome, SaveOutcome::Saved);
    EXPECT_EQ(::access((copied.directory() / lockFileName).c_str(), W_OK), 0);
    EXPECT_EQ(entries(copied.directory()), justTheRecord);

    // One it may not open at all (closed to the others by a classmate) is
    // replaced too, at start as at the end without a word.
    RecordFiles closed(tmp / "closed");
    ASSERT_EQ(closed.ensure(), std::nullopt);
    fs::permissions(closed.directory() / lockFileName, fs::perms::none);
    EXPECT_EQ(closed.ensure(), std::nullopt);
    EXPECT_EQ(closed.saveIfBetter(5, "Ada").outcome, SaveOutcome::Saved);
    EXPECT_EQ(::access((closed.directory() / lockFileName).c_str(), R_OK | W_OK), 0);
    EXPECT_EQ(entries(closed.directory()), justTheRecord);

    // A passing file no account may open stays while a game could still be
    // setting it up, and goes once older than that.
    const fs::path young = closed.directory() / "cifrel.txt.tmp-Young1";
    const fs::path old = closed.directory() / "cifrel.txt.tmp-Old123";
    for (const fs::path& passing : {young, old}) {
        writeBytes(passing, "");
        fs::permissions(passing, fs::perms::none);
    }
    fs::last_write_time(old, fs::file_time_type::clock::now() - std::chrono::minutes(2));
    EXPECT_EQ(closed.ensure(), std::nullopt);
    EXPECT_TRUE(fs::exists(young));
    EXPECT_FALSE(fs::exists(old));
}
#endif

// The folder an administrator names must not hang on the current folder;
// on Windows a network path is absolute too.
TEST(RecordFilesProblems, OnlyAnAbsoluteFolderMayBeChosen)
{
#ifdef _WIN32
    const std::pair<const wchar_t*, bool> cases[] = {
        {L"C:\\classe", true},      {L"\\\\server\\classe3B\\cifrelle", true},
        {L"//server/classe", true}, {L"C:classe", false},
        {L"\\classe", false},       {L"classe", false}};
#else
    const std::pair<const char*, bool> cases[] = {
        {"/srv/classe", true}, {"classe", false}, {"~/classe", false}};
#endif
    for (const auto& [path, absolute] : cases)
        EXPECT_EQ(fileops::isAbsolute(path), absolute) << fs::path(path).string();
}

TEST(RecordFilesProblems, EverySystemErrorHasAnItalianReason)
{
    EXPECT_EQ(fileops::reasonText(fileops::faultOf(9999)), "errore di sistema numero 9999");
    EXPECT_EQ(fileops::reasonText({fileops::Reason::NotRegular, 0}), "non è un file normale");
#ifndef _WIN32
    EXPECT_EQ(fileops::reasonText(fileops::faultOf(ENXIO)), "non è un file normale");
    EXPECT_EQ(fileops::reasonText(fileops::faultOf(EACCES)), "permesso negato");
    EXPECT_EQ(fileops::reasonText(fileops::faultOf(EAGAIN)), "è in uso"); // a lease
    for (int error = 1; error < 134; ++error) {
        const std::string reason = fileops::reasonText(fileops::faultOf(error));
        EXPECT_NE(reason, std::strerror(error)) << error;
        if (fileops::faultOf(error).reason == fileops::Reason::Other) {
            EXPECT_EQ(reason, "errore di sistema numero " + std::to_string(error));
        }
    }
#endif
}

} // namespace
} // namespace cifrelle::records
