// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cifrelle/classsummary/calendar.h"
#include "cifrelle/classsummary/classrecords.h"

#include <array>
#include <climits>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace cifrelle::classsummary {

// --- The period --------------------------------------------------------------

enum class PeriodKind { Today, ThisWeek, ThisMonth, All, Range };

// The days of the games counted, both ends included (the dates of the
// register's "data" column).
struct Period {
    PeriodKind kind = PeriodKind::All;
    int first = INT_MIN;
    int last = INT_MAX;
    bool contains(int day) const { return first <= day && day <= last; }
};

// "Oggi", "Questa settimana" (Monday to Sunday), "Questo mese", "Tutto",
// seen from `today`.
Period periodOf(PeriodKind kind, int today);
Period rangeOf(int first, int last);

// What a title or an export says of the period: "Oggi, 08/12/2026",
// "Questa settimana, dal 07/12/2026 al 13/12/2026", "Questo mese, dal
// 01/12/2026 al 31/12/2026", "Tutte le partite" and "Dal 01/12/2026 al
// 20/12/2026".
std::string periodText(const Period& period);

// --- Judgements --------------------------------------------------------------

enum class Judgement {
    FewData, // fewer than 10 answers at the level
    Sure,    // at least 90 % right
    Almost,  // at least 70 % right
    Review,  // below 70 %
};
inline constexpr std::uint64_t fewestAnswers = 10;

Judgement judge(const LevelCounts& counts);
// "pochi dati", "sicuro", "quasi", "da rivedere".
std::string_view judgementWord(Judgement judgement);
// The rule, as the legend writes it.
std::string_view judgementRule();

// The share right, as a whole percentage with halves rounded up (the
// export's); nothing without answers.
std::optional<std::uint64_t> wholePercent(const LevelCounts& counts);
// The share right cut to tenths of a percent (never rounded up to a
// boundary it has not reached), written with the decimal comma and no
// ",0": "69,9 %", "70 %"; empty without answers.
std::string percentText(const LevelCounts& counts);

// "Decimi", "Centesimi", "Millesimi".
std::string_view levelName(int level);

// --- The grid ----------------------------------------------------------------

struct PupilRow {
    std::uint32_t pupil = 0;
    std::string shown;
    std::uint32_t games = 0;
    std::uint64_t seconds = 0;
    std::optional<Moment> last; // the latest game's end in the period
    std::array<LevelCounts, levelCount> levels{};
    std::array<Judgement, levelCount> judgements{};
    bool needsHelp = false; // a level to review
    std::array<std::uint64_t, mistakeKinds> mistakes{};
    std::vector<std::uint32_t> origins; // the accounts and computers, in order
};

// The most frequent kind of mistake, "per difetto 7 su 9" (7 of the 9 wrong
// answers whose kinds the register tells; the first kind in the table's
// order among equals); empty without any.
std::string topMistakeText(const std::array<std::uint64_t, mistakeKinds>& mistakes);

struct ClassSummary {
    Period period;
    // One row per pupil of the registers, with no games in the period too,
    // in the order of their names (those who need help first when asked).
    std::vector<PupilRow> rows;
    std::array<LevelCounts, levelCount> levels{}; // the whole class
    std::array<std::uint64_t, mistakeKinds> mistakes{};
    std::uint64_t games = 0;
    std::uint32_t pupilsPlayed = 0;
    std::uint32_t needHelp = 0;
};

ClassSummary summarize(const ClassRecords& records, const Period& period, bool helpFirst = false);

// One pupil's share per level week by week: the weeks with games in the
// period, from Monday, the latest `limit` at most.
struct Week {
    int monday = 0;
    std::array<LevelCounts, levelCount> levels{};
};
std::vector<Week> weeksOf(const ClassRecords& records, std::uint32_t pupil, const Period& period,
                          std::size_t limit = 8);

// --- Texts for everyone ---------------------------------------------------

// What the period holds: "115 partite, giocate da 25 alunni su 25; 19 da
// aiutare" ("1 partita, giocata da 1 alunno su 1").
std::string countsText(const ClassSummary& summary);

// The skipped lines, for the window and stderr: "3 righe non lette in
// «registro.csv» (righe 4, 17, 240)"; empty when none.
std::string skippedText(const RegisterFile& file);

} // namespace cifrelle::classsummary
