// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzz target for the record files: what start-up reads from them and the
// game end's comparison and save, with files of any content.
//
// The input is laid out as
//   byte 0     bit 0: a score file is there; bit 1: a name file is there;
//              bits 2-4: the state the directory is in (see Situation);
//              bits 5-7: the game's score, 0 to 7;
//   then       the score file's bytes, up to the first NUL byte;
//   then       the name file's bytes, which are also the player's name
//              as typed (any bytes, not always valid UTF-8).
// Each run starts from a fresh record directory of this process.
//
// Checked: ensure() keeps what it finds (or completes a save cut short) and
// reports what it cannot keep; read() gives every byte back through the
// code page, up to the read limit, and nothing of either file while the
// score file's leading number is above the highest score a game can make (a
// damaged record); Windows-1252 decoding and encoding are each other's
// inverse; saveIfBetter() saves exactly when the score file's leading
// number is below the score, a damaged one counting as 0 (and both record
// files are regular files or missing), leaves exactly score CR LF and the name in the code
// page, its line breaks blanks, CR LF after a save, and changes nothing
// otherwise.

#include "check.h"

#include "cifrelle/numtext/numtext.h"
#include "cifrelle/records/recordfiles.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#ifdef _WIN32
#include <process.h>
#define getpid _getpid
#else
#include <unistd.h>
#endif

namespace fs = std::filesystem;
namespace rec = cifrelle::records;
using cifrelle::fuzz::fail;
using cifrelle::fuzz::referenceDecimal;

