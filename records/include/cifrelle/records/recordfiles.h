// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "cifrelle/records/register.h"

namespace cifrelle::records {

namespace fileops {
class Folder;
}

inline constexpr std::string_view scoreFileName = "cifrel.txt";
inline constexpr std::string_view nameFileName = "ncifrel.txt";

// Beside the record files: the lock every game takes while it saves, and
// the suffix of the files a save writes before it puts them in place.
inline constexpr std::string_view lockFileName = ".cifrel.lock";
inline constexpr std::string_view pendingSuffix = ".new";

// Reading stops after this many bytes: a huge or foreign file still loads at
// once. It holds any name the input box lets the player type.
inline constexpr std::size_t readLimit = 64 * 1024;

// The highest score a game can make: its count of right answers is a 16-bit
// count that stops there (a fifteen-minute game gives a few hundred at
// most). A score file holding a higher number is damaged: it reads as no
// record, and the next game with a right answer replaces it.
inline constexpr int highestScore = 32767;

// Record files are 8-bit text in the Windows-1252 code page. Decoding maps
// every byte to one character; encoding writes "?" for a character the code
// page cannot hold.
std::string decodeCp1252(std::string_view bytes);
std::string encodeCp1252(std::string_view utf8);

enum class SaveOutcome {
    NotBetter, // the stored score is equal or greater, or the score is 0:
               // nothing written
    Saved,     // both files now hold the new record
    Failed,    // not saved; the old record is whole (or, when the disk
               // failed between the two replacements, the new score is in
               // place and the next start puts the new name beside it)
    Abandoned, // the wait for another game's save was given up: nothing
               // written, the record files exactly as they were
};

struct SaveResult {
    SaveOutcome outcome;
    std::string problem; // with Failed: why, for the player: one Italian
                         // sentence (or two), ready for a warning box
};

// Told, again and again, that a save still waits for another game's save;
// returns whether to go on waiting (false: the save is given up).
using StillWaiting = std::function<bool(std::chrono::milliseconds waited)>;

// Where the record files live, as the program works it out: a folder, or
// why there is none (in Italian, without opening words or full stop, e.g.
// "non trovo la cartella personale (...)").
struct RecordFolder {
    std::filesystem::path path;
    std::string problem;
    // Set when an administrator chose the folder for every account: the
    // words that name the setting in a message, e.g. "l'impostazione folder
    // del gruppo [record] in /etc/xdg/cifrelle/cifrelle.conf". The folder
    // is then shared (see RecordFiles), and `path` is the setting's value
    // as written, to be checked.
    std::string setting;
    // Whether the school keeps the teacher's register (registro.csv) in the
    // folder: set only by the administrator's setting.
    bool keepRegister = false;
    // Whether the administrator guards the class folder: only the class's
    // keeper (cifrelle-classe) writes it, and the game asks the keeper
    // instead of opening the files (see RecordStore).
    bool guarded = false;
};

// What the end of one game wrote.
struct GameEndResult {
    SaveResult record; // the record's save (NotBetter when none was asked)
    // Why the game's line is not in the teacher's register: one Italian
    // sentence, ready for a warning box; empty when the line is there, when
    // no register is kept, or when the wait was given up (record: Abandoned).
    std::string registerProblem;
};

// Where the game keeps its record and the teacher's register, as the game
// sees it: the record folder's files themselves (RecordFiles), or the
// class's keeper, the one program that writes a guarded class folder (the
// keeper's client, keeper/). The game asks the same of both, and what each
// call does is told at RecordFiles.
class RecordStore {
public:
    virtual ~RecordStore() = default;
    virtual const std::filesystem::path& directory() const = 0;
    virtual std::filesystem::path scorePath() const = 0;
    virtual std::filesystem::path namePath() const = 0;
    virtual std::filesystem::path registerPath() const = 0;
    virtual bool keepsRegister() const = 0;
    virtual std::optional<std::string> ensure() = 0;
    virtual std::optional<std::string> read(const std::filesystem::path& path) const = 0;
    virtual GameEndResult endGame(GameSummary game, bool saveRecord,
                                  const StillWaiting& stillWaiting) = 0;
};

// The two record files in one folder. Each holds one line of Windows-1252
// text ended by CR LF: the score file the number of right answers in
// digits, the name file the player's name as typed, except that a
// character Windows-1252 cannot hold is stored as "?" and a line break as a
// blank. Beside them lie the lock file ".cifrel.lock" (empty; every game
// locks it while it saves) and, only while a save is under way or after
// one was cut short, "cifrel.txt.new" and "ncifrel.txt.new". On POSIX
// systems a file the game makes in a shared folder is set up (group and
// permissions) before it gets its name; where the file system cannot make
// a file without a name, and for a lock file it replaces, it is set up
// under a passing name first ("cifrel.txt.tmp-" and six letters or digits;
// likewise for "ncifrel.txt" and ".cifrel.lock"); what a game killed
// meanwhile left of those is removed by the next start or save (a part of
// them at a time, in a folder flooded with such names). When the school keeps the teacher's
// register, "registro.csv" lies beside them too (see register.h), made and set up as the record
// files are, and every game adds its line there under the same lock.
//
// The folder is opened once and nothing inside it is ever followed, as the
// top of recordfiles.cpp tells: anything but a regular file in the place
// of one of these files is reported, naming it, and left alone. A lock file
// this account may not lock (another account's, closed to the others) is
// replaced by one of its own where the folder lets it, and otherwise named
// for removal. A folder that is no longer at its path at the game end
// (moved, deleted, replaced by another of the same name) gets nothing
// written, and the game end says so.
//
// The player's own folder is created when missing, and the files made in it
// get what the player's umask gives, but for the register, which only the
// player's account may read and write (rw-------), whatever the umask. A
// folder an administrator chose for every account (RecordFolder::setting)
// is shared: it must be an absolute path to a folder that is there already
// and takes new files (otherwise nothing is written anywhere, and the
// messages name the setting); every file made in it is readable and
// replaceable by whoever may write in the folder (POSIX: read and write for
// the folder's group and for everyone else as far as the folder lets them
// make files, in the folder's group, whatever the umask); and a record file
// there needs no write permission of its own, only a folder that lets this
// account replace it.
class RecordFiles final : public RecordStore {
public:
    explicit RecordFiles(std::filesystem::path directory);
    explicit RecordFiles(RecordFolder folder);
    RecordFiles(RecordFiles&&) noexcept;
    RecordFiles& operator=(RecordFiles&&) noexcept;
    ~RecordFiles() override;

