// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cifrelle/classsummary/classview.h"
#include "cifrelle/classwindow/charts.h"
#include "cifrelle/classwindow/classtablemodel.h"

#include <QMainWindow>

class QCheckBox;
class QComboBox;
class QDateEdit;
class QLabel;
class QPushButton;
class QTableView;

namespace cifrelle::classwindow {

// The window "Registro della classe": the period, the legend, the grid of
// the pupils, the class's picture and the chosen pupil's, and the exports.
// Every control has its name for the screen reader and its key. The
// controls are written from the ClassView, and what the teacher chooses
// goes to it: nothing is read back from a control to decide anything.
class ClassWindow : public QMainWindow {
public:
    // `notes`: what the reading of the registers left to say (lines not
    // read, files that could not be read), one line each.
    ClassWindow(classsummary::ClassView& view, const QStringList& notes, QWidget* parent = nullptr);

    // The period as the teacher chooses it from the list ("Oggi", "Questa
    // settimana", "Questo mese", "Tutto", "Dal … al …").
    void choosePeriod(int item);
    void chooseRange(const QDate& first, const QDate& last);
    void putHelpFirst(bool first);
    void chooseRow(int row);
    // Asks where, then writes; says what happened in a box.
    void exportPdf();
    void exportCsv();

    QTableView* grid() const { return grid_; }

private:
    void refresh();
    void showPupil();

    classsummary::ClassView& view_;
    ClassTableModel model_;
    QComboBox* period_;
    QDateEdit* first_;
    QDateEdit* last_;
    QCheckBox* helpFirst_;
    QLabel* summary_;
    QLabel* legend_;
    QTableView* grid_;
    ChartWidget* classChart_;
    ChartWidget* pupilChart_;
    QStringList notes_;
    bool writing_ = false; // while the controls are written from the view
};

} // namespace cifrelle::classwindow
