// SPDX-License-Identifier: GPL-3.0-or-later
// Whole games in the real window, driven as a player would: real key
// events in the answer box, real clicks, boxes answered as they open.
#include "gamesession.h"

#include "cifrelle/game/answerkey.h"
#include "cifrelle/records/account.h"
#include "cifrelle/ui/colour.h"

#include <QApplication>
#include <QFile>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

using cifrelle::ui::Control;
namespace colours = cifrelle::ui::colours;

// Answers every modal box as it opens: input boxes with the next queued
// text, message boxes with OK. Remembers what each box said.
class BoxAnswerer {
public:
    BoxAnswerer()
    {
        timer_.setInterval(5);
        QObject::connect(&timer_, &QTimer::timeout, [this] { answer(); });
        timer_.start();
    }

    std::vector<QString> names;
    std::vector<QString> seen; // "title|text" of every box answered

private:
    void answer()
    {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal)
            return;
        if (auto* input = qobject_cast<QInputDialog*>(modal)) {
            seen.push_back(input->windowTitle() + "|" + input->labelText());
            input->setTextValue(names.empty() ? QString() : names.front());
            if (!names.empty())
                names.erase(names.begin());
            input->accept();
        } else if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            seen.push_back(box->windowTitle() + "|" + box->text());
            box->accept();
        }
    }

    QTimer timer_;
};

class Player : public ::testing::Test {
protected:
    QTemporaryDir data;
    std::unique_ptr<cifrelle::app::GameSession> session;
    cifrelle::ui::Form1Window* window = nullptr;
    cifrelle::game::Form1* form = nullptr;
    cifrelle::records::RecordStore* files = nullptr;
    int ends = 0;

    // Builds a fresh window and game on the same record directory (with the
    // teacher's register kept when asked).
    void newGame(bool keepRegister = false)
    {
        session.reset();
        session = std::make_unique<cifrelle::app::GameSession>(
            cifrelle::records::RecordFolder{data.path().toStdString(), {}, {}, keepRegister});
        session->ui.setEndAction([this] { ++ends; });
        window = &session->window();
        form = &session->form;
        files = session->files.get();
    }

    // No clock in these games: its tick would find a clock never started
    // at zero and end the game, on a machine slow enough to let a second
    // pass before the first answer.
    void showWindow()
    {
        window->timer()->stop();
        window->show();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
        ASSERT_TRUE(QTest::qWaitFor([this] { return window->activationRaised(); }));
        QTest::qWait(10);
    }

    QLabel* label(Control c) { return static_cast<QLabel*>(window->control(c)); }
    QLineEdit* edit(Control c) { return static_cast<QLineEdit*>(window->control(c)); }
    QPushButton* button(Control c) { return static_cast<QPushButton*>(window->control(c)); }
    bool shown(Control c) { return window->control(c)->isVisible(); }

    // What the player sees: the number and the one level button left.
    int levelShown()
    {
        int level = 0;
        int count = 0;
        for (auto [c, l] : {std::pair{Control::Command1, 1}, std::pair{Control::Command2, 2},
                            std::pair{Control::Command3, 3}}) {
            if (shown(c)) {
                level = l;
                ++count;
            }
        }
        return count == 1 ? level : 0;
    }

    std::string rightAnswer()
    {
        return cifrelle::game::answerKey(edit(Control::Text2)->text().toStdString(), levelShown())
            .key;
    }

    void typeAnswer(const std::string& text)
    {
        QLineEdit* box = edit(Control::txtmio);
        box->clear();
        QTest::keyClicks(box, QString::fromStdString(text));
    }

    QColor textColour(Control c) { return label(c)->palette().color(QPalette::WindowText); }
};

QColor qcolour(cifrelle::ui::Colour c)
{
    const auto rgb = cifrelle::ui::toRgb(c);
    return QColor(rgb.red, rgb.green, rgb.blue);
}

