// SPDX-License-Identifier: GPL-3.0-or-later
#include "cifrelle/classsummary/csvexport.h"

#include "cifrelle/records/register.h"

namespace cifrelle::classsummary {

std::string_view classCsvHeading()
{
    return "alunno;partite;tempo di gioco;ultima partita;decimi esatte;decimi errate;decimi %;"
           "decimi giudizio;centesimi esatte;centesimi errate;centesimi %;centesimi giudizio;"
           "millesimi esatte;millesimi errate;millesimi %;millesimi giudizio;da aiutare";
}

std::string classCsv(const ClassSummary& summary)
{
    std::string csv = "\xEF\xBB\xBF" + std::string(classCsvHeading()) + "\r\n";
    for (const PupilRow& row : summary.rows) {
        csv += records::spreadsheetField(row.shown) + ';' + std::to_string(row.games) + ';' +
               durationText(row.seconds) + ';';
        if (row.last)
            csv += isoDate(dayOf(*row.last)) + ' ' + clockText(*row.last);
        for (int level = 0; level < levelCount; ++level) {
            const LevelCounts& c = row.levels[level];
            const auto percent = wholePercent(c);
            csv += ';' + std::to_string(c.right) + ';' + std::to_string(c.wrong) + ';' +
                   (percent ? std::to_string(*percent) : std::string()) + ';' +
                   std::string(judgementWord(row.judgements[level]));
        }
        csv += row.needsHelp ? ";sì\r\n" : ";no\r\n";
    }
    return csv + "\r\nperiodo;" + records::spreadsheetField(periodText(summary.period)) + "\r\n";
}

} // namespace cifrelle::classsummary
