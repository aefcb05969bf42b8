// SPDX-License-Identifier: GPL-3.0-or-later
#include "cifrelle/classsummary/csvexport.h"
#include "cifrelle/classsummary/pupilname.h"
#include "cifrelle/classsummary/summary.h"

#include <gtest/gtest.h>

namespace cifrelle::classsummary {
namespace {

TEST(Judgement, EveryBoundary)
{
    const struct {
        std::uint64_t right, wrong;
        Judgement judgement;
        const char* percent; // as the window shows it
        std::optional<std::uint64_t> whole;
    } cases[] = {
        {0, 0, Judgement::FewData, "", std::nullopt},
        {9, 0, Judgement::FewData, "100 %", 100}, // 9 answers
        {0, 9, Judgement::FewData, "0 %", 0},
        {9, 1, Judgement::Sure, "90 %", 90}, // 10 answers, 90 %
        {10, 0, Judgement::Sure, "100 %", 100},
        {899, 101, Judgement::Almost, "89,9 %", 90},  // 89.9 %
        {1799, 201, Judgement::Almost, "89,9 %", 90}, // 89.95 %: halves up, never a judgement up
        {7, 3, Judgement::Almost, "70 %", 70},        // 70 %
        {699, 301, Judgement::Review, "69,9 %", 70},  // 69.9 %
        {6, 4, Judgement::Review, "60 %", 60},
        {1, 7, Judgement::FewData, "12,5 %", 13}, // a half rounded up
        {2, 1, Judgement::FewData, "66,6 %", 67},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.right) + "/" + std::to_string(c.wrong));
        const LevelCounts counts{c.right, c.wrong};
        EXPECT_EQ(judge(counts), c.judgement);
        EXPECT_EQ(percentText(counts), c.percent);
        EXPECT_EQ(wholePercent(counts), c.whole);
    }
}

TEST(PupilName, BlanksAndCaseDoNotMakeAnotherPupil)
{
    const struct {
        const char* typed;
        const char* key;
        const char* shown;
    } cases[] = {
        {"marco", "marco", "marco"},
        {"Marco ", "marco", "Marco"},
        {" MARCO\t", "marco", "MARCO"},
        {"Anna  \t Maria", "anna maria", "Anna Maria"},
        {"\xC2\xA0"
         "Anna\xC2\xA0",
         "anna", "Anna"}, // no-break spaces
        {"", "", "(senza nome)"},
        {" \t ", "", "(senza nome)"},
        {"ÉLIA Nicolò", "élia nicolò", "ÉLIA Nicolò"},
        {"ŁUKASZ Œ", "łukasz œ", "ŁUKASZ Œ"},
        {"ΑΛΦΑ Жора", "αλφα жора", "ΑΛΦΑ Жора"},
        {"=1+1;\"x\"", "=1+1;\"x\"", "=1+1;\"x\""},
        {"a\xFF"
         "B",
         "a\xFF"
         "b",
         "a\xFF"
         "B"}, // not UTF-8: kept
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed);
        EXPECT_EQ(pupilKey(c.typed), c.key);
        EXPECT_EQ(shownName(c.typed), c.shown);
    }
    EXPECT_LT(orderKey(pupilKey("Élia")), orderKey(pupilKey("Ettore")));
    EXPECT_LT(orderKey(pupilKey("elia")), orderKey(pupilKey("élia")));
}