TEST_F(Player, PlaysAHundredAndTwentyExercisesWithKeysAndClicks)
{
    newGame();
    showWindow();
    // The score boxes fit their "0" from the first show: the first right
    // and the first wrong answer move nothing.
    const QRect scoreBoxes[] = {label(Control::lblScore)->geometry(),
                                label(Control::lblScore1)->geometry()};
    int right = 0;
    int wrong = 0;
    for (int exercise = 0; exercise < 120; ++exercise) {
        ASSERT_NE(levelShown(), 0) << "exactly one level button must be visible";
        ASSERT_FALSE(shown(Control::cmdini));
        ASSERT_EQ(edit(Control::txtmio)->text(), "");
        const QString number = edit(Control::Text2)->text();
        const std::string key = rightAnswer();

        if (exercise % 3 == 1) {
            // A wrong answer first, with the decimal point instead of the comma.
            std::string almost = key;
            almost[almost.find(',')] = '.';
            typeAnswer(almost);
            QTest::mouseClick(button(Control::cmdverifica), Qt::LeftButton);
            ++wrong;
            EXPECT_EQ(label(Control::lblok)->text(), "Fai attenzione");
            EXPECT_EQ(textColour(Control::lblok), qcolour(colours::red));
            EXPECT_TRUE(shown(Control::Command5));
            EXPECT_FALSE(shown(Control::Command4));
            EXPECT_FALSE(shown(Control::lblok1));
            EXPECT_FALSE(shown(Control::lblok2));
            EXPECT_EQ(edit(Control::Text2)->text(), number) << "the exercise stays";
            EXPECT_EQ(edit(Control::txtmio)->text().toStdString(), almost);
            EXPECT_EQ(label(Control::lblScore1)->text().toInt(), wrong);
        }

        typeAnswer(key);
        if (exercise % 2 == 0)
            QTest::keyClick(edit(Control::txtmio), Qt::Key_Return);
        else
            QTest::keyClick(edit(Control::txtmio), Qt::Key_Enter, Qt::KeypadModifier);
        ++right;
        EXPECT_EQ(label(Control::lblok)->text(), "Sei veramente ok");
        EXPECT_EQ(label(Control::lblok1)->text(), "Sei veramente ok");
        EXPECT_EQ(label(Control::lblok2)->text(), "Sei veramente ok");
        EXPECT_EQ(textColour(Control::lblok), qcolour(colours::white));
        EXPECT_EQ(textColour(Control::lblok1), qcolour(colours::red));
        EXPECT_EQ(textColour(Control::lblok2), qcolour(colours::green));
        EXPECT_TRUE(shown(Control::Command4));
        EXPECT_FALSE(shown(Control::Command5));
        EXPECT_TRUE(shown(Control::lblok1));
        EXPECT_TRUE(shown(Control::lblok2));
        EXPECT_EQ(label(Control::lblScore)->text().toInt(), right);
        EXPECT_EQ(label(Control::lblScore1)->text().toInt(), wrong);
        QApplication::processEvents(); // the focus settles once the handler is over
        EXPECT_TRUE(edit(Control::txtmio)->hasFocus());
        if (exercise <= 1) {
            EXPECT_EQ(label(Control::lblScore)->geometry(), scoreBoxes[0]);
            EXPECT_EQ(label(Control::lblScore1)->geometry(), scoreBoxes[1]);
        }
    }
    EXPECT_EQ(form->esatte(), 120);
    EXPECT_EQ(form->sbagliate(), 40);
    EXPECT_EQ(ends, 0);
}

TEST_F(Player, OnlyEnterChecksTheAnswer)
{
    newGame();
    showWindow();
    typeAnswer(rightAnswer());
    for (Qt::Key k : {Qt::Key_Tab, Qt::Key_Space, Qt::Key_Escape, Qt::Key_Backspace})
        QTest::keyClick(edit(Control::txtmio), k);
    EXPECT_EQ(label(Control::lblScore)->text(), "0");
    EXPECT_EQ(label(Control::lblScore1)->text(), "0");
}

