// SPDX-License-Identifier: GPL-3.0-or-later
#include "cifrelle/classwindow/charts.h"
#include "cifrelle/classwindow/classwindow.h"
#include "cifrelle/classwindow/colours.h"
#include "cifrelle/classwindow/exports.h"

#include "cifrelle/classsummary/csvexport.h"
#include "cifrelle/testsupport/files.h"

#include <QComboBox>
#include <QFile>
#include <QTableView>

#include <gtest/gtest.h>

namespace cifrelle::classwindow {
namespace {

using namespace classsummary;

// Every text and bar against what it is drawn on, as WCAG 2 computes it.
TEST(Colours, EveryTextAndBarPassesFourAndAHalfToOne)
{
    EXPECT_NEAR(contrast(QColor(0, 0, 0), QColor(255, 255, 255)), 21.0, 1e-9);
    EXPECT_NEAR(contrast(QColor(0x77, 0x77, 0x77), QColor(255, 255, 255)), 4.48, 0.01);
    const struct {
        const char* what;
        QColor front, back;
    } pairs[] = {
        {"ink on paper", ink, paper},
        {"tenths' bar", levelColour(0), paper},
        {"hundredths' bar", levelColour(1), paper},
        {"thousandths' bar", levelColour(2), paper},
        {"mistakes' bar", mistakeColour, paper},
        {"pochi dati", ink, judgementColour(Judgement::FewData)},
        {"sicuro", ink, judgementColour(Judgement::Sure)},
        {"quasi", ink, judgementColour(Judgement::Almost)},
        {"da rivedere", ink, judgementColour(Judgement::Review)},
    };
    for (const auto& pair : pairs) // a bar's number is paper on the bar
        EXPECT_GE(contrast(pair.front, pair.back), 4.5) << pair.what;
}

const std::string heading =
    "data;ora;nome;esatte;errate;decimi esatte;decimi errate;centesimi esatte;centesimi errate;"
    "millesimi esatte;millesimi errate;durata;fine;nuovo record;errori punto;errori decimali;"
    "errori non arrotondato;errori per difetto;errori per eccesso;errori livello;errori altro;"
    "utente;computer\r\n";

struct Class {
    testsupport::TempDir tmp;
    ClassRecords records;
    Class()
    {
        testsupport::writeBytes(
            tmp / "registro.csv",
            heading + "2026-12-07;10:00:00;Marco;0;0;9;1;7;3;6;4;00:15:00;tempo scaduto;no;"
                      "0;0;0;7;1;1;0;marco;aula-3\r\n"
                      "2026-12-14;11:30:00;marco ;0;0;1;0;0;0;0;0;00:02:00;Esci;no;0;0;0;0;0;0;0;"
                      "marco;aula-3\r\n"
                      "2026-12-14;11:31:00;Anna;0;0;2;0;0;0;0;0;00:01:00;Esci;no\r\n");
        records.read(tmp / "registro.csv");
    }
};

TEST(ClassWindow, TheGridTheTitleAndThePicturesFollowThePeriod)
{
    Class c;
    ClassView view(c.records, dayNumber({2026, 12, 16}));
    ClassWindow window(view, {});
    ClassTableModel* model = static_cast<ClassTableModel*>(window.grid()->model());
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Registro della classe — Tutte le partite"));
    ASSERT_EQ(model->rowCount(), 2);
    const QStringList headings = ClassTableModel::columnHeadings();
    ASSERT_EQ(model->columnCount(), headings.size());
    EXPECT_EQ(model->headerData(7, Qt::Horizontal, Qt::AccessibleTextRole),
              QStringLiteral("Decimi giudizio"));
    QStringList marco;
    for (int column = 0; column < model->columnCount(); ++column)
        marco << model->index(1, column).data().toString();
    EXPECT_EQ(marco, (QStringList{"marco", "2", "00:17:00", "14/12/2026 11:30", "10", "1", "90,9 %",
                                  "sicuro", "7", "3", "70 %", "quasi", "6", "4", "60 %",
                                  "da rivedere", "sì", "per difetto 7 su 9"}));
    EXPECT_EQ(model->index(1, 15).data(Qt::BackgroundRole).value<QColor>(),
              judgementColour(Judgement::Review));
    EXPECT_TRUE(window.grid()->currentIndex().isValid());

    // This week: Monday 14 to Sunday 20; the current cell stays on a row.
    window.chooseRow(1);
    window.choosePeriod(static_cast<int>(PeriodKind::ThisWeek));
    EXPECT_EQ(window.windowTitle(),
              QStringLiteral("Registro della classe — Questa settimana, dal 14/12/2026 al "
                             "20/12/2026"));
    EXPECT_EQ(model->index(1, 1).data().toString(), QStringLiteral("1"));
    EXPECT_EQ(model->index(1, 7).data().toString(), QStringLiteral("pochi dati"));
    EXPECT_EQ(window.grid()->currentIndex().row(), 1);
    EXPECT_EQ(window.findChild<QComboBox*>(QStringLiteral("periodo"))->currentText(),
              QStringLiteral("Questa settimana"));
    const auto* pupil = window.findChild<ChartWidget*>(QStringLiteral("graficoAlunno"));
    EXPECT_EQ(pupil->text(), QStringLiteral("marco, risposte esatte per livello settimana per "
                                            "settimana: settimana dal 14/12/2026: decimi 100 %, "
                                            "centesimi nessuna risposta, millesimi nessuna "
                                            "risposta."));
    const auto* klass = window.findChild<ChartWidget*>(QStringLiteral("graficoClasse"));
    EXPECT_EQ(klass->text(), QStringLiteral("Risposte esatte della classe per livello: decimi "
                                            "100 % (3 su 3); centesimi nessuna risposta; "
                                            "millesimi nessuna risposta."));

    window.putHelpFirst(true);
    window.choosePeriod(static_cast<int>(PeriodKind::All));
    EXPECT_EQ(model->index(0, 0).data().toString(), QStringLiteral("marco"));
    EXPECT_EQ(window.grid()->currentIndex().row(), 0); // still Marco
}

TEST(Exports, ThePdfAndTheCsv)
{
    Class c;
    ClassView view(c.records, dayNumber({2026, 12, 16}));
    const QString pdf = QString::fromStdString((c.tmp / "classe.pdf").string());
    ASSERT_EQ(writeClassPdf(pdf, view, QDateTime(QDate(2026, 12, 16), QTime(9, 5))), QString());
    QFile file(pdf);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    EXPECT_TRUE(bytes.startsWith("%PDF-"));
    EXPECT_EQ(bytes.count("/Type /Page\n"), 3); // the class, Anna, Marco

    const QString csv = QString::fromStdString((c.tmp / "classe.csv").string());
    ASSERT_EQ(writeClassCsv(csv, view.summary()), QString());
    EXPECT_EQ(testsupport::readBytes(c.tmp / "classe.csv"), classCsv(view.summary()));

    const QString nowhere = QString::fromStdString((c.tmp / "no" / "x.csv").string());
    EXPECT_TRUE(writeClassCsv(nowhere, view.summary())
                    .startsWith(QStringLiteral("Non riesco a scrivere il file CSV «")));
    EXPECT_EQ(exportName(view.period(), c.records.firstDay(), c.records.lastDay()),
              QStringLiteral("registro-classe-2026-12-07-2026-12-14"));
}

} // namespace
} // namespace cifrelle::classwindow
