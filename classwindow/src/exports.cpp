// SPDX-License-Identifier: GPL-3.0-or-later
// The exports. The PDF is laid out in millimetres on A4 at 300 dots per
// inch: the class's pages in landscape (the grid is wide), the pupils' in
// portrait; a table that does not fit goes on over the next page, its
// heading again on top.
#include "cifrelle/classwindow/exports.h"
#include "cifrelle/classwindow/qtext.h"

#include "cifrelle/classwindow/charts.h"
#include "cifrelle/classwindow/classtablemodel.h"
#include "cifrelle/classwindow/colours.h"

#include "cifrelle/classsummary/csvexport.h"
#include "cifrelle/records/register.h"

#include <QDir>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>

#include <algorithm>
#include <map>
#include <numeric>

namespace cifrelle::classwindow {

using namespace classsummary;

namespace {

constexpr double dotsPerMm = 300 / 25.4;

// The writer's pages and a pen that moves down them.
class Pages {
public:
    Pages(QPdfWriter& writer, QPainter& painter) : writer_(writer), p_(painter) {}

    // The printable area of the page under way (the painter keeps the first
    // page's viewport when the orientation changes).
    double width() const { return writer_.pageLayout().paintRect(QPageLayout::Millimeter).width(); }
    double bottom() const
    {
        return writer_.pageLayout().paintRect(QPageLayout::Millimeter).height();
    }
    double y = 0; // mm from the top of the page's printable area

    void next(QPageLayout::Orientation orientation)
    {
        writer_.setPageOrientation(orientation);
        writer_.newPage();
        y = 0;
    }
    // Whether `height` mm fit below y.
    bool fits(double height) const { return y + height <= bottom(); }

    void font(double points, bool bold = false)
    {
        QFont f = QGuiApplication::font();
        f.setPointSizeF(points);
        f.setBold(bold);
        p_.setFont(f);
    }
    double lineHeight() const { return QFontMetricsF(p_.font()).height() / dotsPerMm; }
    QRectF rect(double x, double top, double w, double h) const
    {
        return {x * dotsPerMm, top * dotsPerMm, w * dotsPerMm, h * dotsPerMm};
    }
    // A paragraph across the page; y moves below it.
    void text(const QString& text, double points, bool bold = false)
    {
        font(points, bold);
        const QRectF area = rect(0, y, width(), bottom() - y);
        const QRectF used = p_.boundingRect(area, Qt::TextWordWrap, text);
        p_.setPen(ink);
        p_.drawText(area, Qt::TextWordWrap, text);
        y += used.height() / dotsPerMm + lineHeight() * 0.35;
    }
    QPainter& painter() { return p_; }

private:
    QPdfWriter& writer_;
    QPainter& p_;
};

// A table's columns: heading, width in mm, numbers to the right.
struct Column {
    QString heading;
    double width;
    bool number = false;
};

// One table row; a cell with a judgement gets its colour.
struct Cell {
    QString text;
    std::optional<Judgement> judgement;
};

class Table {
public:
    // `groups`: headings over runs of columns (an empty one over none).
    Table(Pages& pages, std::vector<Column> columns, double points, QPageLayout::Orientation o,
          QString continued, std::vector<std::pair<QString, int>> groups = {})
        : pages_(pages), columns_(std::move(columns)), points_(points), orientation_(o),
          continued_(std::move(continued)), groups_(std::move(groups))
    {
        const double total =
            std::accumulate(columns_.begin(), columns_.end(), 0.0,
                            [](double sum, const Column& c) { return sum + c.width; });
        scale_ = std::min(1.0, pages_.width() / total);
    }
    void heading()
    {
        pages_.font(points_, true);
        const double height = pages_.lineHeight() * (groups_.empty() ? 2.2 : 3.3);
        if (!pages_.fits(height + pages_.lineHeight() * 1.4))
            newPage();
        if (!groups_.empty()) {
            QPainter& p = pages_.painter();
            double x = 0;
            std::size_t column = 0;
            for (const auto& [name, span] : groups_) {
                double w = 0;
                for (int i = 0; i < span; ++i)
                    w += columns_[column++].width * scale_;
                if (!name.isEmpty()) {
                    const QRectF box = pages_.rect(x, pages_.y, w, pages_.lineHeight() * 1.1);
                    p.setPen(ink);
                    p.drawText(box.adjusted(0.8 * dotsPerMm, 0, 0, 0),
                               Qt::AlignLeft | Qt::AlignBottom, name);
                    p.drawLine(box.bottomLeft() + QPointF(0.8 * dotsPerMm, 0),
                               box.bottomRight() - QPointF(0.8 * dotsPerMm, 0));
                }
                x += w;
            }
            pages_.y += pages_.lineHeight() * 1.1;
        }
        drawRow(
            pages_.lineHeight() * 2.2,
            [&](std::size_t i) {
                return Cell{columns_[i].heading, {}};
            },
            true);
    }
    void row(const std::vector<Cell>& cells)
    {
        pages_.font(points_);
        const double height = pages_.lineHeight() * 1.35;
        if (!pages_.fits(height)) {
            newPage();
            heading();
            pages_.font(points_);
        }
        drawRow(
            height, [&](std::size_t i) { return cells[i]; }, false);
    }

private:
    void newPage()
    {
        pages_.next(orientation_);
        if (!continued_.isEmpty())
            pages_.text(continued_, points_ + 1, true);
    }
    template <typename CellOf>
    void drawRow(double height, CellOf cellOf, bool bold)
    {
        QPainter& p = pages_.painter();
        double x = 0;
        for (std::size_t i = 0; i < columns_.size(); ++i) {
            const Cell cell = cellOf(i);
            const double w = columns_[i].width * scale_;
            const QRectF box = pages_.rect(x, pages_.y, w, height);
            if (cell.judgement)
                p.fillRect(box, judgementColour(*cell.judgement));
            p.setPen(QPen(ink, 0));
            p.drawLine(box.bottomLeft(), box.bottomRight());
            p.setPen(ink);
            const QRectF inner = box.adjusted(0.8 * dotsPerMm, 0, -0.8 * dotsPerMm, 0);
            const int align = (columns_[i].number && !bold ? Qt::AlignRight : Qt::AlignLeft) |
                              (bold ? Qt::AlignBottom : Qt::AlignVCenter);
            p.drawText(inner, align | (bold ? Qt::TextWordWrap : 0),
                       bold ? cell.text
                            : QFontMetricsF(p.font()).elidedText(cell.text, Qt::ElideRight,
                                                                 inner.width()));
            x += w;
        }
        pages_.y += height;
    }