namespace {

enum class Situation : std::uint8_t {
    Plain = 0,            // the files as the flags say
    ScoreIsDirectory = 1, // a directory where the score file should be
    NameDangling = 2,     // the name file is a link to nothing
    NamePending = 3,      // a save stopped after its commit: "ncifrel.txt.new" left
    BothPending = 4,      // a save stopped before its commit: both ".new" left
    HugeScore = 5,        // the score file goes on past the read limit
    NameIsDirectory = 6,  // a directory where the name file should be
    ScoreDangling = 7,    // the score file is a link to nothing
};

// --- Windows-1252, written out on its own ------------------------------------

// Code points of 0x80-0x9F; the five bytes the code page leaves undefined
// stand for the C1 controls of the same number. The rest is Latin-1.
constexpr std::array<char32_t, 32> kHigh{
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

char32_t cp1252CodePoint(unsigned char b)
{
    return b >= 0x80 && b <= 0x9F ? kHigh[b - 0x80] : char32_t{b};
}

std::optional<unsigned char> cp1252Byte(char32_t cp)
{
    for (unsigned b = 0; b < 256; ++b) {
        if (cp1252CodePoint(static_cast<unsigned char>(b)) == cp)
            return static_cast<unsigned char>(b);
    }
    return std::nullopt;
}

// Strict UTF-8 decoding: nothing for an invalid text.
std::optional<std::vector<char32_t>> utf8CodePoints(std::string_view s)
{
    std::vector<char32_t> out;
    std::size_t i = 0;
    while (i < s.size()) {
        const auto b0 = static_cast<unsigned char>(s[i]);
        std::size_t n;
        char32_t cp;
        if (b0 < 0x80) {
            n = 1;
            cp = b0;
        } else if (b0 >= 0xC2 && b0 <= 0xDF) {
            n = 2;
            cp = b0 & 0x1Fu;
        } else if (b0 >= 0xE0 && b0 <= 0xEF) {
            n = 3;
            cp = b0 & 0x0Fu;
        } else if (b0 >= 0xF0 && b0 <= 0xF4) {
            n = 4;
            cp = b0 & 0x07u;
        } else {
            return std::nullopt;
        }
        if (i + n > s.size())
            return std::nullopt;
        for (std::size_t k = 1; k < n; ++k) {
            const auto b = static_cast<unsigned char>(s[i + k]);
            if ((b & 0xC0u) != 0x80u)
                return std::nullopt;
            cp = (cp << 6) | (b & 0x3Fu);
        }
        const char32_t minimum = n == 1 ? 0 : n == 2 ? 0x80 : n == 3 ? 0x800 : 0x10000;
        if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return std::nullopt;
        out.push_back(cp);
        i += n;
    }
    return out;
}

void checkCodePage(std::string_view bytes, std::string_view typed)
{
    // Every byte is one character, and comes back unchanged.
    const std::string decoded = rec::decodeCp1252(bytes);
    const auto cps = utf8CodePoints(decoded);
    FUZZ_CHECK(cps.has_value());
    FUZZ_CHECK(cps->size() == bytes.size());
    for (std::size_t i = 0; i < bytes.size(); ++i)
        FUZZ_CHECK((*cps)[i] == cp1252CodePoint(static_cast<unsigned char>(bytes[i])));
    FUZZ_CHECK(rec::encodeCp1252(decoded) == bytes);

    // A typed name: one byte per character, "?" for what the code page
    // lacks; what is written reads back and writes again the same.
    const std::string encoded = rec::encodeCp1252(typed);
    FUZZ_CHECK(encoded.size() <= typed.size());
    FUZZ_CHECK(rec::encodeCp1252(rec::decodeCp1252(encoded)) == encoded);
    if (const auto typedCps = utf8CodePoints(typed)) {
        std::string expected;
        for (char32_t cp : *typedCps) {
            const auto b = cp1252Byte(cp);
            expected += b ? static_cast<char>(*b) : '?';
        }
        FUZZ_CHECK(encoded == expected);
    }
}

// --- the record directory ----------------------------------------------------

// One directory per process, emptied before each run and removed at exit.
class Scratch {
public:
    Scratch()
        : base_(fs::temp_directory_path() / ("cifrelle-fuzz-records-" + std::to_string(::getpid())))
    {
    }
    ~Scratch()
    {
        std::error_code ec;
        fs::remove_all(base_, ec);
    }
    const fs::path& fresh()
    {
        std::error_code ec;
        fs::remove_all(base_, ec);
        fs::create_directories(base_ / "rec", ec);
        if (ec)
            fail(__FILE__, __LINE__, "cannot make the scratch directory");
        return base_;
    }

private:
    fs::path base_;
};

void writeFile(const fs::path& path, std::string_view bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out)
        fail(__FILE__, __LINE__, "cannot write a test file");
}

// What is at a path, without following a link.
struct Entry {
    enum Kind { Missing, File, Directory, Link, Other } kind = Missing;
    std::string bytes; // a file's content, or a link's target
    bool operator==(const Entry&) const = default;
};

Entry look(const fs::path& path)
{
    std::error_code error;
    const fs::file_status st = fs::symlink_status(path, error);
    if (error || !fs::exists(st))
        return {};
    if (fs::is_directory(st))
        return {Entry::Directory, {}};
    if (fs::is_symlink(st))
        return {Entry::Link, fs::read_symlink(path).string()};
    if (!fs::is_regular_file(st))
        return {Entry::Other, {}};
    std::ifstream in(path, std::ios::binary);
    return {Entry::File, std::string(std::istreambuf_iterator<char>(in), {})};
}

Entry file(std::string bytes)
{
    return {Entry::File, std::move(bytes)};
}

// The lenient reading's value of a score file, found independently.
double leadingValue(std::string_view bytes)
{
    const auto number = cifrelle::fuzz::leadingNumber(bytes);
    return referenceDecimal(number.whole, number.fraction);
}

// Whether the score file holds a damaged record: a number no game reaches.
bool damaged(const Entry& score)
{
    return score.kind == Entry::File &&
           leadingValue(std::string_view(score.bytes).substr(0, rec::readLimit)) >
               rec::highestScore;
}

// The stored score the game end compares with.
double storedScore(std::string_view bytes)
{
    const double value = leadingValue(bytes);
    return value > rec::highestScore ? 0.0 : value;
}

void checkRead(const rec::RecordFiles& files, const fs::path& path, const Entry& entry,
               const Entry& score)
{
    const std::optional<std::string> text = files.read(path);
    if (entry.kind != Entry::File) {
        FUZZ_CHECK(!text.has_value());
        return;
    }
    FUZZ_CHECK(text.has_value());
    if (damaged(score)) {
        FUZZ_CHECK(text->empty());
        return;
    }
    const std::string_view shown = std::string_view(entry.bytes).substr(0, rec::readLimit);
    FUZZ_CHECK(rec::encodeCp1252(*text) == shown);
    FUZZ_CHECK(*text == rec::decodeCp1252(shown));
}

// The name as the name file holds it: every line break a blank (a CR LF
// pair is one).
std::string blanked(std::string_view name)
{
    std::string out(name);
    for (std::string_view lineBreak :
         {"\r\n", "\xC2\x85", "\xE2\x80\xA8", "\xE2\x80\xA9", "\r", "\n", "\v", "\f"}) {
        for (std::size_t at = out.find(lineBreak); at != std::string::npos;
             at = out.find(lineBreak, at + 1))
            out.replace(at, lineBreak.size(), " ");
    }
    return out;
}

bool pendingLeft(const fs::path& dir)
{
    for (const auto& e : fs::directory_iterator(dir)) {
        const std::string name = e.path().filename().string();
        if (name.size() >= rec::pendingSuffix.size() &&
            name.compare(name.size() - rec::pendingSuffix.size(), std::string::npos,
                         rec::pendingSuffix) == 0)
            return true;
    }
    return false;
}

Scratch scratch;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const std::uint8_t flags = data[0];
    const std::string_view rest(reinterpret_cast<const char*>(data) + 1, size - 1);
    const std::size_t nul = rest.find('\0');
    const std::string_view scoreBytes = rest.substr(0, nul);
    const std::string_view nameBytes =
        nul == std::string_view::npos ? std::string_view() : rest.substr(nul + 1);
    const bool haveScore = flags & 1u;
    const bool haveName = flags & 2u;
    auto situation = static_cast<Situation>((flags >> 2) & 7u);
#ifdef _WIN32
    // The C++ library cannot make links there: a dangling link is played as
    // the plain files.
    if (situation == Situation::NameDangling || situation == Situation::ScoreDangling)
        situation = Situation::Plain;
#endif
    const int gameScore = flags >> 5;
    const std::string scoreText = std::to_string(gameScore);

