// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cifrelle/classsummary/summary.h"

#include <QString>
#include <QWidget>

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

class QPainter;

namespace cifrelle::classwindow {

// The two pictures of the teacher's view, drawn with Qt's own painting on
// the screen and in the PDF alike, each with the text a screen reader
// reads in its place.

// The class in the period: the share right per level, and the wrong
// answers by kind where the register tells the kinds.
struct ClassChart {
    std::array<classsummary::LevelCounts, classsummary::levelCount> levels{};
    std::array<std::uint64_t, classsummary::mistakeKinds> mistakes{};
};
ClassChart classChartOf(const classsummary::ClassSummary& summary);
void paintClassChart(QPainter& painter, const QRectF& area, const ClassChart& chart);
QString classChartText(const ClassChart& chart);

// One pupil: the share right per level, week by week.
struct PupilChart {
    QString pupil;
    std::vector<classsummary::Week> weeks;
};
void paintPupilChart(QPainter& painter, const QRectF& area, const PupilChart& chart);
QString pupilChartText(const PupilChart& chart);

// A picture on the screen: it takes the keyboard's focus (Tab), and a
// screen reader finds it as a picture, named, with its text alternative as
// its description.
class ChartWidget : public QWidget {
public:
    explicit ChartWidget(QWidget* parent = nullptr);
    void setPicture(const QString& name, const QString& text,
                    std::function<void(QPainter&, const QRectF&)> paint);
    QString text() const { return text_; }
    QSize sizeHint() const override { return {420, 190}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString text_;
    std::function<void(QPainter&, const QRectF&)> paint_;
};

} // namespace cifrelle::classwindow