TEST(Calendar, DaysWeeksMonthsAndDates)
{
    EXPECT_EQ(dayNumber({1970, 1, 1}), 0);
    EXPECT_EQ(dayNumber({2000, 3, 1}), 11017);
    for (int day = -800000; day < 3000000; day += 997)
        EXPECT_EQ(dayNumber(dateOf(day)), day);
    const int wednesday = dayNumber({2026, 12, 9});
    EXPECT_EQ(weekday(wednesday), 2);
    EXPECT_EQ(dateOf(mondayOf(wednesday)), (Date{2026, 12, 7}));
    EXPECT_EQ(dateOf(lastOfMonth(dayNumber({2028, 2, 3}))), (Date{2028, 2, 29}));
    EXPECT_EQ(readDate("2026-12-09"), wednesday);
    for (const char* wrong : {"2026-02-29", "2026-13-01", "2026-00-10", "2026-1-09", "26-12-09",
                              "2026-12-9x", "2026/12/09", ""})
        EXPECT_EQ(readDate(wrong), std::nullopt) << wrong;
    EXPECT_EQ(italianDate(wednesday), "09/12/2026");
    EXPECT_EQ(durationText(100 * 3600 + 61), "100:01:01");

    EXPECT_EQ(periodText(periodOf(PeriodKind::Today, wednesday)), "Oggi, 09/12/2026");
    EXPECT_EQ(periodText(periodOf(PeriodKind::ThisWeek, wednesday)),
              "Questa settimana, dal 07/12/2026 al 13/12/2026");
    EXPECT_EQ(periodText(periodOf(PeriodKind::ThisMonth, wednesday)),
              "Questo mese, dal 01/12/2026 al 31/12/2026");
    EXPECT_EQ(periodText(periodOf(PeriodKind::All, wednesday)), "Tutte le partite");
    EXPECT_EQ(periodText(rangeOf(wednesday - 2, wednesday)), "Dal 07/12/2026 al 09/12/2026");
}

// A register's lines: "day;name;right/wrong per level;kinds;account" made
// into the register's own lines.
std::string line(int day, std::string name, std::string counts, std::string rest = "")
{
    return "2026-12-" + std::to_string(day) + ";10:00:0" + std::to_string(day % 10) + ";" + name +
           ";0;0;" + counts + ";00:10:00;Esci;no" + rest + "\r\n";
}

ClassRecords classOf(const std::vector<std::string>& files)
{
    ClassRecords records;
    int n = 0;
    for (const std::string& bytes : files) {
        records.beginFile("r" + std::to_string(++n) + ".csv");
        records::RegisterParser parser([&](const records::RegisterEntry& e) { records.add(e); });
        parser.feed(bytes);
        records.endFile(parser.finish("r"));
    }
    return records;
}

const std::string heading =
    "data;ora;nome;esatte;errate;decimi esatte;decimi errate;centesimi esatte;centesimi errate;"
    "millesimi esatte;millesimi errate;durata;fine;nuovo record;errori punto;errori decimali;"
    "errori non arrotondato;errori per difetto;errori per eccesso;errori livello;errori altro;"
    "utente;computer\r\n";

