// SPDX-License-Identifier: GPL-3.0-or-later
#include "cifrelle/classwindow/classwindow.h"
#include "cifrelle/classwindow/qtext.h"

#include "cifrelle/classwindow/colours.h"
#include "cifrelle/classwindow/exports.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QStandardPaths>
#include <QTableView>
#include <QVBoxLayout>

namespace cifrelle::classwindow {

using namespace classsummary;

namespace {

// The list's items, in the order of PeriodKind.
const char* const periodItems[] = {"Oggi", "Questa settimana", "Questo mese", "Tutto",
                                   "Dal … al …"};

// The legend: each judgement's word on its colour, then the rule.
QString legendText()
{
    QString swatches;
    for (Judgement j : {Judgement::Sure, Judgement::Almost, Judgement::Review, Judgement::FewData})
        swatches += QStringLiteral("<span style=\"background-color:%1; color:%2\">&nbsp;%3&nbsp;"
                                   "</span> ")
                        .arg(judgementColour(j).name(), ink.name(), qs(judgementWord(j)));
    return swatches + QStringLiteral("<br>") + qs(judgementRule()).toHtmlEscaped();
}

QDateEdit* dateEdit(QWidget* parent, const QString& name)
{
    auto* edit = new QDateEdit(parent);
    edit->setObjectName(name);
    edit->setDisplayFormat(QStringLiteral("dd/MM/yyyy"));
    edit->setCalendarPopup(true);
    edit->setMinimumDate(QDate(1970, 1, 1));
    // Windows' style leaves the calendar's button out of the size it asks
    // for, and the year's last digit went under it: two digits more.
    edit->setMinimumWidth(edit->sizeHint().width() +
                          edit->fontMetrics().horizontalAdvance(QStringLiteral("00")));
    return edit;
}

} // namespace

ClassWindow::ClassWindow(ClassView& view, const QStringList& notes, QWidget* parent)
    : QMainWindow(parent), view_(view)
{
    setObjectName(QStringLiteral("registro"));
    auto* body = new QWidget(this);
    setCentralWidget(body);
    auto* layout = new QVBoxLayout(body);

    // The period and the order.
    auto* choices = new QHBoxLayout;
    auto* periodLabel = new QLabel(QStringLiteral("&Periodo:"), this);
    period_ = new QComboBox(this);
    period_->setObjectName(QStringLiteral("periodo"));
    for (const char* item : periodItems)
        period_->addItem(QString::fromUtf8(item));
    periodLabel->setBuddy(period_);
    auto* firstLabel = new QLabel(QStringLiteral("&Dal:"), this);
    first_ = dateEdit(this, QStringLiteral("dal"));
    firstLabel->setBuddy(first_);
    auto* lastLabel = new QLabel(QStringLiteral("a&l:"), this);
    last_ = dateEdit(this, QStringLiteral("al"));
    lastLabel->setBuddy(last_);
    helpFirst_ = new QCheckBox(QStringLiteral("Prima chi è da a&iutare"), this);
    helpFirst_->setObjectName(QStringLiteral("primaDaAiutare"));
    for (QWidget* w : std::initializer_list<QWidget*>{periodLabel, period_, firstLabel, first_,
                                                      lastLabel, last_, helpFirst_})
        choices->addWidget(w);
    choices->addStretch();
    layout->addLayout(choices);

    // What the registers gave, and the rule of the judgements.
    summary_ = new QLabel(this);
    summary_->setObjectName(QStringLiteral("riassunto"));
    summary_->setWordWrap(true);
    summary_->setTextInteractionFlags(Qt::TextSelectableByKeyboard | Qt::TextSelectableByMouse);
    summary_->setFocusPolicy(Qt::StrongFocus);
    layout->addWidget(summary_);
    legend_ = new QLabel(legendText(), this);
    legend_->setObjectName(QStringLiteral("legenda"));
    legend_->setWordWrap(true);
    legend_->setTextInteractionFlags(Qt::TextSelectableByKeyboard | Qt::TextSelectableByMouse);
    legend_->setFocusPolicy(Qt::StrongFocus);
    legend_->setAccessibleName(QStringLiteral("Legenda. ") + qs(judgementRule()));
    layout->addWidget(legend_);

    // The grid.
    auto* gridLabel = new QLabel(QStringLiteral("&Alunni:"), this);
    grid_ = new QTableView(this);
    grid_->setObjectName(QStringLiteral("griglia"));
    grid_->setAccessibleName(QStringLiteral("Alunni"));
    gridLabel->setBuddy(grid_);
    grid_->setModel(&model_);
    grid_->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid_->setSelectionMode(QAbstractItemView::SingleSelection);
    grid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid_->setTabKeyNavigation(false);
    grid_->verticalHeader()->hide();
    grid_->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    grid_->horizontalHeader()->setResizeContentsPrecision(200);
    QFont headings = grid_->horizontalHeader()->font(); // two lines, smaller: all in sight
    headings.setPointSizeF(headings.pointSizeF() * 0.85);
    grid_->horizontalHeader()->setFont(headings);
    grid_->setWordWrap(false);
    grid_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grid_->verticalHeader()->setDefaultSectionSize(grid_->fontMetrics().height() * 3 / 2);
    layout->addWidget(gridLabel);
    layout->addWidget(grid_, 1);

    // The pictures.
    auto* pictures = new QHBoxLayout;
    classChart_ = new ChartWidget(this);
    classChart_->setObjectName(QStringLiteral("graficoClasse"));
    pupilChart_ = new ChartWidget(this);
    pupilChart_->setObjectName(QStringLiteral("graficoAlunno"));
    pictures->addWidget(classChart_, 1);
    pictures->addWidget(pupilChart_, 1);
    layout->addLayout(pictures);

    // The exports.
    auto* buttons = new QHBoxLayout;
    auto* pdf = new QPushButton(QStringLiteral("Esporta PD&F…"), this);
    pdf->setObjectName(QStringLiteral("esportaPdf"));
    auto* csv = new QPushButton(QStringLiteral("Esporta &CSV…"), this);
    csv->setObjectName(QStringLiteral("esportaCsv"));
    auto* close = new QPushButton(QStringLiteral("C&hiudi"), this);
    close->setObjectName(QStringLiteral("chiudi"));
    buttons->addWidget(pdf);
    buttons->addWidget(csv);
    buttons->addStretch();
    buttons->addWidget(close);
    layout->addLayout(buttons);

    setTabOrder(period_, first_);
    setTabOrder(first_, last_);
    setTabOrder(last_, helpFirst_);
    setTabOrder(helpFirst_, summary_);
    setTabOrder(summary_, legend_);
    setTabOrder(legend_, grid_);
    setTabOrder(grid_, classChart_);
    setTabOrder(classChart_, pupilChart_);
    setTabOrder(pupilChart_, pdf);
    setTabOrder(pdf, csv);
    setTabOrder(csv, close);

    notes_ = notes;
    connect(period_, &QComboBox::currentIndexChanged, this, [this](int item) {
        if (!writing_)
            choosePeriod(item);
    });
    const auto range = [this] {
        if (!writing_)
            chooseRange(first_->date(), last_->date());
    };
    connect(first_, &QDateEdit::dateChanged, this, range);
    connect(last_, &QDateEdit::dateChanged, this, range);
    connect(helpFirst_, &QCheckBox::toggled, this, [this](bool on) {
        if (!writing_)
            putHelpFirst(on);
    });
    connect(grid_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                if (!writing_ && current.isValid())
                    chooseRow(current.row());
            });
    connect(pdf, &QPushButton::clicked, this, &ClassWindow::exportPdf);
    connect(csv, &QPushButton::clicked, this, &ClassWindow::exportCsv);
    connect(close, &QPushButton::clicked, this, &QMainWindow::close);

