// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzz target for the register reader: any bytes as a register.
//
// The input's first byte picks the size of the pieces the rest is fed in
// (1 to 256 bytes); the rest is the file.
//
// Checked: fed whole or in pieces, the reader hands on the same games and
// counts the same lines; the skipped lines' numbers rise and are at most
// skippedListed; every game read, written again by the writer and read
// back, gives the same line (what the reader takes is what the writer
// writes); a file it refuses hands on nothing.

#include "check.h"

#include "cifrelle/records/registerreader.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace rec = cifrelle::records;

namespace {

struct Read {
    std::vector<std::string> lines; // each game, as the writer writes it
    std::vector<std::uint64_t> numbers;
    rec::RegisterReading reading;
};

Read parse(std::string_view bytes, std::size_t piece)
{
    Read read;
    rec::RegisterParser parser([&read](const rec::RegisterEntry& e) {
        read.lines.push_back(rec::registerLine(e.game));
        read.numbers.push_back(e.lineNumber);
    });
    for (std::size_t at = 0; at < bytes.size(); at += piece)
        parser.feed(bytes.substr(at, piece));
    read.reading = parser.finish("r");
    return read;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const std::size_t piece = std::size_t{data[0]} + 1;
    const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);

    const Read whole = parse(bytes, bytes.size() + 1);
    const Read pieces = parse(bytes, piece);
    FUZZ_CHECK(whole.lines == pieces.lines);
    FUZZ_CHECK(whole.numbers == pieces.numbers);
    FUZZ_CHECK(whole.reading.problem == pieces.reading.problem);
    FUZZ_CHECK(whole.reading.games == pieces.reading.games);
    FUZZ_CHECK(whole.reading.skipped == pieces.reading.skipped);
    FUZZ_CHECK(whole.reading.firstSkipped == pieces.reading.firstSkipped);

    const rec::RegisterReading& r = whole.reading;
    FUZZ_CHECK(r.games == whole.lines.size());
    FUZZ_CHECK(r.problem.empty() || r.games == 0);
    FUZZ_CHECK(r.firstSkipped.size() <= rec::skippedListed);
    FUZZ_CHECK(r.firstSkipped.size() == std::min<std::uint64_t>(r.skipped, rec::skippedListed));
    for (std::size_t i = 1; i < r.firstSkipped.size(); ++i)
        FUZZ_CHECK(r.firstSkipped[i - 1] < r.firstSkipped[i]);
    for (std::size_t i = 1; i < whole.numbers.size(); ++i)
        FUZZ_CHECK(whole.numbers[i - 1] < whole.numbers[i]);

    // What was read, written again, reads back as the same line.
    for (const std::string& line : whole.lines) {
        const Read again = parse(rec::registerHeading() + line, line.size() + 64);
        FUZZ_CHECK(again.lines.size() == 1 && again.reading.skipped == 0);
        FUZZ_CHECK(again.lines[0] == line);
    }
    return 0;
}
