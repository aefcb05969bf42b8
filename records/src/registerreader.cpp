// SPDX-License-Identifier: GPL-3.0-or-later
// Reading the teacher's register back, line by line, with the column table
// the game writes it with (register.cpp). How a file is read:
//
//   1. its bytes come in pieces; each line (up to LF) is taken whole, its
//      CRs at the end dropped, without copying unless it spans two pieces;
//   2. the first line, after its byte-order mark, is the heading when its
//      first field is "data": it says which field is which column;
//      otherwise the file has none and the table's order holds (a heading
//      further down, with or without its mark, where registers were joined,
//      holds from there on);
//   3. every other line is split into fields (quoted ones unquoted), each
//      field of a known column read by that column into one GameSummary,
//      kept from line to line, and the game handed on with the columns
//      read and the line's hash; a line that does not read is counted.

#include "cifrelle/records/registerreader.h"

#include "cifrelle/records/recordfiles.h"

#include "readonlyfile.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace cifrelle::records {

namespace {

constexpr std::string_view byteOrderMark = "\xEF\xBB\xBF";

std::uint64_t mix(std::uint64_t x)
{
    x ^= x >> 30;
    x *= 0xBF58476D1CE4E5B9ull;
    x ^= x >> 27;
    x *= 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

// Which column of the table each field of a line is.
struct Layout {
    std::vector<int> columns; // per field: the table's index, or -1
    // Fields beyond `columns` are the table's next columns (a file without
    // a heading, or with the first registers' heading).
    bool extendsTable = true;
    std::size_t fieldsNeeded = firstRegisterColumns;

    int columnOf(std::size_t field) const
    {
        if (field < columns.size())
            return columns[field];
        return extendsTable && field < registerColumns().size() ? static_cast<int>(field) : -1;
    }
};

} // namespace

std::uint64_t lineHash(std::string_view bytes)
{
    constexpr std::uint64_t k = 0x9E3779B97F4A7C15ull;
    std::uint64_t h = bytes.size() * k;
    std::size_t i = 0;
    for (; i + 8 <= bytes.size(); i += 8) {
        std::uint64_t word;
        std::memcpy(&word, bytes.data() + i, 8);
        h = (h ^ mix(word)) * k;
    }
    std::uint64_t tail = 0;
    std::memcpy(&tail, bytes.data() + i, bytes.size() - i);
    return mix(h ^ mix(tail + k));
}

struct RegisterParser::State {
    RegisterEntries onEntry;
    Layout layout;
    RegisterReading reading;
    std::uint64_t lineNumber = 0;
    std::string pending;   // the start of a line the next piece ends
    bool overlong = false; // the line under way is past lineLimit
    std::string missing;   // a column the heading lacks: no register
    GameSummary game;
    std::string unquoted;

    void skip()
    {
        ++reading.skipped;
        if (reading.firstSkipped.size() < skippedListed)
            reading.firstSkipped.push_back(lineNumber);
    }

    // The next field from `at` on, unquoted; `at` moves past its ";" (to
    // npos after the last). False on a quote left open or text after it.
    bool nextField(std::string_view line, std::size_t& at, std::string_view& field)
    {
        if (at < line.size() && line[at] == '"') {
            unquoted.clear();
            std::size_t from = at + 1;
            for (;;) {
                const std::size_t quote = line.find('"', from);
                if (quote == std::string_view::npos)
                    return false;
                unquoted.append(line, from, quote - from);
                if (quote + 1 < line.size() && line[quote + 1] == '"') {
                    unquoted += '"';
                    from = quote + 2;
                    continue;
                }
                at = quote + 1;
                break;
            }
            field = unquoted;
            if (at == line.size()) {
                at = std::string_view::npos;
                return true;
            }
            if (line[at] != ';')
                return false;
            ++at;
            return true;
        }
        // Fields are short: a plain loop beats a call to memchr.
        std::size_t end = at;
        while (end < line.size() && line[end] != ';')
            ++end;
        field = std::string_view(line.data() + at, end - at);
        at = end == line.size() ? std::string_view::npos : end + 1;
        return true;
    }

    // The heading's fields as the layout of the lines after it; false
    // when a column of the first registers is missing.
    bool takeHeading(std::string_view line)
    {
        const auto table = registerColumns();
        Layout next;
        next.extendsTable = true;
        std::size_t at = 0;
        std::string_view field;
        while (at != std::string_view::npos) {
            if (!nextField(line, at, field))
                return false;
            int found = -1;
            for (std::size_t c = 0; c < table.size(); ++c) {
                if (table[c].heading == field)
                    found = static_cast<int>(c);
            }
            if (found != static_cast<int>(next.columns.size()))
                next.extendsTable = false; // not the table's own order
            next.columns.push_back(found);
        }
        next.fieldsNeeded = 0;
        for (std::size_t c = 0; c < firstRegisterColumns; ++c) {
            const auto where = std::find(next.columns.begin(), next.columns.end(), int(c));
            if (where == next.columns.end()) {
                missing = table[c].heading;
                return false;
            }
            next.fieldsNeeded =
                std::max<std::size_t>(next.fieldsNeeded, where - next.columns.begin() + 1);
        }
        layout = std::move(next);
        return true;
    }