    refresh();
    grid_->resizeColumnsToContents();
    resize(1260, 800);
    period_->setFocus();
}

void ClassWindow::choosePeriod(int item)
{
    view_.choosePeriod(static_cast<PeriodKind>(item));
    refresh();
}

void ClassWindow::chooseRange(const QDate& first, const QDate& last)
{
    view_.chooseRange(dayNumberOf(first), dayNumberOf(last));
    refresh();
}

void ClassWindow::putHelpFirst(bool first)
{
    view_.putHelpFirst(first);
    refresh();
}

void ClassWindow::chooseRow(int row)
{
    view_.chooseRow(static_cast<std::size_t>(row));
    showPupil();
}

void ClassWindow::refresh()
{
    writing_ = true;
    const ClassSummary& summary = view_.summary();
    setWindowTitle(qs(view_.title()));
    period_->setCurrentIndex(static_cast<int>(summary.period.kind));
    first_->setDate(dateOfDay(view_.rangeFirst()));
    last_->setDate(dateOfDay(view_.rangeLast()));
    first_->setEnabled(summary.period.kind == PeriodKind::Range);
    last_->setEnabled(summary.period.kind == PeriodKind::Range);
    helpFirst_->setChecked(view_.helpFirst());

    QString said = qs(periodText(summary.period)) + QStringLiteral(": ") + qs(countsText(summary)) +
                   QLatin1Char('.');
    for (const QString& note : notes_)
        said += QLatin1Char('\n') + note;
    summary_->setText(said);
    summary_->setAccessibleName(said);

    // The grid keeps a current cell (the screen reader reads the table
    // through it), on the chosen pupil's row.
    const int column = std::max(grid_->currentIndex().column(), 0);
    model_.show(summary);
    if (const auto row = view_.chosenRow()) {
        const QModelIndex current = model_.index(static_cast<int>(*row), column);
        grid_->selectionModel()->setCurrentIndex(current, QItemSelectionModel::ClearAndSelect |
                                                              QItemSelectionModel::Rows);
        grid_->scrollTo(current);
    }
    const ClassChart chart = classChartOf(summary);
    classChart_->setPicture(
        QStringLiteral("Grafico della classe"), classChartText(chart),
        [chart](QPainter& p, const QRectF& area) { paintClassChart(p, area, chart); });
    writing_ = false;
    showPupil();
}