TEST_F(Player, FromTheNamePromptToASavedRecordAndBack)
{
    BoxAnswerer boxes;
    boxes.names = {"Nicolò"};
    newGame();
    form->Form_Load();
    showWindow();
    EXPECT_EQ(label(Control::lblnome1)->text(), "Nicolò");
    EXPECT_EQ(label(Control::lblconto)->text(), "00:15:00");
    for (int i = 0; i < 3; ++i) {
        typeAnswer(rightAnswer());
        QTest::keyClick(edit(Control::txtmio), Qt::Key_Return);
    }
    QTest::mouseClick(button(Control::cmdexit), Qt::LeftButton);
    EXPECT_EQ(ends, 1);
    ASSERT_EQ(boxes.seen.size(), 3u);
    EXPECT_EQ(boxes.seen[0], "Impariamo ad approssimare|Come ti chiami?");
    EXPECT_EQ(boxes.seen[1], "Impariamo ad approssimare| Nicolò vediamo se sei un vero campione  ");
    EXPECT_EQ(boxes.seen[2], "Cifrelle|Ok ho registrato il tuo record, C A M P I O N E");

    QFile score(QString::fromStdString(files->scorePath().string()));
    QFile name(QString::fromStdString(files->namePath().string()));
    ASSERT_TRUE(score.open(QIODevice::ReadOnly));
    ASSERT_TRUE(name.open(QIODevice::ReadOnly));
    EXPECT_EQ(score.readAll(), QByteArray("3\r\n"));
    EXPECT_EQ(name.readAll(), QByteArray("Nicol\xF2\r\n"));

    // The next start shows the record, line ends included.
    boxes.names = {"Bea"};
    newGame();
    form->Form_Load();
    EXPECT_EQ(label(Control::lblpunti)->text(), "3\r\n");
    EXPECT_EQ(label(Control::lblnome)->text(), "Nicolò\r\n");
    // A lower score ends silently and keeps the record.
    showWindow();
    const std::size_t before = boxes.seen.size();
    QTest::mouseClick(button(Control::cmdexit), Qt::LeftButton);
    EXPECT_EQ(ends, 2);
    EXPECT_EQ(boxes.seen.size(), before);
    score.close();
    ASSERT_TRUE(score.open(QIODevice::ReadOnly));
    EXPECT_EQ(score.readAll(), QByteArray("3\r\n"));
}

TEST_F(Player, TheClockRunsOutAndEndsTheGameOnce)
{
    BoxAnswerer boxes;
    boxes.names = {"Anna"};
    newGame();
    form->Form_Load();
    showWindow();
    typeAnswer(rightAnswer());
    QTest::keyClick(edit(Control::txtmio), Qt::Key_Return);
    // The window's timer ticks, fired at once one after the other: 900
    // ticks to zero, the next one ends the game, further ones do nothing.
    auto tick = [this] { QMetaObject::invokeMethod(window->timer(), "timeout"); };
    for (int i = 0; i < 900; ++i)
        tick();
    EXPECT_EQ(ends, 0);
    EXPECT_EQ(label(Control::lblconto)->text(), "00:00:00");
    EXPECT_EQ(textColour(Control::lblconto), qcolour(colours::red));
    tick();
    ASSERT_TRUE(QTest::qWaitFor([this] { return ends > 0; }, 5000));
    for (int i = 0; i < 5; ++i)
        tick();
    EXPECT_EQ(ends, 1);
    EXPECT_EQ(label(Control::lblconto)->text(), "00:00:00");
    EXPECT_EQ(boxes.seen.back(), "Cifrelle|Ok ho registrato il tuo record, C A M P I O N E");
}

// Closed from its title bar, the window ends the game without the game end
// (no record), but the register, when kept, has the game. The window stays
// until the program ends.
TEST_F(Player, TheWindowClosedSavesNoRecordAndOnlyTheRegisterHearsOfIt)
{
    BoxAnswerer boxes;
    for (const bool keepRegister : {false, true}) {
        boxes.names = {"Anna"};
        newGame(keepRegister);
        form->Form_Load();
        showWindow();
        typeAnswer(rightAnswer());
        QTest::keyClick(edit(Control::txtmio), Qt::Key_Return);
        ends = 0;
        window->close();
        ASSERT_TRUE(QTest::qWaitFor([this] { return ends > 0; }));
        EXPECT_EQ(ends, 1);
        EXPECT_TRUE(window->isVisible());
    }
    QFile score(QString::fromStdString(files->scorePath().string()));
    ASSERT_TRUE(score.open(QIODevice::ReadOnly));
    EXPECT_EQ(score.readAll(), QByteArray());
    QFile register_(QString::fromStdString(files->registerPath().string()));
    ASSERT_TRUE(register_.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = register_.readAll().split('\n');
    ASSERT_EQ(lines.size(), 3); // the heading, the game, nothing after the last line end
    EXPECT_TRUE(lines[1].contains(";Anna;1;0;")) << lines[1].toStdString();
    const std::string playedBy =
        cifrelle::records::thisAccount() + ";" + cifrelle::records::thisComputer() + "\r";
    EXPECT_TRUE(lines[1].endsWith(";finestra chiusa;no;0;0;0;0;0;0;0;" + playedBy))
        << lines[1].toStdString();
}

} // namespace
