// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cifrelle/classsummary/classview.h"

#include <QDateTime>
#include <QString>

namespace cifrelle::classwindow {

// The PDF for the parents' meeting: A4, in Italian. First the class (the
// title, the period, the day it was made; the grid with its judgements and
// the legend; the class's picture), on pages in landscape; then one page
// (or more) per pupil with games in the period: their levels, their kinds
// of mistakes, the accounts and computers their games came from, their
// picture, and their games. Returns why it could not be written, or an
// empty text.
QString writeClassPdf(const QString& path, const classsummary::ClassView& view,
                      const QDateTime& made);

// The grid as a spreadsheet file (classsummary::classCsv). Returns why it
// could not be written, or an empty text.
QString writeClassCsv(const QString& path, const classsummary::ClassSummary& summary);

// A file name that says the period: "registro-classe-2026-12-07-2026-12-13"
// (without its extension).
QString exportName(const classsummary::Period& period, int firstDay, int lastDay);

// A QDate's day number (classsummary's days) and back.
int dayNumberOf(const QDate& date);
QDate dateOfDay(int day);

} // namespace cifrelle::classwindow