    checkCodePage(scoreBytes, nameBytes);
    checkCodePage(nameBytes, scoreBytes);

    const fs::path dir = scratch.fresh() / "rec";
    rec::RecordFiles files(dir);
    const fs::path score = files.scorePath();
    const fs::path name = files.namePath();
    const fs::path scorePending = fs::path(score.string() + std::string(rec::pendingSuffix));
    const fs::path namePending = fs::path(name.string() + std::string(rec::pendingSuffix));

    std::string scoreContent(scoreBytes);
    if (situation == Situation::HugeScore)
        scoreContent.resize(rec::readLimit + 1 + scoreBytes.size(), 'z');
    if (haveScore || situation == Situation::HugeScore)
        writeFile(score, scoreContent);
    if (haveName)
        writeFile(name, nameBytes);
    switch (situation) {
    case Situation::ScoreIsDirectory:
        fs::remove(score);
        fs::create_directory(score);
        break;
    case Situation::NameIsDirectory:
        fs::remove(name);
        fs::create_directory(name);
        break;
    case Situation::ScoreDangling:
        fs::remove(score);
        fs::create_symlink(dir / "gone" / "cifrel.txt", score);
        break;
    case Situation::NameDangling:
        fs::remove(name);
        fs::create_symlink(dir / "gone" / "ncifrel.txt", name);
        break;
    case Situation::NamePending: writeFile(namePending, scoreBytes); break;
    case Situation::BothPending:
        writeFile(scorePending, nameBytes);
        writeFile(namePending, scoreBytes);
        break;
    default: break;
    }
    const Entry scoreBefore = look(score);
    const Entry nameBefore = look(name);