TEST(ClassSummary, PupilsDaysFilesAndPeriods)
{
    const std::string a = line(10, "marco", "9;1;7;3;0;0", ";0;0;0;7;1;1;0;marco;pc1") +
                          line(10, "Ugo", "1;1;1;1;1;1", ";0;0;0;0;0;0;3;ugo;pc1");
    const std::string b = line(10, "marco", "9;1;7;3;0;0", ";0;0;0;7;1;1;0;marco;pc1") + // a's
                          line(15, " MARCO ", "0;0;0;0;6;4") + // no kinds, no account
                          line(15, " MARCO ", "0;0;0;0;6;4") + // again: counts
                          line(16, "", "1;0;0;0;0;0", ";0;0;0;0;0;0;0;x;pc2");
    const ClassRecords records = classOf({heading + a, heading + b});
    EXPECT_EQ(records.games(), 5u);
    EXPECT_EQ(records.files()[1].repeated, 1u);
    ASSERT_EQ(records.pupils().size(), 3u);

    const ClassSummary all = summarize(records, {}, false);
    ASSERT_EQ(all.rows.size(), 3u);
    EXPECT_EQ(all.rows[0].shown, "(senza nome)");
    const PupilRow& marco = all.rows[1];
    EXPECT_EQ(marco.shown, "MARCO"); // as the latest game wrote it
    EXPECT_EQ(marco.games, 3u);
    EXPECT_EQ(marco.seconds, 1800u);
    EXPECT_EQ(marco.levels[0], (LevelCounts{9, 1}));
    EXPECT_EQ(marco.levels[2], (LevelCounts{12, 8}));
    EXPECT_EQ(marco.judgements[0], Judgement::Sure);
    EXPECT_EQ(marco.judgements[1], Judgement::Almost);
    EXPECT_EQ(marco.judgements[2], Judgement::Review);
    EXPECT_TRUE(marco.needsHelp);
    EXPECT_EQ(topMistakeText(marco.mistakes), "per difetto 7 su 9");
    ASSERT_EQ(marco.origins.size(), 2u); // "marco" on pc1, and lines that do not say
    EXPECT_EQ(records.origins()[marco.origins[0]].account, "");
    EXPECT_EQ(records.origins()[marco.origins[1]].computer, "pc1");
    EXPECT_EQ(all.rows[2].shown, "Ugo");
    EXPECT_EQ(topMistakeText(all.rows[2].mistakes), "altro 3 su 3");
    EXPECT_EQ(all.pupilsPlayed, 3u);
    EXPECT_EQ(all.levels[0], (LevelCounts{11, 2}));

    const ClassSummary helpFirst = summarize(records, {}, true);
    EXPECT_EQ(helpFirst.rows[0].shown, "MARCO");

    const ClassSummary week =
        summarize(records, rangeOf(dayNumber({2026, 12, 14}), dayNumber({2026, 12, 15})));
    EXPECT_EQ(week.rows[1].games, 2u);
    EXPECT_EQ(week.rows[1].judgements[0], Judgement::FewData);
    EXPECT_EQ(week.rows[2].games, 0u);
    EXPECT_EQ(week.rows[2].last, std::nullopt);
    EXPECT_EQ(topMistakeText(week.rows[1].mistakes), "");
    EXPECT_EQ(countsText(week), "2 partite, giocate da 1 alunno su 3; 1 da aiutare");

    const std::vector<Week> weeks = weeksOf(records, marco.pupil, {});
    ASSERT_EQ(weeks.size(), 2u);
    EXPECT_EQ(dateOf(weeks[1].monday), (Date{2026, 12, 14}));
    EXPECT_EQ(weeks[1].levels[2], (LevelCounts{12, 8}));
    EXPECT_EQ(weeksOf(records, marco.pupil, {}, 1).size(), 1u);
}

TEST(ClassSummary, TheGridAsASpreadsheetFile)
{
    const ClassRecords records =
        classOf({heading + line(10, "=Ugo", "1;1;1;1;1;1") + line(11, " Anna ", "9;1;7;3;6;4")});
    const std::string csv =
        classCsv(summarize(records, rangeOf(dayNumber({2026, 12, 10}), dayNumber({2026, 12, 11}))));
    EXPECT_EQ(csv, "\xEF\xBB\xBF"
                   "alunno;partite;tempo di gioco;ultima partita;decimi esatte;decimi errate;"
                   "decimi %;decimi giudizio;centesimi esatte;centesimi errate;centesimi %;"
                   "centesimi giudizio;millesimi esatte;millesimi errate;millesimi %;"
                   "millesimi giudizio;da aiutare\r\n"
                   "'=Ugo;1;00:10:00;2026-12-10 10:00;1;1;50;pochi dati;1;1;50;pochi dati;1;1;50;"
                   "pochi dati;no\r\n"
                   "Anna;1;00:10:00;2026-12-11 10:00;9;1;90;sicuro;7;3;70;quasi;6;4;60;"
                   "da rivedere;sì\r\n"
                   "\r\nperiodo;Dal 10/12/2026 al 11/12/2026\r\n");
    // A pupil without games in the period: no time, no share.
    const std::string today =
        classCsv(summarize(records, rangeOf(dayNumber({2026, 12, 11}), dayNumber({2026, 12, 11}))));
    EXPECT_NE(today.find("'=Ugo;0;00:00:00;;0;0;;pochi dati;0;0;;pochi dati;0;0;;pochi dati;no"),
              std::string::npos);
}

} // namespace
} // namespace cifrelle::classsummary
