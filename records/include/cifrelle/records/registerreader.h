// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cifrelle/records/register.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace cifrelle::records {

// Reading the teacher's register back, with the columns registerColumns()
// gives (the table the game writes its lines with).
//
// The file is UTF-8, with or without the byte-order mark. Its first line is
// the heading, and the heading decides which field is which column: a
// heading the table does not know is ignored, and every column of the first
// registers ("data" to "nuovo record") must be there. A file whose heading
// is the first registers' and whose lines are longer (the game appends
// today's lines to a file it never rewrites) reads the further fields as
// the table's further columns; fields beyond those are ignored, so that a
// register of a later version still opens. A file without a heading is
// read with the table's columns in their order, and a heading met again
// further down (registers joined end to end) holds from there on.
//
// A field is quoted as the writer quotes it ('"' around it, a '"' inside
// doubled); lines end with LF, CR LF or CR CR LF. A line that cannot be
// read (too few fields, a field that is not what its column writes, a
// quote left open, a line longer than lineLimit) is skipped and counted;
// an empty line is no game and no fault.

// One game as the reader hands it on: its values, which columns the line
// had, a hash of its text (to know a line met again in another file) and
// its number in the file (the heading is line 1).
struct RegisterEntry {
    const GameSummary& game;
    std::uint32_t columns; // bit i: registerColumns()[i] was read
    std::uint64_t hash;    // of the line's bytes, its line end left out
    std::uint64_t lineNumber;
};

// Whether the line of `entry` had the column `index` of registerColumns().
inline bool hasColumn(const RegisterEntry& entry, std::size_t index)
{
    return (entry.columns >> index) & 1u;
}

using RegisterEntries = std::function<void(const RegisterEntry&)>;

// What one register gave.
struct RegisterReading {
    // Why the file could not be read, in one Italian sentence; empty when
    // it was read whole. (A file that is no register hands on nothing; one
    // whose reading fails midway has handed on the games before.)
    std::string problem;
    std::uint64_t games = 0;   // lines handed on as games
    std::uint64_t skipped = 0; // lines that could not be read
    // The numbers of the first lines skipped, at most skippedListed.
    std::vector<std::uint64_t> firstSkipped;
    std::uint64_t bytes = 0; // bytes read
};
inline constexpr std::size_t skippedListed = 5;

// The longest line read; a longer one is skipped.
inline constexpr std::size_t lineLimit = 1 << 20;

// Reads a register's bytes as they come, in pieces of any size.
class RegisterParser {
public:
    explicit RegisterParser(RegisterEntries onEntry);
    RegisterParser(const RegisterParser&) = delete;
    RegisterParser& operator=(const RegisterParser&) = delete;
    ~RegisterParser();

    // The next bytes of the file. Nothing more is read once the heading
    // has shown that the file is no register (finish() says why).
    void feed(std::string_view bytes);
    // The end of the file: a last line without its line end counts too.
    // `name` names the file in a problem's sentence.
    RegisterReading finish(std::string_view name);

private:
    struct State;
    std::unique_ptr<State> state_;
};

// Reads the register at `path`, up to its first `upTo` bytes: opened to be
// read alone, never changed; a name that is no regular file (a folder, a
// pipe, a device, a link to one) is refused before anything waits on it.
// A file this account may not read is told as "Il registro è leggibile
// solo dall'insegnante: ...".
RegisterReading readRegister(const std::filesystem::path& path, const RegisterEntries& onEntry,
                             std::uint64_t upTo = std::numeric_limits<std::uint64_t>::max());

// The hash the reader gives a line's bytes (64 bits, not for secrets).
std::uint64_t lineHash(std::string_view bytes);

} // namespace cifrelle::records