    // --- start-up: ensure() ---
    const std::optional<std::string> problem = files.ensure();
    const Entry scoreAfter = look(score);
    const Entry nameAfter = look(name);
    FUZZ_CHECK(!pendingLeft(dir));
    FUZZ_CHECK(!fs::exists(dir / "gone")); // nothing made through a link
    switch (situation) {
    case Situation::ScoreIsDirectory:
    case Situation::ScoreDangling:
        FUZZ_CHECK(problem && !problem->empty());
        FUZZ_CHECK(scoreAfter == scoreBefore);
        FUZZ_CHECK(nameAfter == (haveName ? nameBefore : file("")));
        break;
    case Situation::NameIsDirectory:
    case Situation::NameDangling:
        FUZZ_CHECK(problem && !problem->empty());
        FUZZ_CHECK(scoreAfter == (haveScore ? scoreBefore : file("")));
        FUZZ_CHECK(nameAfter == nameBefore);
        break;
    case Situation::NamePending: // the save had committed: its name goes in
        FUZZ_CHECK(!problem);
        FUZZ_CHECK(scoreAfter == (haveScore ? scoreBefore : file("")));
        FUZZ_CHECK(nameAfter == file(std::string(scoreBytes)));
        break;
    default: // BothPending: the save had not committed, the old record stays
        FUZZ_CHECK(!problem);
        FUZZ_CHECK(scoreAfter ==
                   (haveScore || situation == Situation::HugeScore ? scoreBefore : file("")));
        FUZZ_CHECK(nameAfter == (haveName ? nameBefore : file("")));
        break;
    }

    // --- start-up: read() ---
    checkRead(files, score, scoreAfter, scoreAfter);
    checkRead(files, name, nameAfter, scoreAfter);

    // --- game end: saveIfBetter() ---
    const rec::SaveResult result = files.saveIfBetter(gameScore, nameBytes);
    FUZZ_CHECK(!pendingLeft(dir));
    FUZZ_CHECK(!fs::exists(dir / "gone"));
    FUZZ_CHECK((result.outcome == rec::SaveOutcome::Failed) == !result.problem.empty());

    rec::SaveOutcome expected;
    if (gameScore == 0) {
        expected = rec::SaveOutcome::NotBetter; // no record
    } else if (situation == Situation::ScoreIsDirectory || situation == Situation::ScoreDangling) {
        expected = rec::SaveOutcome::Failed; // the record cannot be read
    } else {
        const std::string_view stored =
            scoreAfter.kind == Entry::File
                ? std::string_view(scoreAfter.bytes).substr(0, rec::readLimit)
                : std::string_view();
        if (!(storedScore(stored) < static_cast<double>(gameScore)))
            expected = rec::SaveOutcome::NotBetter;
        else if (situation == Situation::NameIsDirectory || situation == Situation::NameDangling)
            expected = rec::SaveOutcome::Failed; // the name file is no file
        else
            expected = rec::SaveOutcome::Saved;
    }
    FUZZ_CHECK(result.outcome == expected);

    if (result.outcome == rec::SaveOutcome::Saved) {
        FUZZ_CHECK(look(score) == file(scoreText + "\r\n"));
        FUZZ_CHECK(look(name) == file(rec::encodeCp1252(blanked(nameBytes)) + "\r\n"));
        // And the next start reads the record back.
        FUZZ_CHECK(!files.ensure());
        FUZZ_CHECK(files.read(score) == scoreText + "\r\n");
        FUZZ_CHECK(files.read(name) ==
                   rec::decodeCp1252(rec::encodeCp1252(blanked(nameBytes))) + "\r\n");
    } else {
        FUZZ_CHECK(look(score) == scoreAfter);
        FUZZ_CHECK(look(name) == nameAfter);
    }
    return 0;
}
