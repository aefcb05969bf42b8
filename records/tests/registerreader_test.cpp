// SPDX-License-Identifier: GPL-3.0-or-later
#include "cifrelle/records/registerreader.h"

#include "testfiles.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace cifrelle::records {
namespace {

namespace fs = std::filesystem;
using test::TempDir;
using test::writeBytes;

// What the reader handed on, one text per game: name, right and wrong
// answers per level, seconds, the first kind's count, account, and how many
// columns the line had.
struct Read {
    std::vector<std::string> games;
    RegisterReading reading;
};

std::string described(const RegisterEntry& e)
{
    const GameSummary& g = e.game;
    int columns = 0;
    for (std::size_t i = 0; i < registerColumns().size(); ++i)
        columns += hasColumn(e, i);
    std::string text = g.name + "|";
    for (int level = 0; level < 3; ++level)
        text += std::to_string(g.rightByLevel[level]) + "/" +
                std::to_string(g.wrongByLevel[level]) + " ";
    return text + std::to_string(g.secondsPlayed) + "|" + std::to_string(g.wrongByKind[0]) + "|" +
           g.account + "|" + std::to_string(columns);
}

// The bytes fed in pieces of `piece` bytes (0: whole).
Read parse(std::string_view bytes, std::size_t piece = 0)
{
    Read read;
    RegisterParser parser([&read](const RegisterEntry& e) { read.games.push_back(described(e)); });
    if (piece == 0)
        piece = bytes.size() + 1;
    for (std::size_t at = 0; at < bytes.size(); at += piece)
        parser.feed(bytes.substr(at, piece));
    read.reading = parser.finish("registro.csv");
    return read;
}

std::string headingOf(std::size_t columns, std::string_view end = "\r\n")
{
    std::string text;
    for (std::size_t i = 0; i < columns; ++i)
        text += std::string(i ? ";" : "") + std::string(registerColumns()[i].heading);
    return text + std::string(end);
}

const std::string bom = "\xEF\xBB\xBF";
const std::string first = "2026-12-08;10:41:07;Anna;5;2;3;1;2;1;0;0;00:14:59;Esci;no";
const std::string kinds = ";1;0;0;1;0;0;0;anna;aula-3";
const std::string annaFirst = "Anna|3/1 2/1 0/0 899|0||14";
const std::string annaAll = "Anna|3/1 2/1 0/0 899|1|anna|23";

TEST(RegisterReader, ReadsWhatTheHeadingSaysAndSkipsWhatCannotBeRead)
{
    const std::string heading = bom + registerHeading().substr(3); // today's, BOM and all
    const struct {
        const char* situation;
        std::string bytes;
        std::vector<std::string> games;
        std::vector<std::uint64_t> skipped; // line numbers
    } cases[] = {
        {"today's register", registerHeading() + first + kinds + "\r\n", {annaAll}, {}},
        {"no byte-order mark, LF alone", headingOf(23, "\n") + first + kinds + "\n", {annaAll}, {}},
        {"the first registers' heading and lines",
         bom + headingOf(14) + first + "\r\n",
         {annaFirst},
         {}},
        {"today's lines after the first heading",
         bom + headingOf(14) + first + kinds + "\r\n",
         {annaAll},
         {}},
        {"a first-version line after today's heading", heading + first + "\r\n", {annaFirst}, {}},
        {"a later version's longer lines",
         heading + first + kinds + ";x;\"y;z\"\r\n",
         {annaAll},
         {}},
        {"a later version's column among them",
         "data;ora;classe;nome;esatte;errate;decimi esatte;decimi errate;centesimi esatte;"
         "centesimi errate;millesimi esatte;millesimi errate;durata;fine;nuovo record\r\n"
         "2026-12-08;10:41:07;3B;Anna;5;2;3;1;2;1;0;0;00:14:59;Esci;no\r\n",
         {annaFirst},
         {}},
        {"no heading at all", first + kinds + "\r\n" + first + "\r\n", {annaAll, annaFirst}, {}},
        {"empty", "", {}, {}},
        {"only the byte-order mark", bom, {}, {}},
        {"a last line without its end", heading + first, {annaFirst}, {}},
        {"blank lines", heading + "\r\n\r\n" + first + "\r\n\n", {annaFirst}, {}},
        {"a torn line, CR CR LF after it",
         heading + "2026-12-08;10:4\r\r\n" + first + "\r\n",
         {annaFirst},
         {2}},
        {"a count that is not a number",
         heading + first + "\r\n" +
             "2026-12-08;10:41:07;Bea;x;2;3;1;2;1;0;0;00:14:59;"
             "Esci;no\r\n",
         {annaFirst},
         {3}},
        {"a negative count, a date not in the calendar, an hour past 23",
         heading + "2026-12-08;10:41:07;Bea;-1;2;3;1;2;1;0;0;00:14:59;Esci;no\r\n" +
             "2026-02-29;10:41:07;Bea;5;2;3;1;2;1;0;0;00:14:59;Esci;no\r\n" +
             "2026-12-08;24:00:00;Bea;5;2;3;1;2;1;0;0;00:14:59;Esci;no\r\n",
         {},
         {2, 3, 4}},
        {"too few fields, a quote left open, text after a quote",
         heading + "2026-12-08;10:41:07;Bea;5;2\r\n" +
             "2026-12-08;10:41:07;\"Bea;5;2;3;1;2;1;0;0;00:14:59;Esci;no\r\n" +
             "2026-12-08;10:41:07;\"Bea\"x;5;2;3;1;2;1;0;0;00:14:59;Esci;no\r\n" + first + "\r\n",
         {annaFirst},
         {2, 3, 4}},
        {"quoted names as the writer quotes them",
         heading + "2026-12-08;10:41:07;\"'=1+1;\"\"x\"\"\";5;2;3;1;2;1;0;0;00:14:59;Esci;no\r\n" +
             "2026-12-08;10:41:07;\" Anna \";5;2;3;1;2;1;0;0;00:14:59;Esci;no\r\n" +
             "2026-12-08;10:41:07;'@SUM(A1);5;2;3;1;2;1;0;0;00:14:59;Esci;no\r\n",
         {"=1+1;\"x\"|3/1 2/1 0/0 899|0||14", " Anna |3/1 2/1 0/0 899|0||14",
          "@SUM(A1)|3/1 2/1 0/0 899|0||14"},
         {}},
        {"registers joined end to end",
         heading + first + "\r\n" + bom + headingOf(14) + first + kinds + "\r\n",
         {annaFirst, annaAll},
         {}},
        {"a line past the limit",
         heading + std::string(lineLimit + 10, 'x') + "\r\n" + first,
         {annaFirst},
         {2}},
        {"the limit on the last line",
         heading + first + "\r\n" + std::string(lineLimit + 1, ';'),
         {annaFirst},
         {3}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.situation);
        for (std::size_t piece : {0, 1, 7, 4096}) {
            if (piece == 1 && c.bytes.size() > 100000)
                continue;
            SCOPED_TRACE(piece);
            const Read read = parse(c.bytes, piece);
            EXPECT_EQ(read.reading.problem, "");
            EXPECT_EQ(read.games, c.games);
            EXPECT_EQ(read.reading.games, c.games.size());
            EXPECT_EQ(read.reading.skipped, c.skipped.size());
            EXPECT_EQ(read.reading.firstSkipped, c.skipped);
            EXPECT_EQ(read.reading.bytes, c.bytes.size());
        }
    }
}

TEST(RegisterReader, CountsEverySkippedLineAndListsTheFirst)
{
    std::string bytes = registerHeading();
    for (int i = 0; i < 8; ++i)
        bytes += "rotta\r\n" + first + "\r\n";
    const Read read = parse(bytes);
    EXPECT_EQ(read.reading.games, 8u);
    EXPECT_EQ(read.reading.skipped, 8u);
    EXPECT_EQ(read.reading.firstSkipped, (std::vector<std::uint64_t>{2, 4, 6, 8, 10}));
}

TEST(RegisterReader, AHeadingWithoutAColumnOfTheFirstRegistersIsNoRegister)
{
    const Read read = parse("data;ora;nome;errate\r\n" + first + "\r\n");
    EXPECT_EQ(read.reading.problem,
              "«registro.csv» non è un registro di Cifrelle: nella prima riga manca la colonna "
              "«esatte».");
    EXPECT_TRUE(read.games.empty());
}

// Every game the writer writes reads back as it was (its line breaks
// blanks), and the hash tells its line from every other.
TEST(RegisterReader, ReadsBackWhatTheGameWrites)
{
    GameSummary game;
    game.ended = {2027, 2, 28, 23, 59, 59};
    game.rightByLevel = {1, 20, 300};
    game.wrongByLevel = {4, 50, 600};
    game.right = 321;
    game.wrong = 654;
    game.wrongByKind = {1, 2, 3, 4, 5, 6, 633};
    game.secondsPlayed = 10000 * 3600 - 1;
    game.ending = GameEnding::SessionClosed;
    game.newRecord = true;
    std::string bytes = registerHeading();
    const char* names[] = {"Zoë 李", " Anna ", "-2+3", "\tx", "a;b\"c\"", "", "Ugo\r\nBo"};
    for (const char* name : names) {
        game.name = game.account = game.computer = name;
        bytes += registerLine(game);
    }
    std::vector<GameSummary> back;
    std::vector<std::uint64_t> hashes;
    RegisterParser parser([&](const RegisterEntry& e) {
        back.push_back(e.game);
        hashes.push_back(e.hash);
        EXPECT_EQ(e.columns, (std::uint64_t{1} << registerColumns().size()) - 1);
    });
    parser.feed(bytes);
    ASSERT_EQ(parser.finish("r").games, std::size(names));
    for (std::size_t i = 0; i < back.size(); ++i) {
        game.name = game.account = game.computer = oneLine(names[i]);
        EXPECT_EQ(registerLine(back[i]), registerLine(game));
        EXPECT_EQ(back[i].account, game.account);
        for (std::size_t j = 0; j < i; ++j)
            EXPECT_NE(hashes[i], hashes[j]);
    }
}

TEST(RegisterReader, OpensOnlyARegularFileAndChangesNothing)
{
    TempDir tmp;
    const fs::path file = tmp / "registro.csv";
    const std::string bytes = registerHeading() + first + "\r\n" + first + kinds;
    writeBytes(file, bytes);
    int games = 0;
    const auto count = [&games](const RegisterEntry&) { ++games; };
    RegisterReading reading = readRegister(file, count);
    EXPECT_EQ(reading.problem, "");
    EXPECT_EQ(games, 2);
    EXPECT_EQ(test::readBytes(file), bytes);
    // Up to the bytes read before: the lines a later game added stay out.
    games = 0;
    reading = readRegister(file, count, registerHeading().size() + first.size() + 2);
    EXPECT_EQ(games, 1);

    const std::string shown = "«" + pathText(tmp / "x") + "»";
    fs::create_directory(tmp / "x");
    EXPECT_EQ(readRegister(tmp / "x", count).problem, shown + " è una cartella, non un registro.");
    fs::remove(tmp / "x");
    EXPECT_EQ(readRegister(tmp / "x", count).problem, "Il registro " + shown + " non esiste.");
    EXPECT_EQ(games, 1);
#ifndef _WIN32
    const std::string notRegular =
        " non è un file normale, ma un dispositivo, una pipe o un socket: non viene aperto.";
    ASSERT_EQ(::mkfifo((tmp / "x").c_str(), 0600), 0); // nobody writes: opening it would wait
    EXPECT_EQ(readRegister(tmp / "x", count).problem, shown + notRegular);
    fs::create_symlink(tmp / "x", tmp / "y");
    EXPECT_EQ(readRegister(tmp / "y", count).problem, "«" + pathText(tmp / "y") + "»" + notRegular);
    EXPECT_EQ(readRegister("/dev/null", count).problem, "«/dev/null»" + notRegular);
    fs::create_symlink(file, tmp / "z"); // a link to a register is read
    EXPECT_EQ(readRegister(tmp / "z", count).problem, "");
    EXPECT_EQ(games, 3);
#endif
}

#ifndef _WIN32
// Run again as an unprivileged user (records_problems_as_player).
TEST(RegisterReaderProblems, AFileThisAccountMayNotReadIsTheTeachers)
{
    TempDir tmp;
    writeBytes(tmp / "registro.csv", registerHeading());
    ASSERT_EQ(::chmod((tmp / "registro.csv").c_str(), 0), 0);
    if (::access((tmp / "registro.csv").c_str(), R_OK) == 0)
        GTEST_SKIP() << "this account reads every file (root)";
    EXPECT_EQ(readRegister(tmp / "registro.csv", [](const RegisterEntry&) {}).problem,
              "Il registro è leggibile solo dall'insegnante. Questo account non può leggere «" +
                  pathText(tmp / "registro.csv") + "».");
}
#endif

} // namespace
} // namespace cifrelle::records
