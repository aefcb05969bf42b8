#pragma once

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace cifrelle::records {

inline constexpr std::string_view scoreFileName = "cifrel.txt";
inline constexpr std::string_view nameFileName = "ncifrel.txt";

// Beside the record files: the lock every game takes while it saves, and
// the suffix of the files a save writes before it puts them in place.
inline constexpr std::string_view lockFileName = ".cifrel.lock";
inline constexpr std::string_view pendingSuffix = ".new";

// Reading stops after this many bytes: a huge or foreign file still loads at
// once. It holds any name the input box lets the player type.
inline constexpr std::size_t readLimit = 64 * 1024;

// Record files are 8-bit text in the Windows-1252 code page. Decoding maps
// every byte to one character; encoding writes "?" for a character the code
// page cannot hold.
std::string decodeCp1252(std::string_view bytes);
std::string encodeCp1252(std::string_view utf8);

enum class SaveOutcome {
    NotBetter, // the stored score is equal or greater, or the current score
               // is not a number: nothing written
    Saved,     // both files now hold the new record
    Failed,    // nothing could be saved; the old record is whole (or, in the
               // one case of a disk failing between the two replacements,
               // the new one is completed at the next ensure())
};

struct SaveResult {
    SaveOutcome outcome;
    std::string problem; // with Failed: why, in Italian, for the player (one
                         // sentence, ready for a warning box)
};

// The two record files in one directory.
class RecordFiles {
public:
    explicit RecordFiles(std::filesystem::path directory);

    const std::filesystem::path& directory() const { return directory_; }
    std::filesystem::path scorePath() const;
    std::filesystem::path namePath() const;

    // Creates the directory and any missing record file, empty, and brings
    // back a whole record when an earlier save was cut short. Existing
    // content is never changed. Returns a short Italian description of the
    // problem when the files cannot be kept (one sentence, ready for a
    // warning box), or nothing when all is well.
    std::optional<std::string> ensure();

    // The file's whole content as text, line end included (an over-long file
    // is cut to its first readLimit bytes). Returns nothing when it cannot be
    // read or is not a plain file.
    std::optional<std::string> read(const std::filesystem::path& path) const;

    // The game end's save: under a lock shared by every game on this
    // account, reads the stored score as it stands now (lenient reading), and
    // when it is strictly below `currentScore` (strict reading of the score
    // caption) replaces both files, one line each ended by CR LF, so that
    // either the old record or the new one is there, whole, at any moment.
    SaveResult saveIfBetter(std::string_view currentScore, std::string_view playerName);

    // How long a save waits for another game's save to finish (5 s unless
    // changed) before it gives up with Failed.
    void setLockWait(std::chrono::milliseconds wait) { lockWait_ = wait; }

private:
    std::filesystem::path directory_;
    std::chrono::milliseconds lockWait_{5000};
};

// The player's own data directory for the game (not created here).
std::filesystem::path defaultDirectory();

} // namespace cifrelle::records