    void clearGame()
    {
        std::string name = std::move(game.name), account = std::move(game.account),
                    computer = std::move(game.computer);
        game = GameSummary{};
        name.clear();
        account.clear();
        computer.clear();
        game.name = std::move(name);
        game.account = std::move(account);
        game.computer = std::move(computer);
    }

    bool readGame(std::string_view line, std::uint32_t& columns)
    {
        clearGame();
        const auto table = registerColumns();
        columns = 0;
        std::size_t fields = 0;
        std::size_t at = 0;
        std::string_view field;
        while (at != std::string_view::npos) {
            if (!nextField(line, at, field))
                return false;
            const int column = layout.columnOf(fields++);
            if (column < 0)
                continue;
            if (!table[column].read(field, game))
                return false;
            columns |= std::uint32_t{1} << column;
        }
        return fields >= layout.fieldsNeeded;
    }

    static bool isHeading(std::string_view line)
    {
        return line.substr(0, 5) == "data;" || line == "data";
    }

    void line(std::string_view text)
    {
        ++lineNumber;
        while (!text.empty() && text.back() == '\r')
            text.remove_suffix(1);
        if (text.substr(0, byteOrderMark.size()) == byteOrderMark) // also where files were joined
            text.remove_prefix(byteOrderMark.size());
        if (text.empty())
            return;
        if (isHeading(text)) {
            if (!takeHeading(text)) {
                if (lineNumber == 1 && !missing.empty())
                    return;
                missing.clear();
                skip();
            }
            return;
        }
        std::uint32_t columns = 0;
        if (!readGame(text, columns)) {
            skip();
            return;
        }
        ++reading.games;
        onEntry(RegisterEntry{game, columns, lineHash(text), lineNumber});
    }

    bool stopped() const { return !missing.empty(); }
};

RegisterParser::RegisterParser(RegisterEntries onEntry) : state_(std::make_unique<State>())
{
    state_->onEntry = std::move(onEntry);
}

RegisterParser::~RegisterParser() = default;

void RegisterParser::feed(std::string_view bytes)
{
    State& s = *state_;
    s.reading.bytes += bytes.size();
    while (!bytes.empty() && !s.stopped()) {
        const std::size_t end = bytes.find('\n');
        const std::string_view piece = bytes.substr(0, end);
        bytes.remove_prefix(end == std::string_view::npos ? bytes.size() : end + 1);
        if (!s.overlong && s.pending.size() + piece.size() > lineLimit) {
            s.overlong = true;
            s.pending.clear();
        }
        if (end == std::string_view::npos) {
            if (!s.overlong)
                s.pending.append(piece);
            return;
        }
        if (s.overlong) {
            s.overlong = false;
            ++s.lineNumber;
            s.skip();
        } else if (s.pending.empty()) {
            s.line(piece);
        } else {
            s.pending.append(piece);
            s.line(s.pending);
            s.pending.clear();
        }
    }
}

RegisterReading RegisterParser::finish(std::string_view name)
{
    State& s = *state_;
    if (!s.stopped()) {
        if (s.overlong) {
            ++s.lineNumber;
            s.skip();
        } else if (!s.pending.empty()) {
            s.line(s.pending);
        }
    }
    s.pending.clear();
    s.overlong = false;
    RegisterReading reading = s.reading;
    if (s.stopped()) {
        reading = RegisterReading{};
        reading.problem = "«" + std::string(name) +
                          "» non è un registro di Cifrelle: nella prima riga manca la colonna «" +
                          s.missing + "».";
    }
    return reading;
}

namespace {

std::string openingProblem(const fileops::Fault& fault, const std::string& shown)
{
    using fileops::Reason;
    switch (fault.reason) {
    case Reason::Missing: return "Il registro " + shown + " non esiste.";
    case Reason::IsFolder: return shown + " è una cartella, non un registro.";
    case Reason::NotRegular:
        return shown + " non è un file normale, ma un dispositivo, una pipe o un socket: non "
                       "viene aperto.";
    case Reason::Denied:
        return "Il registro è leggibile solo dall'insegnante. Questo account non può leggere " +
               shown + ".";
    default: return "Non riesco a leggere il registro " + shown + " (" + reasonText(fault) + ").";
    }
}

} // namespace

RegisterReading readRegister(const std::filesystem::path& path, const RegisterEntries& onEntry,
                             std::uint64_t upTo)
{
    const std::string name = pathText(path);
    const std::string shown = "«" + name + "»";
    readonly::File file;
    if (const fileops::Fault fault = file.open(path)) {
        RegisterReading reading;
        reading.problem = openingProblem(fault, shown);
        return reading;
    }
    RegisterParser parser(onEntry);
    std::vector<char> buffer(1 << 20);
    std::uint64_t left = upTo;
    while (left > 0) {
        fileops::Fault fault;
        const long long got = file.read(
            buffer.data(), static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), left)),
            fault);
        if (got < 0) {
            RegisterReading reading;
            reading.problem = openingProblem(fault, shown);
            return reading;
        }
        if (got == 0)
            break;
        parser.feed(std::string_view(buffer.data(), static_cast<std::size_t>(got)));
        left -= static_cast<std::uint64_t>(got);
    }
    return parser.finish(name);
}

} // namespace cifrelle::records
