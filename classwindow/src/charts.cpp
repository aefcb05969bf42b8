// SPDX-License-Identifier: GPL-3.0-or-later
// The pictures: horizontal bars in tracks that show the whole (100 %, or
// the largest count), each bar's number written on it (in the paper's
// colour inside the bar when it fits, else in ink beside it).
#include "cifrelle/classwindow/charts.h"
#include "cifrelle/classwindow/qtext.h"

#include "cifrelle/classwindow/colours.h"

#include "cifrelle/records/register.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QFontMetricsF>
#include <QPainter>

#include <algorithm>

namespace cifrelle::classwindow {

using classsummary::LevelCounts;

namespace {

double share(const LevelCounts& c)
{
    return c.answers() ? static_cast<double>(c.right) / static_cast<double>(c.answers()) : 0.0;
}

// A track from `track.left()` to its right, filled to `fraction`, with
// `text` on the bar.
void drawBar(QPainter& p, const QRectF& track, double fraction, const QColor& colour,
             const QString& text)
{
    const QFontMetricsF metrics(p.font());
    const double pad = metrics.averageCharWidth() * 0.6;
    p.setPen(QPen(ink, 0));
    p.setBrush(Qt::NoBrush);
    p.drawRect(track);
    QRectF bar = track;
    bar.setWidth(track.width() * std::clamp(fraction, 0.0, 1.0));
    p.fillRect(bar, colour);
    const double width = metrics.horizontalAdvance(text) + 2 * pad;
    if (width <= bar.width()) {
        p.setPen(paper);
        p.drawText(bar.adjusted(pad, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter, text);
    } else {
        p.setPen(ink);
        p.drawText(QRectF(bar.right() + pad, track.top(), track.width(), track.height()),
                   Qt::AlignLeft | Qt::AlignVCenter, text);
    }
}

QString levelText(const LevelCounts& c)
{
    if (c.answers() == 0)
        return QStringLiteral("nessuna risposta");
    return qs(classsummary::percentText(c)) +
           QStringLiteral(" (%1 su %2)").arg(c.right).arg(c.answers());
}

// A block of bars: a heading line, then rows of a label and one track or
// more beside it, the rows sharing the area's height (the font made
// smaller when they are too thin for it).
class Block {
public:
    Block(QPainter& p, const QRectF& area, const QString& heading, int rows,
          const QString& longestLabel, int columns = 1)
        : p_(p), area_(area), columns_(columns)
    {
        QFontMetricsF metrics(p.font());
        headingHeight_ = metrics.height() * 1.5;
        pitch_ = std::min(metrics.height() * 1.6, (area.height() - headingHeight_) / rows);
        QFont bold = p.font();
        bold.setBold(true);
        p.save();
        p.setFont(bold);
        p.setPen(ink);
        p.drawText(QRectF(area.left(), area.top(), area.width(), headingHeight_),
                   Qt::AlignLeft | Qt::AlignVCenter,
                   QFontMetricsF(bold).elidedText(heading, Qt::ElideRight, area.width()));
        p.restore();
        if (pitch_ < metrics.height() * 1.25) {
            QFont smaller = p.font();
            smaller.setPointSizeF(smaller.pointSizeF() * pitch_ / (metrics.height() * 1.25));
            p.setFont(smaller);
            metrics = QFontMetricsF(smaller);
        }
        labelWidth_ = metrics.horizontalAdvance(longestLabel) + metrics.averageCharWidth();
    }
    QRectF label(int row) const { return {area_.left(), top(row), labelWidth_, pitch_ * 0.8}; }
    QRectF track(int row, int column = 0) const
    {
        const double gap = pitch_ * 0.5;
        const double width = (area_.width() - labelWidth_ - gap * columns_) / columns_;
        return {area_.left() + labelWidth_ + gap + column * (width + gap), top(row), width,
                pitch_ * 0.8};
    }

private:
    double top(int row) const { return area_.top() + headingHeight_ + row * pitch_; }
    QPainter& p_;
    QRectF area_;
    int columns_;
    double headingHeight_ = 0;
    double pitch_ = 0;
    double labelWidth_ = 0;
};

} // namespace

ClassChart classChartOf(const classsummary::ClassSummary& summary)
{
    return {summary.levels, summary.mistakes};
}

void paintClassChart(QPainter& p, const QRectF& area, const ClassChart& chart)
{
    p.save();
    p.fillRect(area, paper);
    const bool kinds = std::any_of(chart.mistakes.begin(), chart.mistakes.end(),
                                   [](std::uint64_t n) { return n > 0; });
    const QRectF left = kinds ? area.adjusted(0, 0, -area.width() * 0.52, 0) : area;
    const Block levels(p, left, QStringLiteral("Risposte esatte della classe per livello"),
                       classsummary::levelCount, QStringLiteral("Centesimi"));
    for (int level = 0; level < classsummary::levelCount; ++level) {
        p.setPen(ink);
        p.drawText(levels.label(level), Qt::AlignLeft | Qt::AlignVCenter,
                   qs(classsummary::levelName(level)));
        drawBar(p, levels.track(level), share(chart.levels[level]), levelColour(level),
                levelText(chart.levels[level]));
    }
    p.restore();
    if (!kinds)
        return;
    p.save();
    const QRectF right = area.adjusted(area.width() * 0.52, 0, 0, 0);
    const Block rows(p, right, QStringLiteral("Errori per tipo"), classsummary::mistakeKinds,
                     QStringLiteral("non arrotondato"));
    const std::uint64_t most = *std::max_element(chart.mistakes.begin(), chart.mistakes.end());
    for (int k = 0; k < classsummary::mistakeKinds; ++k) {
        p.setPen(ink);
        p.drawText(rows.label(k), Qt::AlignLeft | Qt::AlignVCenter,
                   qs(records::mistakeName(records::Mistake(k))));
        drawBar(p, rows.track(k),
                static_cast<double>(chart.mistakes[k]) / static_cast<double>(most), mistakeColour,
                QString::number(chart.mistakes[k]));
    }
    p.restore();
}

QString classChartText(const ClassChart& chart)
{
    QStringList levels;
    for (int level = 0; level < classsummary::levelCount; ++level)
        levels << qs(classsummary::levelName(level)).toLower() + QLatin1Char(' ') +
                      levelText(chart.levels[level]);
    QString text = QStringLiteral("Risposte esatte della classe per livello: ") +
                   levels.join(QStringLiteral("; ")) + QLatin1Char('.');
    QStringList kinds;
    for (int k = 0; k < classsummary::mistakeKinds; ++k) {
        if (chart.mistakes[k])
            kinds << qs(records::mistakeName(records::Mistake(k))) + QLatin1Char(' ') +
                         QString::number(chart.mistakes[k]);
    }
    if (!kinds.isEmpty())
        text += QStringLiteral(" Errori per tipo: ") + kinds.join(QStringLiteral(", ")) +
                QLatin1Char('.');
    return text;
}

void paintPupilChart(QPainter& p, const QRectF& area, const PupilChart& chart)
{
    p.save();
    p.fillRect(area, paper);
    const int weeks = static_cast<int>(chart.weeks.size());
    const Block rows(p, area,
                     chart.pupil + QStringLiteral(": esatte per livello, settimana per settimana"),
                     std::max(weeks, 1) + 1, QStringLiteral("dal 00/00"), classsummary::levelCount);
    p.setPen(ink);
    if (chart.weeks.empty()) {
        p.drawText(rows.label(0).adjusted(0, 0, area.width(), 0), Qt::AlignLeft | Qt::AlignVCenter,
                   QStringLiteral("Nessuna partita nel periodo."));
    } else {
        for (int level = 0; level < classsummary::levelCount; ++level) { // the columns' names
            const QRectF column = rows.track(0, level);
            const QRectF swatch(column.left(), column.top() + column.height() * 0.2,
                                column.height() * 0.6, column.height() * 0.6);
            p.fillRect(swatch, levelColour(level));
            p.drawText(column.adjusted(swatch.width() * 1.6, 0, 0, 0),
                       Qt::AlignLeft | Qt::AlignVCenter, qs(classsummary::levelName(level)));
        }
    }
    for (int w = 0; w < weeks; ++w) {
        const classsummary::Week& week = chart.weeks[w];
        p.setPen(ink);
        p.drawText(rows.label(w + 1), Qt::AlignLeft | Qt::AlignVCenter,
                   QStringLiteral("dal ") + qs(classsummary::italianDate(week.monday)).left(5));
        for (int level = 0; level < classsummary::levelCount; ++level) {
            const LevelCounts& c = week.levels[level];
            drawBar(p, rows.track(w + 1, level), share(c), levelColour(level),
                    c.answers() ? qs(classsummary::percentText(c)) : QStringLiteral("–"));
        }
    }
    p.restore();
}

QString pupilChartText(const PupilChart& chart)
{
    if (chart.weeks.empty())
        return chart.pupil + QStringLiteral(": nessuna partita nel periodo.");
    QStringList weeks;
    for (const classsummary::Week& week : chart.weeks) {
        QStringList levels;
        for (int level = 0; level < classsummary::levelCount; ++level) {
            const LevelCounts& c = week.levels[level];
            levels << qs(classsummary::levelName(level)).toLower() + QLatin1Char(' ') +
                          (c.answers() ? qs(classsummary::percentText(c))
                                       : QStringLiteral("nessuna risposta"));
        }
        weeks << QStringLiteral("settimana dal ") + qs(classsummary::italianDate(week.monday)) +
                     QStringLiteral(": ") + levels.join(QStringLiteral(", "));
    }
    return chart.pupil + QStringLiteral(", risposte esatte per livello settimana per settimana: ") +
           weeks.join(QStringLiteral("; ")) + QLatin1Char('.');
}

namespace {

QAccessibleInterface* chartAccessible(const QString&, QObject* object)
{
    if (auto* chart = dynamic_cast<ChartWidget*>(object))
        return new QAccessibleWidget(chart, QAccessible::Graphic);
    return nullptr;
}

} // namespace

ChartWidget::ChartWidget(QWidget* parent) : QWidget(parent)
{
    static const bool installed = [] {
        QAccessible::installFactory(chartAccessible);
        return true;
    }();
    (void)installed;
    setFocusPolicy(Qt::StrongFocus);
    setMinimumHeight(160);
}

void ChartWidget::setPicture(const QString& name, const QString& text,
                             std::function<void(QPainter&, const QRectF&)> paint)
{
    text_ = text;
    paint_ = std::move(paint);
    setAccessibleName(name);
    setAccessibleDescription(text);
    update();
}

void ChartWidget::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing, false);
    const QRectF area = QRectF(rect()).adjusted(4, 4, -4, -4);
    painter.fillRect(rect(), paper);
    if (paint_)
        paint_(painter, area);
    if (hasFocus()) {
        painter.setPen(QPen(ink, 2, Qt::DotLine));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(QRectF(rect()).adjusted(1, 1, -1, -1));
    }
}

} // namespace cifrelle::classwindow
