// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cifrelle/classsummary/summary.h"

#include <QAbstractTableModel>

namespace cifrelle::classwindow {

// The grid: one row per pupil of a summary, its columns those of
// columnHeadings(). Each judgement's word is in its cell with the cell's
// colour. The screen reader gets each column's heading on one line, each
// row's header is the pupil, and each cell is read with its heading
// ("Decimi giudizio: da rivedere"), so that a row read whole says what each
// number is.
class ClassTableModel : public QAbstractTableModel {
public:
    using QAbstractTableModel::QAbstractTableModel;

    // The rows of `summary`, which must outlive the model's use of them.
    void show(const classsummary::ClassSummary& summary);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // "Alunno", "Partite", "Tempo di gioco", "Ultima partita", then for each
    // level "Decimi esatte", "Decimi errate", "Decimi %", "Decimi giudizio"
    // and so on, "Da aiutare", "Errore più frequente".
    static QStringList columnHeadings();
    // A cell's text, as the screen and the PDF write it.
    static QString cellText(const classsummary::PupilRow& row, int column);
    static std::optional<classsummary::Judgement> cellJudgement(const classsummary::PupilRow& row,
                                                                int column);

private:
    const classsummary::ClassSummary* summary_ = nullptr;
};

} // namespace cifrelle::classwindow
