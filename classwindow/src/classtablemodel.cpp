// SPDX-License-Identifier: GPL-3.0-or-later
#include "cifrelle/classwindow/classtablemodel.h"

#include "cifrelle/classwindow/colours.h"
#include "cifrelle/classwindow/qtext.h"

#include <QColor>

namespace cifrelle::classwindow {

using namespace classsummary;

namespace {

constexpr int fixedColumns = 4; // before the levels'
constexpr int levelColumns = 4; // right, wrong, share, judgement
constexpr int helpColumn = fixedColumns + levelCount * levelColumns; // then the mistake
constexpr int columns = helpColumn + 2;

} // namespace

void ClassTableModel::show(const ClassSummary& summary)
{
    beginResetModel();
    summary_ = &summary;
    endResetModel();
}

int ClassTableModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() || !summary_ ? 0 : static_cast<int>(summary_->rows.size());
}

int ClassTableModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : columns;
}

QStringList ClassTableModel::columnHeadings()
{
    QStringList headings = {QStringLiteral("Alunno"), QStringLiteral("Partite"),
                            QStringLiteral("Tempo di gioco"), QStringLiteral("Ultima partita")};
    for (int level = 0; level < levelCount; ++level) {
        const QString name = QString::fromUtf8(levelName(level).data());
        for (const char* what : {"esatte", "errate", "%", "giudizio"})
            headings << name + QLatin1Char(' ') + QLatin1String(what);
    }
    return headings << QStringLiteral("Da aiutare") << QStringLiteral("Errore più frequente");
}

QString ClassTableModel::cellText(const PupilRow& row, int column)
{
    switch (column) {
    case 0: return qs(row.shown);
    case 1: return QString::number(row.games);
    case 2: return qs(durationText(row.seconds));
    case 3:
        return row.last ? qs(italianDate(dayOf(*row.last)) + ' ' + clockText(*row.last))
                        : QString();
    case helpColumn: return row.needsHelp ? QStringLiteral("sì") : QStringLiteral("no");
    case columns - 1: return qs(topMistakeText(row.mistakes));
    default: break;
    }
    const int level = (column - fixedColumns) / levelColumns;
    const LevelCounts& c = row.levels[level];
    switch ((column - fixedColumns) % levelColumns) {
    case 0: return QString::number(c.right);
    case 1: return QString::number(c.wrong);
    case 2: return qs(percentText(c));
    default: return QString::fromUtf8(judgementWord(row.judgements[level]).data());
    }
}

std::optional<Judgement> ClassTableModel::cellJudgement(const PupilRow& row, int column)
{
    if (column == helpColumn)
        return row.needsHelp ? std::optional(Judgement::Review) : std::nullopt;
    if (column < fixedColumns || column >= helpColumn ||
        (column - fixedColumns) % levelColumns != levelColumns - 1)
        return std::nullopt;
    return row.judgements[(column - fixedColumns) / levelColumns];
}

QVariant ClassTableModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || !summary_ || index.row() >= rowCount())
        return {};
    const PupilRow& row = summary_->rows[static_cast<std::size_t>(index.row())];
    const int column = index.column();
    switch (role) {
    case Qt::DisplayRole: return cellText(row, column);
    case Qt::AccessibleTextRole: { // read with its column's heading, also in a whole row
        const QString text = cellText(row, column);
        return columnHeadings().at(column) + QStringLiteral(": ") +
               (text.isEmpty() ? QStringLiteral("nessuno") : text);
    }
    case Qt::BackgroundRole:
        if (const auto judgement = cellJudgement(row, column))
            return judgementColour(*judgement);
        return {};
    case Qt::ForegroundRole:
        if (cellJudgement(row, column))
            return ink;
        return {};
    case Qt::TextAlignmentRole:
        if (column == 1 || (column >= fixedColumns && column < helpColumn &&
                            (column - fixedColumns) % levelColumns != levelColumns - 1))
            return QVariant(Qt::AlignRight | Qt::AlignVCenter);
        return QVariant(Qt::AlignLeft | Qt::AlignVCenter);
    default: return {};
    }
}

QVariant ClassTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Vertical) { // each row's header, for the screen reader: the pupil
        if ((role == Qt::DisplayRole || role == Qt::AccessibleTextRole) && summary_ &&
            section >= 0 && section < rowCount())
            return qs(summary_->rows[static_cast<std::size_t>(section)].shown);
        return {};
    }
    if (section < 0 || section >= columns)
        return {};
    const QString heading = columnHeadings().at(section);
    if (role == Qt::AccessibleTextRole || role == Qt::ToolTipRole)
        return heading;
    if (role == Qt::DisplayRole) { // on the screen, on two short lines
        const qsizetype space = heading.indexOf(QLatin1Char(' '));
        return space < 0 ? heading
                         : heading.left(space) + QLatin1Char('\n') + heading.mid(space + 1);
    }
    return {};
}

} // namespace cifrelle::classwindow
