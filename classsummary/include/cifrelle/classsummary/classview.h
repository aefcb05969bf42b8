// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cifrelle/classsummary/summary.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace cifrelle::classsummary {

// What the teacher looks at: the period chosen, whether those who need
// help come first, the pupil chosen in the grid, and the summary they
// give. The window writes its controls from it and tells it what the
// teacher chose; it reads nothing back from its controls.
class ClassView {
public:
    // The class as loaded; `today` decides "Oggi", "Questa settimana" and
    // "Questo mese". It opens on every game ("Tutto").
    ClassView(const ClassRecords& records, int today);

    const ClassRecords& records() const { return *records_; }
    int today() const { return today_; }
    const Period& period() const { return summary_.period; }
    // The days the range "Dal … al …" holds (also while another period is
    // chosen): at first those of the first and the last game.
    int rangeFirst() const { return rangeFirst_; }
    int rangeLast() const { return rangeLast_; }
    bool helpFirst() const { return helpFirst_; }
    const ClassSummary& summary() const { return summary_; }
    // The pupil chosen, and their row in summary().rows.
    std::optional<std::uint32_t> pupil() const { return pupil_; }
    std::optional<std::size_t> chosenRow() const;
    // The chosen pupil's weeks in the period.
    std::vector<Week> pupilWeeks() const;
    // "Registro della classe — " and the period.
    std::string title() const;

    void choosePeriod(PeriodKind kind);
    // The range's days, in either order; it becomes the period.
    void chooseRange(int first, int last);
    void putHelpFirst(bool first);
    void chooseRow(std::size_t row);

private:
    void summarize(const Period& period);
    const ClassRecords* records_;
    int today_;
    int rangeFirst_;
    int rangeLast_;
    bool helpFirst_ = false;
    ClassSummary summary_;
    std::optional<std::uint32_t> pupil_;
};

} // namespace cifrelle::classsummary
