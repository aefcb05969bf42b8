// SPDX-License-Identifier: GPL-3.0-or-later
// The class in a period: each pupil's sums over the days of the period,
// their judgements per level, and the texts that tell them.
#include "cifrelle/classsummary/summary.h"

#include "cifrelle/classsummary/pupilname.h"

#include "cifrelle/records/recordfiles.h"

#include <algorithm>
#include <numeric>

namespace cifrelle::classsummary {

Period periodOf(PeriodKind kind, int today)
{
    switch (kind) {
    case PeriodKind::Today: return {kind, today, today};
    case PeriodKind::ThisWeek: return {kind, mondayOf(today), mondayOf(today) + 6};
    case PeriodKind::ThisMonth: return {kind, firstOfMonth(today), lastOfMonth(today)};
    case PeriodKind::All:
    case PeriodKind::Range: break;
    }
    return {};
}

Period rangeOf(int first, int last)
{
    return {PeriodKind::Range, first, last};
}

std::string periodText(const Period& p)
{
    const auto fromTo = [&p] {
        return "dal " + italianDate(p.first) + " al " + italianDate(p.last);
    };
    switch (p.kind) {
    case PeriodKind::Today: return "Oggi, " + italianDate(p.first);
    case PeriodKind::ThisWeek: return "Questa settimana, " + fromTo();
    case PeriodKind::ThisMonth: return "Questo mese, " + fromTo();
    case PeriodKind::All: break;
    case PeriodKind::Range: return "D" + fromTo().substr(1);
    }
    return "Tutte le partite";
}

Judgement judge(const LevelCounts& c)
{
    const std::uint64_t answers = c.answers();
    if (answers < fewestAnswers)
        return Judgement::FewData;
    if (c.right * 10 >= answers * 9)
        return Judgement::Sure;
    if (c.right * 10 >= answers * 7)
        return Judgement::Almost;
    return Judgement::Review;
}

std::string_view judgementWord(Judgement judgement)
{
    static constexpr std::string_view words[] = {"pochi dati", "sicuro", "quasi", "da rivedere"};
    return words[static_cast<int>(judgement)];
}

std::string_view judgementRule()
{
    return "Giudizio di ogni livello: pochi dati, meno di 10 risposte; sicuro, almeno il 90 % "
           "esatte; quasi, almeno il 70 %; da rivedere, meno del 70 %. Da aiutare: chi ha almeno "
           "un livello da rivedere.";
}

std::optional<std::uint64_t> wholePercent(const LevelCounts& c)
{
    const std::uint64_t answers = c.answers();
    if (answers == 0)
        return std::nullopt;
    return (200 * c.right + answers) / (2 * answers);
}

std::string percentText(const LevelCounts& c)
{
    const std::uint64_t answers = c.answers();
    if (answers == 0)
        return {};
    const std::uint64_t tenths = 1000 * c.right / answers;
    std::string text = std::to_string(tenths / 10);
    if (tenths % 10)
        text += "," + std::to_string(tenths % 10);
    return text + " %";
}

std::string_view levelName(int level)
{
    static constexpr std::string_view names[] = {"Decimi", "Centesimi", "Millesimi"};
    return names[level];
}

std::string topMistakeText(const std::array<std::uint64_t, mistakeKinds>& mistakes)
{
    const std::uint64_t all = std::accumulate(mistakes.begin(), mistakes.end(), std::uint64_t{0});
    if (all == 0)
        return {};
    const auto top = std::max_element(mistakes.begin(), mistakes.end()) - mistakes.begin();
    return std::string(records::mistakeName(records::Mistake(top))) + " " +
           std::to_string(mistakes[top]) + " su " + std::to_string(all);
}

ClassSummary summarize(const ClassRecords& records, const Period& period, bool helpFirst)
{
    ClassSummary summary;
    summary.period = period;
    const auto& pupils = records.pupils();
    std::vector<PupilRow> rows(pupils.size());
    for (std::uint32_t i = 0; i < pupils.size(); ++i) {
        rows[i].pupil = i;
        rows[i].shown = pupils[i].shown;
    }
    for (const Tally& t : records.tallies()) {
        if (!period.contains(t.day))
            continue;
        PupilRow& row = rows[t.pupil];
        row.games += t.games;
        row.seconds += t.seconds;
        row.last = std::max(row.last.value_or(t.last), t.last);
        for (int level = 0; level < levelCount; ++level)
            row.levels[level] += t.levels[level];
        for (int k = 0; k < mistakeKinds; ++k)
            row.mistakes[k] += t.mistakes[k];
        if (std::find(row.origins.begin(), row.origins.end(), t.origin) == row.origins.end())
            row.origins.push_back(t.origin);
    }
    for (PupilRow& row : rows) {
        for (int level = 0; level < levelCount; ++level) {
            row.judgements[level] = judge(row.levels[level]);
            row.needsHelp = row.needsHelp || row.judgements[level] == Judgement::Review;
            summary.levels[level] += row.levels[level];
        }
        for (int k = 0; k < mistakeKinds; ++k)
            summary.mistakes[k] += row.mistakes[k];
        std::sort(row.origins.begin(), row.origins.end());
        summary.games += row.games;
        summary.pupilsPlayed += row.games > 0;
        summary.needHelp += row.needsHelp;
    }
    std::vector<std::string> order(pupils.size());
    for (std::uint32_t i = 0; i < pupils.size(); ++i)
        order[i] = orderKey(pupils[i].key);
    std::sort(rows.begin(), rows.end(), [&](const PupilRow& a, const PupilRow& b) {
        if (helpFirst && a.needsHelp != b.needsHelp)
            return a.needsHelp;
        return order[a.pupil] < order[b.pupil];
    });
    summary.rows = std::move(rows);
    return summary;
}

std::vector<Week> weeksOf(const ClassRecords& records, std::uint32_t pupil, const Period& period,
                          std::size_t limit)
{
    std::vector<Week> weeks;
    const auto& tallies = records.tallies();
    auto t = std::lower_bound(tallies.begin(), tallies.end(), pupil,
                              [](const Tally& a, std::uint32_t p) { return a.pupil < p; });
    for (; t != tallies.end() && t->pupil == pupil; ++t) {
        if (!period.contains(t->day))
            continue;
        const int monday = mondayOf(t->day);
        if (weeks.empty() || weeks.back().monday != monday)
            weeks.push_back({monday, {}});
        for (int level = 0; level < levelCount; ++level)
            weeks.back().levels[level] += t->levels[level];
    }
    if (weeks.size() > limit)
        weeks.erase(weeks.begin(), weeks.end() - static_cast<std::ptrdiff_t>(limit));
    return weeks;
}

std::string countsText(const ClassSummary& s)
{
    const auto n = [](std::uint64_t count, const char* one, const char* many) {
        return std::to_string(count) + ' ' + (count == 1 ? one : many);
    };
    return n(s.games, "partita, giocata", "partite, giocate") + " da " +
           n(s.pupilsPlayed, "alunno", "alunni") + " su " + std::to_string(s.rows.size()) + "; " +
           std::to_string(s.needHelp) + " da aiutare";
}

std::string skippedText(const RegisterFile& file)
{
    const records::RegisterReading& r = file.reading;
    if (r.skipped == 0)
        return {};
    std::string text = r.skipped == 1 ? "1 riga non letta"
                                      : std::to_string(r.skipped) + " righe "
                                                                    "non lette";
    text += " in «" + records::pathText(file.path) + "» (";
    text += r.firstSkipped.size() == 1 ? "riga " : "righe ";
    for (std::size_t i = 0; i < r.firstSkipped.size(); ++i)
        text += (i ? ", " : "") + std::to_string(r.firstSkipped[i]);
    if (r.skipped > r.firstSkipped.size())
        text += ", …";
    return text + ")";
}

} // namespace cifrelle::classsummary
