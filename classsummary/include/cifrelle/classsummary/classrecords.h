// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cifrelle/classsummary/calendar.h"

#include "cifrelle/records/register.h"
#include "cifrelle/records/registerreader.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace cifrelle::classsummary {

// The games of a class, from one register or several (brought from several
// computers), kept small: not each game, but for each pupil, day and
// account-and-computer the sums of its games. A line met in an earlier
// file counts once (its text's hash tells it); within one file every line
// counts.

inline constexpr int levelCount = 3; // tenths, hundredths, thousandths
inline constexpr int mistakeKinds = records::mistakeKinds;

struct LevelCounts {
    std::uint64_t right = 0;
    std::uint64_t wrong = 0;
    std::uint64_t answers() const { return right + wrong; }
    LevelCounts& operator+=(const LevelCounts& other)
    {
        right += other.right;
        wrong += other.wrong;
        return *this;
    }
    friend bool operator==(const LevelCounts&, const LevelCounts&) = default;
};

// The sums of the games of one pupil on one day from one account and
// computer.
struct Tally {
    std::uint32_t pupil = 0;
    std::uint32_t origin = 0; // index in ClassRecords::origins()
    int day = 0;
    std::uint32_t games = 0;
    std::uint64_t seconds = 0;
    std::array<LevelCounts, levelCount> levels{};
    // The wrong answers by kind, from the lines that tell the kinds.
    std::array<std::uint64_t, mistakeKinds> mistakes{};
    Moment last = 0; // when the latest of these games ended
};

struct Pupil {
    std::string key;   // pupilKey()
    std::string shown; // as the latest game wrote the name (shownName())
    Moment shownAt = 0;
};

// An account and the computer it played on; both empty for lines that do
// not tell them.
struct Origin {
    std::string account;
    std::string computer;
};

// One register read.
struct RegisterFile {
    std::filesystem::path path;
    records::RegisterReading reading;
    std::uint64_t repeated = 0; // games already met in an earlier file
};

class ClassRecords {
public:
    ClassRecords();
    ClassRecords(ClassRecords&&) noexcept;
    ClassRecords& operator=(ClassRecords&&) noexcept;
    ~ClassRecords();

    // Reads the register at `path` into the class (records::readRegister).
    const RegisterFile& read(const std::filesystem::path& path);
    // The games of a register already read (its bytes from `parser`):
    // begin, then each entry, then end with what the reading gave.
    void beginFile(std::filesystem::path path);
    void add(const records::RegisterEntry& entry);
    void endFile(const records::RegisterReading& reading);

    const std::vector<RegisterFile>& files() const { return files_; }
    const std::vector<Pupil>& pupils() const { return pupils_; }
    const std::vector<Origin>& origins() const { return origins_; }
    // Sorted by pupil, then day, then origin.
    const std::vector<Tally>& tallies() const;
    std::uint64_t games() const { return games_; }
    // The first and last day with a game (both 0 without games).
    int firstDay() const { return firstDay_; }
    int lastDay() const { return lastDay_; }

    // The pupil a name typed is, if any game had it.
    std::optional<std::uint32_t> pupilOf(std::string_view typed) const;

    // Every game of the files read, again, in their order, as they were
    // when read (a game added to a file since is not among them), with the
    // pupil each is and whether it counts (a line met in an earlier file
    // does not).
    using Games = std::function<void(std::uint32_t pupil, const records::RegisterEntry& entry)>;
    void readAgain(const Games& each) const;

private:
    struct Index;
    std::unique_ptr<Index> index_;
    std::vector<RegisterFile> files_;
    std::vector<Pupil> pupils_;
    std::vector<Origin> origins_;
    mutable std::vector<Tally> tallies_;
    mutable bool sorted_ = true;
    std::uint64_t games_ = 0;
    int firstDay_ = 0;
    int lastDay_ = 0;
};

} // namespace cifrelle::classsummary