void ClassWindow::showPupil()
{
    const auto row = view_.chosenRow();
    PupilChart chart;
    if (row)
        chart = {qs(view_.summary().rows[*row].shown), view_.pupilWeeks()};
    pupilChart_->setPicture(
        QStringLiteral("Grafico di ") + chart.pupil, pupilChartText(chart),
        [chart](QPainter& p, const QRectF& area) { paintPupilChart(p, area, chart); });
}

namespace {

QString askWhere(QWidget* parent, const QString& title, const QString& name, const QString& filter)
{
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return QFileDialog::getSaveFileName(parent, title, QDir(folder).filePath(name), filter);
}

void tell(QWidget* parent, const QString& path, const QString& problem, const QString& what)
{
    if (problem.isEmpty())
        QMessageBox::information(parent, QStringLiteral("Registro della classe"),
                                 what + QStringLiteral(" è stato scritto in «") +
                                     QDir::toNativeSeparators(path) + QStringLiteral("»."));
    else
        QMessageBox::warning(parent, QStringLiteral("Registro della classe"), problem);
}

} // namespace

void ClassWindow::exportPdf()
{
    const ClassRecords& records = view_.records();
    const QString path = askWhere(
        this, QStringLiteral("Esporta PDF"),
        exportName(view_.period(), records.firstDay(), records.lastDay()) + QStringLiteral(".pdf"),
        QStringLiteral("PDF (*.pdf)"));
    if (!path.isEmpty())
        tell(this, path, writeClassPdf(path, view_, QDateTime::currentDateTime()),
             QStringLiteral("Il PDF"));
    activateWindow(); // the keyboard back, also where no window manager gives it
}

void ClassWindow::exportCsv()
{
    const ClassRecords& records = view_.records();
    const QString path = askWhere(
        this, QStringLiteral("Esporta CSV"),
        exportName(view_.period(), records.firstDay(), records.lastDay()) + QStringLiteral(".csv"),
        QStringLiteral("CSV (*.csv)"));
    if (!path.isEmpty())
        tell(this, path, writeClassCsv(path, view_.summary()), QStringLiteral("Il file CSV"));
    activateWindow();
}

} // namespace cifrelle::classwindow