    Pages& pages_;
    std::vector<Column> columns_;
    double points_;
    QPageLayout::Orientation orientation_;
    QString continued_;
    std::vector<std::pair<QString, int>> groups_;
    double scale_ = 1;
};

// One game of a pupil's page.
struct GameLine {
    Moment ended;
    records::GameSummary game;
};

// The games of each pupil in the period, read again from the registers.
std::map<std::uint32_t, std::vector<GameLine>> gamesOf(const ClassView& view)
{
    std::map<std::uint32_t, std::vector<GameLine>> games;
    const Period& period = view.period();
    view.records().readAgain([&](std::uint32_t pupil, const records::RegisterEntry& e) {
        const records::LocalTime& t = e.game.ended;
        const int day = dayNumber({t.year, t.month, t.day});
        if (period.contains(day))
            games[pupil].push_back({momentOf(day, t.hour, t.minute, t.second), e.game});
    });
    for (auto& [pupil, list] : games)
        std::stable_sort(list.begin(), list.end(),
                         [](const GameLine& a, const GameLine& b) { return a.ended < b.ended; });
    return games;
}

QString endingText(records::GameEnding ending)
{
    static const char* const texts[] = {"Esci", "tempo scaduto", "finestra chiusa",
                                        "sessione chiusa"};
    return QString::fromUtf8(texts[static_cast<int>(ending)]);
}

void classPages(Pages& pages, const ClassView& view, const QDateTime& made)
{
    const ClassSummary& s = view.summary();
    pages.text(QStringLiteral("Registro della classe"), 16, true);
    pages.text(qs(periodText(s.period)), 11, true);
    pages.text(QStringLiteral("Creato il %1 alle %2. ")
                       .arg(made.date().toString(QStringLiteral("dd/MM/yyyy")),
                            made.time().toString(QStringLiteral("HH:mm"))) +
                   qs(countsText(s)) + QLatin1Char('.'),
               9);
    for (const RegisterFile& file : view.records().files()) {
        if (const std::string skipped = skippedText(file); !skipped.empty())
            pages.text(qs(skipped) + QLatin1Char('.'), 8);
    }

    // The legend: the words on their colours, then the rule.
    pages.font(8.5);
    QPainter& p = pages.painter();
    double x = 0;
    const double h = pages.lineHeight() * 1.3;
    for (Judgement j :
         {Judgement::Sure, Judgement::Almost, Judgement::Review, Judgement::FewData}) {
        const QString word = qs(judgementWord(j));
        const double w = QFontMetricsF(p.font()).horizontalAdvance(word) / dotsPerMm + 3;
        p.fillRect(pages.rect(x, pages.y, w, h), judgementColour(j));
        p.setPen(ink);
        p.drawText(pages.rect(x, pages.y, w, h), Qt::AlignCenter, word);
        x += w + 2;
    }
    pages.y += h + 1;
    pages.text(qs(judgementRule()), 8.5);

    // The levels' columns under the level's name, each column as wide as
    // its widest cell or heading word.
    const QStringList headings = ClassTableModel::columnHeadings();
    std::vector<std::vector<Cell>> cells;
    for (const PupilRow& row : s.rows) {
        cells.emplace_back();
        for (int c = 0; c < headings.size(); ++c)
            cells.back().push_back(
                {ClassTableModel::cellText(row, c), ClassTableModel::cellJudgement(row, c)});
    }
    std::vector<Column> columns;
    std::vector<std::pair<QString, int>> groups = {{QString(), 4}};
    for (int c = 0; c < headings.size(); ++c) {
        const bool levelColumn = c >= 4 && c < 4 + 4 * levelCount;
        if (levelColumn && (c - 4) % 4 == 0)
            groups.push_back({qs(levelName((c - 4) / 4)), 4});
        const QString heading =
            levelColumn ? headings[c].section(QLatin1Char(' '), 1) : headings[c];
        columns.push_back({heading, 0, c == 1 || (levelColumn && (c - 4) % 4 != 3)});
    }
    groups.push_back({QString(), 2});
    pages.font(7, true);
    const QFontMetricsF bold(p.font());
    pages.font(7);
    const QFontMetricsF plain(p.font());
    for (std::size_t c = 0; c < columns.size(); ++c) {
        double widest = 0;
        for (const QString& word : columns[c].heading.split(QLatin1Char(' ')))
            widest = std::max(widest, bold.horizontalAdvance(word));
        for (const auto& row : cells)
            widest = std::max(widest, plain.horizontalAdvance(row[c].text));
        columns[c].width = widest / dotsPerMm + 2.4;
    }
    const QString continued =
        QStringLiteral("Registro della classe (segue) — ") + qs(periodText(s.period));
    Table grid(pages, columns, 7, QPageLayout::Landscape, continued, groups);
    grid.heading();
    for (const auto& row : cells)
        grid.row(row);

    // The class's picture, under the grid or on a page of its own that
    // says again whose class and which period it is.
    const double chartHeight = 50;
    if (!pages.fits(chartHeight + 6)) {
        pages.next(QPageLayout::Landscape);
        pages.text(continued, 8, true);
    }
    pages.y += 4;
    pages.font(9);
    paintClassChart(p, pages.rect(0, pages.y, pages.width(), chartHeight), classChartOf(s));
    pages.y += chartHeight;
}

void pupilPages(Pages& pages, const ClassView& view, const PupilRow& row,
                const std::vector<GameLine>& games)
{
    const ClassSummary& s = view.summary();
    const ClassRecords& records = view.records();
    pages.next(QPageLayout::Portrait);
    const QString name = qs(row.shown);
    pages.text(name, 15, true);
    pages.text(qs(periodText(s.period)), 10, true);
    pages.text(QStringLiteral("Partite: %1. Tempo di gioco: %2. Ultima partita: %3.")
                   .arg(row.games)
                   .arg(qs(durationText(row.seconds)), ClassTableModel::cellText(row, 3)),
               9.5);

    Table levels(pages,
                 {{QStringLiteral("Livello"), 30},
                  {QStringLiteral("Esatte"), 20, true},
                  {QStringLiteral("Errate"), 20, true},
                  {QStringLiteral("% esatte"), 20, true},
                  {QStringLiteral("Giudizio"), 30}},
                 9, QPageLayout::Portrait, name);
    levels.heading();
    for (int level = 0; level < levelCount; ++level) {
        const LevelCounts& c = row.levels[level];
        levels.row({{qs(levelName(level)), {}},
                    {QString::number(c.right), {}},
                    {QString::number(c.wrong), {}},
                    {qs(percentText(c)), {}},
                    {qs(judgementWord(row.judgements[level])), row.judgements[level]}});
    }
    pages.y += 3;

    QStringList kinds;
    for (int k = 0; k < mistakeKinds; ++k)
        kinds << qs(records::mistakeName(records::Mistake(k))) + QLatin1Char(' ') +
                     QString::number(row.mistakes[k]);
    const std::string top = topMistakeText(row.mistakes);
    pages.text(top.empty()
                   ? QStringLiteral("Tipi di errore: il registro non li dice per queste partite.")
                   : QStringLiteral("Tipi di errore: ") + kinds.join(QStringLiteral(", ")) +
                         QStringLiteral(". Il più frequente: ") + qs(top) + QLatin1Char('.'),
               9.5);
    QStringList origins;
    for (std::uint32_t o : row.origins) {
        const Origin& origin = records.origins()[o];
        origins << (origin.account.empty() && origin.computer.empty()
                        ? QStringLiteral("non indicati (righe senza queste colonne)")
                        : QStringLiteral("account %1 sul computer %2")
                              .arg(qs(origin.account), qs(origin.computer)));
    }
    pages.text(QStringLiteral("Da dove vengono le partite: ") + origins.join(QStringLiteral("; ")) +
                   QLatin1Char('.'),
               9.5);

    const double chartHeight = 48;
    pages.font(9);
    paintPupilChart(pages.painter(), pages.rect(0, pages.y, pages.width(), chartHeight),
                    {name, weeksOf(records, row.pupil, s.period)});
    pages.y += chartHeight + 3;

    pages.text(QStringLiteral("Partite nel periodo"), 11, true);
    pages.text(QStringLiteral("Per ogni livello: risposte esatte/errate."), 8);
    Table list(pages,
               {{QStringLiteral("Data"), 20},
                {QStringLiteral("Ora"), 12},
                {QStringLiteral("Durata"), 16},
                {QStringLiteral("Decimi"), 18, true},
                {QStringLiteral("Centesimi"), 18, true},
                {QStringLiteral("Millesimi"), 18, true},
                {QStringLiteral("Fine"), 26},
                {QStringLiteral("Account"), 28},
                {QStringLiteral("Computer"), 30}},
               8, QPageLayout::Portrait, name + QStringLiteral(" (segue)"));
    list.heading();
    for (const GameLine& g : games) {
        const auto counts = [&](int level) {
            return QStringLiteral("%1/%2")
                .arg(g.game.rightByLevel[level])
                .arg(g.game.wrongByLevel[level]);
        };
        list.row({{qs(italianDate(dayOf(g.ended))), {}},
                  {qs(clockText(g.ended)), {}},
                  {qs(durationText(static_cast<std::uint64_t>(g.game.secondsPlayed))), {}},
                  {counts(0), {}},
                  {counts(1), {}},
                  {counts(2), {}},
                  {endingText(g.game.ending), {}},
                  {qs(g.game.account), {}},
                  {qs(g.game.computer), {}}});
    }
}

QString writeProblem(const QString& what, const QString& path, const QString& reason)
{
    return QStringLiteral("Non riesco a scrivere %1 «%2» (%3).")
        .arg(what, QDir::toNativeSeparators(path), reason);
}

} // namespace

int dayNumberOf(const QDate& date)
{
    return static_cast<int>(date.toJulianDay() - QDate(1970, 1, 1).toJulianDay());
}

QDate dateOfDay(int day)
{
    return QDate::fromJulianDay(QDate(1970, 1, 1).toJulianDay() + day);
}

QString exportName(const Period& period, int firstDay, int lastDay)
{
    const int first = period.first == INT_MIN ? firstDay : period.first;
    const int last = period.last == INT_MAX ? lastDay : period.last;
    QString name = QStringLiteral("registro-classe-") + qs(isoDate(first));
    if (last != first)
        name += QLatin1Char('-') + qs(isoDate(last));
    return name;
}

QString writeClassPdf(const QString& path, const ClassView& view, const QDateTime& made)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return writeProblem(QStringLiteral("il PDF"), path, file.errorString());
    {
        QPdfWriter writer(&file);
        writer.setResolution(300);
        writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Landscape,
                                         QMarginsF(12, 12, 12, 12), QPageLayout::Millimeter));
        writer.setTitle(qs(view.title()));
        writer.setCreator(QStringLiteral("Cifrelle"));
        QPainter painter;
        if (!painter.begin(&writer))
            return writeProblem(QStringLiteral("il PDF"), path, file.errorString());
        Pages pages(writer, painter);
        classPages(pages, view, made);
        const auto games = gamesOf(view);
        for (const PupilRow& row : view.summary().rows) {
            if (row.games == 0)
                continue;
            const auto found = games.find(row.pupil);
            pupilPages(pages, view, row,
                       found == games.end() ? std::vector<GameLine>{} : found->second);
        }
        painter.end();
    }
    if (!file.commit())
        return writeProblem(QStringLiteral("il PDF"), path, file.errorString());
    return {};
}

QString writeClassCsv(const QString& path, const ClassSummary& summary)
{
    QSaveFile file(path);
    const std::string bytes = classCsv(summary);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(bytes.data(), static_cast<qint64>(bytes.size())) !=
            static_cast<qint64>(bytes.size()) ||
        !file.commit())
        return writeProblem(QStringLiteral("il file CSV"), path, file.errorString());
    return {};
}

} // namespace cifrelle::classwindow
