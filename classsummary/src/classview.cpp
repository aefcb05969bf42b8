// SPDX-License-Identifier: GPL-3.0-or-later
#include "cifrelle/classsummary/classview.h"

#include <algorithm>

namespace cifrelle::classsummary {

ClassView::ClassView(const ClassRecords& records, int today)
    : records_(&records), today_(today), rangeFirst_(records.games() ? records.firstDay() : today),
      rangeLast_(records.games() ? records.lastDay() : today)
{
    summarize(periodOf(PeriodKind::All, today));
}

std::optional<std::size_t> ClassView::chosenRow() const
{
    const auto& rows = summary_.rows;
    const auto found = std::find_if(rows.begin(), rows.end(),
                                    [this](const PupilRow& r) { return r.pupil == pupil_; });
    if (found == rows.end())
        return std::nullopt;
    return static_cast<std::size_t>(found - rows.begin());
}

std::vector<Week> ClassView::pupilWeeks() const
{
    return pupil_ ? weeksOf(*records_, *pupil_, summary_.period) : std::vector<Week>{};
}

std::string ClassView::title() const
{
    return "Registro della classe — " + periodText(summary_.period);
}

void ClassView::choosePeriod(PeriodKind kind)
{
    summarize(kind == PeriodKind::Range ? rangeOf(rangeFirst_, rangeLast_)
                                        : periodOf(kind, today_));
}

void ClassView::chooseRange(int first, int last)
{
    rangeFirst_ = std::min(first, last);
    rangeLast_ = std::max(first, last);
    summarize(rangeOf(rangeFirst_, rangeLast_));
}

void ClassView::putHelpFirst(bool first)
{
    helpFirst_ = first;
    summarize(summary_.period);
}

void ClassView::chooseRow(std::size_t row)
{
    if (row < summary_.rows.size())
        pupil_ = summary_.rows[row].pupil;
}

void ClassView::summarize(const Period& period)
{
    summary_ = classsummary::summarize(*records_, period, helpFirst_);
    if (!chosenRow() && !summary_.rows.empty())
        pupil_ = summary_.rows.front().pupil;
}

} // namespace cifrelle::classsummary