    const std::filesystem::path& directory() const override { return directory_; }
    std::filesystem::path scorePath() const override;
    std::filesystem::path namePath() const override;

    // Opens the folder (creating the player's own), makes the lock file and
    // any missing record file, empty, removes what games killed while
    // making a file left, and brings back a whole record when an earlier
    // save was cut short. Existing content is never changed. Returns why the
    // record cannot be kept (one Italian sentence beginning "Il record non
    // potrà essere conservato: "), or nothing when all is well.
    std::optional<std::string> ensure() override;

    // The content of a record file (its path: scorePath() or namePath()) as
    // text, line end included (an over-long file is cut to its first
    // readLimit bytes); both read empty while the score file holds a number
    // above highestScore (a damaged record). Returns nothing when it cannot
    // be read or is not a regular file of the record folder.
    std::optional<std::string> read(const std::filesystem::path& path) const override;

    // The game end's save: under the lock shared by every game on this
    // account, reads the stored score as it stands now (lenient reading),
    // and when it is strictly below `score` (the right answers of the game
    // just ended) replaces both files with `score` and `playerName`, so that
    // either the old record or the new one is there, whole, after the next
    // start at the latest. While another game holds the lock it waits,
    // calling `stillWaiting` at every try (about 50 times a second, from the
    // first) with how long it has waited so far, for as long as that says to
    // go on; when it says stop, the save is Abandoned, nothing written.
    SaveResult saveIfBetter(int score, std::string_view playerName,
                            const StillWaiting& stillWaiting = {});

    // The end of a game, under one lock: the save of `game`'s score
    // (game.right) and name as saveIfBetter() does, when `saveRecord` (not
    // for a window closed, nor after start-up said the record cannot be
    // kept); then, when the school keeps the teacher's register, `game`'s
    // line added at its end, its "nuovo record" as the save went. The wait,
    // and giving it up, are as saveIfBetter()'s; given up, nothing is
    // written at all.
    GameEndResult endGame(GameSummary game, bool saveRecord,
                          const StillWaiting& stillWaiting = {}) override;

    bool keepsRegister() const override { return keepRegister_; }
    std::filesystem::path registerPath() const override;

private:
    // The game end's work; `game` null: no line for the register.
    GameEndResult finish(int score, std::string_view playerName, bool saveRecord, GameSummary* game,
                         const StillWaiting& stillWaiting);

    std::filesystem::path directory_;
    std::string folderProblem_;
    std::string setting_;
    bool keepRegister_ = false;
    std::unique_ptr<fileops::Folder> folder_; // opened once, by the first use
};

// The game end when start-up said the record cannot be kept (`startProblem`,
// a sentence beginning "Il record non potrà essere conservato: "): nothing
// is saved, and a score that would be a record against the empty one shown
// (above 0) is Failed, told why in the game end's words ("Il record non è
// stato salvato: " and the same reason); any other is NotBetter.
SaveResult notSaved(int score, std::string_view startProblem);

// A path as UTF-8 text, for the player's messages (on Windows too, where a
// folder name may hold characters outside the system's code page).
std::string pathText(const std::filesystem::path& path);

} // namespace cifrelle::records
