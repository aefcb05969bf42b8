// SPDX-License-Identifier: GPL-3.0-or-later
// The toolkit operations on the real game window.
#include "cifrelle/ui/formdesign.h"
#include "cifrelle/ui/qt/form1window.h"
#include "cifrelle/ui/qt/qtaccessibility.h"
#include "cifrelle/ui/qt/qtui.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QDialogButtonBox>
#include <QEvent>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <vector>

namespace {

using cifrelle::ui::BoxStyle;
using cifrelle::ui::Control;
using cifrelle::ui::QtUi;

class QtUiTest : public ::testing::Test {
protected:
    cifrelle::ui::Form1Window window;
    QtUi ui{window};

    QLabel* label(Control c) { return qobject_cast<QLabel*>(window.control(c)); }
    QLineEdit* edit(Control c) { return qobject_cast<QLineEdit*>(window.control(c)); }

    void showActive()
    {
        window.show();
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    }
};

// Runs `inspect` on the modal box once it is open; the box must be closed by it.
void whileModal(std::function<void(QWidget*)> inspect)
{
    QTimer::singleShot(0, [inspect] {
        QWidget* box = QApplication::activeModalWidget();
        ASSERT_NE(box, nullptr);
        inspect(box);
    });
}

TEST_F(QtUiTest, TextOfTextBoxesReadsAndWritesTheBoxes)
{
    EXPECT_EQ(ui.text(Control::Text2), "32,486");
    EXPECT_EQ(ui.text(Control::Text1), "25,356");
    EXPECT_EQ(ui.text(Control::txtmio), "");

    ui.setText(Control::Text2, "71,5");
    ui.setText(Control::Text1, "71,50");
    ui.setText(Control::txtmio, "è <b>&amp;</b>");
    EXPECT_EQ(edit(Control::Text2)->text(), QString("71,5"));
    EXPECT_EQ(edit(Control::Text1)->text(), QString("71,50"));
    EXPECT_EQ(edit(Control::txtmio)->text(), QString::fromUtf8("è <b>&amp;</b>"));
    EXPECT_EQ(ui.text(Control::txtmio), "è <b>&amp;</b>");
}

TEST_F(QtUiTest, TextTypedByThePlayerIsRead)
{
    showActive();
    edit(Control::txtmio)->setFocus();
    QTest::keyClicks(edit(Control::txtmio), "4,7");
    EXPECT_EQ(ui.text(Control::txtmio), "4,7");
}

TEST_F(QtUiTest, LabelCaptionsAreShownAsPlainText)
{
    window.show();
    const std::string markup = "<b>&amp;</b> & Nicolò";
    ui.setCaption(Control::lblnome, markup);
    QLabel* l = label(Control::lblnome);
    EXPECT_EQ(l->textFormat(), Qt::PlainText);
    EXPECT_EQ(l->text(), QString::fromUtf8(markup));
    EXPECT_EQ(ui.caption(Control::lblnome), markup);
    // Shown as plain text, the tags take room as characters.
    QLabel plain(QString::fromUtf8(markup));
    plain.setTextFormat(Qt::PlainText);
    plain.setFont(l->font());
    QLabel rich(QString::fromUtf8(markup));
    rich.setTextFormat(Qt::RichText);
    rich.setFont(l->font());
    EXPECT_EQ(l->sizeHint(), plain.sizeHint());
    EXPECT_NE(l->sizeHint(), rich.sizeHint());
}

TEST_F(QtUiTest, InitialCaptionsAreTheDesignOnes)
{
    EXPECT_EQ(ui.caption(Control::tempo), "Tempo restante");
    EXPECT_EQ(ui.caption(Control::lblScore), "0");
    EXPECT_EQ(ui.caption(Control::lblpunti), ".");
    EXPECT_EQ(ui.caption(Control::lblok), "");
    EXPECT_EQ(ui.caption(Control::cmdini), "Inizio");
    EXPECT_EQ(ui.caption(Control::Frame2), "Numero decimale da approssimare");
}

TEST_F(QtUiTest, ButtonCaptionsShowAmpersandsLiterally)
{
    ui.setCaption(Control::cmdini, "Tom & Jerry");
    auto* button = qobject_cast<QAbstractButton*>(window.control(Control::cmdini));
    EXPECT_EQ(button->text(), QString("Tom && Jerry"));
    EXPECT_TRUE(button->shortcut().isEmpty());
    EXPECT_EQ(ui.caption(Control::cmdini), "Tom & Jerry");
}

TEST_F(QtUiTest, SelfSizingLabelsFitTheirCaptionKeepingLeftAndTop)
{
    QWidget* name = window.control(Control::lblnome1);
    const QPoint place = name->pos();
    const int designWidth =
        cifrelle::ui::twipsToPixels(cifrelle::ui::designOf(Control::lblnome1).width);

    ui.setCaption(Control::lblnome1, "Massimiliano Bartolomeo Giovanni");
    EXPECT_EQ(name->pos(), place);
    EXPECT_GT(name->width(), 5 * designWidth);
    EXPECT_GE(name->width(), name->sizeHint().width());
    const int wide = name->width();

    ui.setCaption(Control::lblnome1, "Al");
    EXPECT_EQ(name->pos(), place);
    EXPECT_LT(name->width(), wide / 4);
    EXPECT_EQ(name->size(), name->sizeHint());

    // A label of fixed size keeps its place and size.
    QWidget* feedback = window.control(Control::lblok);
    const QRect before = feedback->geometry();
    ui.setCaption(Control::lblok, "Sei veramente ok");
    EXPECT_EQ(feedback->geometry(), before);
}

TEST_F(QtUiTest, ScreenReadersReadTheNewCaption)
{
    // A value is read with the caption that says what it is; the repeats
    // of the message are passed over.
    for (auto [c, heard] : {std::pair{Control::lblok, "Fai attenzione 12"},
                            std::pair{Control::lblScore1, "Risposte errate Fai attenzione 12"},
                            std::pair{Control::lblconto, "Tempo restante Fai attenzione 12"},
                            std::pair{Control::lblok1, ""}}) {
        ui.setCaption(c, "Fai attenzione 12");
        QAccessibleInterface* face = QAccessible::queryAccessibleInterface(window.control(c));
        ASSERT_NE(face, nullptr);
        EXPECT_EQ(face->text(QAccessible::Name), QString(heard));
        EXPECT_TRUE(window.control(c)->accessibleName().isEmpty());
    }
}

TEST_F(QtUiTest, ForeColorIsTheBlueGreenRedColour)
{
    ui.setForeColor(Control::lblok, 255);
    EXPECT_EQ(label(Control::lblok)->palette().color(QPalette::WindowText), QColor(255, 0, 0));
    ui.setForeColor(Control::lblok, 16777215);
    EXPECT_EQ(label(Control::lblok)->palette().color(QPalette::WindowText), QColor(255, 255, 255));
    ui.setForeColor(Control::lblconto, 65535);
    EXPECT_EQ(label(Control::lblconto)->palette().color(QPalette::WindowText), QColor(255, 255, 0));
    ui.setForeColor(Control::lblconto, 16711680);
    EXPECT_EQ(label(Control::lblconto)->palette().color(QPalette::WindowText), QColor(0, 0, 255));
    ui.setForeColor(Control::lblok2, 65280);
    EXPECT_EQ(label(Control::lblok2)->palette().color(QPalette::WindowText), QColor(0, 255, 0));
}

TEST_F(QtUiTest, ForeColorChangesWhatIsDrawn)
{
    ui.setCaption(Control::lblok, "MMMMMMMM");
    ui.setForeColor(Control::lblok, 255);
    const QImage image = window.control(Control::lblok)->grab().toImage();
    int red = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c.red() > 200 && c.green() < 60 && c.blue() < 60)
                ++red;
        }
    }
    EXPECT_GT(red, 100);
}

TEST_F(QtUiTest, VisibilityShowsAndHidesControls)
{
    ui.setVisible(Control::Command4, false);
    ui.setVisible(Control::lblok1, false);
    EXPECT_TRUE(window.control(Control::Command4)->isHidden());
    EXPECT_TRUE(window.control(Control::lblok1)->isHidden());
    window.show();
    EXPECT_FALSE(window.control(Control::Command4)->isVisible());
    ui.setVisible(Control::Command4, true);
    EXPECT_TRUE(window.control(Control::Command4)->isVisible());
    EXPECT_FALSE(window.control(Control::lblok1)->isVisible());
}

TEST_F(QtUiTest, SetFocusMovesTheKeyboardFocusOnceWhenTheHandlerIsOver)
{
    showActive();
    // Away and back within one handler, as the set-up of an exercise does:
    // the control that had the focus keeps it, unaware.
    ui.setFocus(Control::txtmio);
    ui.settle();
    int moves = 0;
    QObject watching;
    QObject::connect(qApp, &QApplication::focusChanged, &watching, [&moves] { ++moves; });
    ui.setFocus(Control::cmdini);
    ui.setFocus(Control::txtmio);
    QApplication::processEvents();
    EXPECT_EQ(moves, 0);
    ui.setFocus(Control::cmdini);
    EXPECT_EQ(QApplication::focusWidget(), window.control(Control::txtmio));
    QApplication::processEvents();
    EXPECT_EQ(QApplication::focusWidget(), window.control(Control::cmdini));
    // The keys now go to the focused control.
    ui.setFocus(Control::txtmio);
    ui.settle();
    QTest::keyClicks(QApplication::focusWidget(), "12");
    EXPECT_EQ(ui.text(Control::txtmio), "12");
}

TEST_F(QtUiTest, WhatTheBoxTheFocusComesIntoReadsIsNotAnnouncedTwice)
{
    showActive();
    cifrelle::ui::setDescriptionSource(window.control(Control::txtmio),
                                       [] { return QStringLiteral("Esercizio. Tempo restante"); });
    for (auto [from, said, heard] : {std::tuple{Control::cmdini, "Esercizio", false},
                                     std::tuple{Control::txtmio, "Esercizio", true},
                                     std::tuple{Control::cmdini, "Fai attenzione", true}}) {
        ui.setFocus(from);
        ui.announce("-");
        ui.settle();
        ui.setFocus(Control::txtmio);
        ui.announce(said);
        QApplication::processEvents();
        auto* announcer = window.findChild<QWidget*>(QStringLiteral("announcer"));
        EXPECT_EQ(QAccessible::queryAccessibleInterface(announcer)->text(QAccessible::Name),
                  QString(heard ? said : "-"));
    }
}

TEST_F(QtUiTest, TimerIsSwitchedOnAndOff)
{
    QTimer* timer = window.findChild<QTimer*>("Timer1");
    ASSERT_NE(timer, nullptr);
    EXPECT_TRUE(timer->isActive());
    ui.setTimerEnabled(false);
    EXPECT_FALSE(timer->isActive());
    ui.setTimerEnabled(true);
    EXPECT_TRUE(timer->isActive());
    EXPECT_EQ(timer->interval(), 1000);
    ui.setTimerEnabled(true);
    EXPECT_TRUE(timer->isActive());
}

TEST_F(QtUiTest, ANoticeIsShownAtOnceOverTheWindowWithoutABox)
{
    showActive();
    ui.showNotice("Sto salvando il record, attendi un momento.");
    auto* notice = window.findChild<QWidget*>(QStringLiteral("notice"));
    ASSERT_NE(notice, nullptr);
    EXPECT_TRUE(notice->isVisible());
    auto* text = notice->findChild<QLabel*>();
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->text(), QStringLiteral("Sto salvando il record, attendi un momento."));
    EXPECT_TRUE(window.rect().contains(notice->geometry()));
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);

    // The screen reader is told once (when the game next lets the window
    // answer), not at every second of the wait.
    ui.doEvents();
    auto* announcer = window.findChild<QWidget*>(QStringLiteral("announcer"));
    ASSERT_NE(announcer, nullptr);
    EXPECT_EQ(QAccessible::queryAccessibleInterface(announcer)->text(QAccessible::Name),
              QStringLiteral("Sto salvando il record, attendi un momento."));
    struct ShowCounter : QObject {
        int shows = 0;
        bool eventFilter(QObject*, QEvent* event) override
        {
            shows += event->type() == QEvent::Show;
            return false;
        }
    } counter;
    announcer->installEventFilter(&counter);
    ui.showNotice("Sto salvando il record, attendi un momento.");
    ui.doEvents();
    EXPECT_EQ(counter.shows, 0);

    // When the wait ends it goes, from the screen and from the screen reader.
    ui.hideNotice();
    EXPECT_EQ(window.findChild<QWidget*>(QStringLiteral("notice")), nullptr);
    EXPECT_FALSE(announcer->isVisible());

    // A wait that ends before the window answered once leaves nothing to
    // be said later.
    ui.showNotice("Sto salvando il record, attendi un momento.");
    ui.hideNotice();
    ui.doEvents();
    EXPECT_EQ(counter.shows, 0);
}

// The way out of a wait: a button on the notice, with the keyboard focus,
// read with the notice; taken by a click, Enter, Space or the screen
// reader's press, or by closing the window while the game waits. A close at
// any other time is the window's own.
TEST_F(QtUiTest, TheWayOutIsAButtonOnTheNoticeOrTheWindowsClose)
{
    const QString noticeText = QStringLiteral("Sto salvando il record, attendi un momento.");
    const std::pair<const char*, std::function<void(QPushButton*)>> ways[] = {
        {"click", [](QPushButton* b) { QTest::mouseClick(b, Qt::LeftButton); }},
        {"Enter", [](QPushButton* b) { QTest::keyClick(b, Qt::Key_Return); }},
        {"Space", [](QPushButton* b) { QTest::keyClick(b, Qt::Key_Space); }},
        {"screen reader",
         [](QPushButton* b) {
             QAccessibleInterface* face = QAccessible::queryAccessibleInterface(b);
             face->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
         }},
        {"close", [this](QPushButton*) { window.close(); }},
    };
    showActive();
    for (const auto& [way, take] : ways) {
        SCOPED_TRACE(way);
        QtUi fresh{window};
        fresh.showNotice(noticeText.toStdString());
        fresh.doEvents();
        EXPECT_FALSE(fresh.wayOutTaken());
        fresh.offerWayOut("Esci senza salvare");
        auto* notice = window.findChild<QWidget*>(QStringLiteral("notice"));
        auto* button = notice->findChild<QPushButton*>();
        ASSERT_NE(button, nullptr);
        EXPECT_EQ(button->text(), QStringLiteral("Esci senza salvare"));
        EXPECT_TRUE(button->isVisible());
        EXPECT_TRUE(button->hasFocus());
        EXPECT_TRUE(window.rect().contains(notice->geometry()));
        EXPECT_TRUE(notice->rect().contains(button->geometry()));
        // Nothing on it squeezed: the notice grew to hold the button.
        auto* text = notice->findChild<QLabel*>();
        EXPECT_GE(text->height(), text->sizeHint().height());
        EXPECT_GE(button->height(), button->sizeHint().height());
        EXPECT_GE(button->width(), button->sizeHint().width());
        EXPECT_EQ(QAccessible::queryAccessibleInterface(button)->text(QAccessible::Description),
                  noticeText);
        // What the player does reaches the window only when the game lets
        // it (doEvents).
        QTimer::singleShot(0, button, [button, take = take] { take(button); });
        for (int i = 0; i < 20 && !fresh.wayOutTaken(); ++i) {
            fresh.doEvents();
            QTest::qWait(10);
        }
        EXPECT_TRUE(fresh.wayOutTaken());
        EXPECT_TRUE(window.isVisible()); // the game ends it, after its box
        fresh.hideNotice();
        EXPECT_EQ(window.findChild<QWidget*>(QStringLiteral("notice")), nullptr);
    }
    // Outside a wait the window closes as ever.
    window.close();
    EXPECT_FALSE(window.isVisible());
    EXPECT_FALSE(ui.wayOutTaken());
}

TEST_F(QtUiTest, MessageBoxWithoutTitleShowsTheApplicationTitle)
{
    showActive(); // a box stands over the window once the window is shown
    bool seen = false;
    whileModal([&](QWidget* w) {
        auto* box = qobject_cast<QMessageBox*>(w);
        ASSERT_NE(box, nullptr);
        seen = true;
        EXPECT_EQ(box->windowTitle(), QString("Cifrelle"));
        EXPECT_EQ(box->text(), QString::fromUtf8("Il record è di <b>Anna</b> & co"));
        EXPECT_EQ(box->textFormat(), Qt::PlainText);
        EXPECT_EQ(box->icon(), QMessageBox::Information);
        EXPECT_EQ(box->standardButtons(), QMessageBox::StandardButtons(QMessageBox::Ok));
        EXPECT_EQ(box->parentWidget(), &window);
        EXPECT_TRUE(box->isModal());
        box->button(QMessageBox::Ok)->click();
    });
    // As the game calls it: through the interface, with no title.
    cifrelle::ui::Ui& game = ui;
    game.messageBox("Il record è di <b>Anna</b> & co", BoxStyle::Information);
    EXPECT_TRUE(seen);
}

TEST_F(QtUiTest, MessageBoxStylesAndTitles)
{
    struct Case {
        BoxStyle style;
        std::optional<std::string> title;
        QMessageBox::Icon icon;
        QString shownTitle;
    };
    for (const Case& c :
         {Case{BoxStyle::Plain, "Impariamo ad approssimare", QMessageBox::NoIcon,
               "Impariamo ad approssimare"},
          Case{BoxStyle::Warning, std::nullopt, QMessageBox::Warning, "Cifrelle"},
          Case{BoxStyle::Information, "Cifrelle", QMessageBox::Information, "Cifrelle"}}) {
        int boxes = 0;
        whileModal([&](QWidget* w) {
            auto* box = qobject_cast<QMessageBox*>(w);
            ASSERT_NE(box, nullptr);
            ++boxes;
            EXPECT_EQ(box->icon(), c.icon);
            EXPECT_EQ(box->windowTitle(), c.shownTitle);
            box->button(QMessageBox::Ok)->click();
        });
        ui.messageBox("Ciao", c.style, c.title);
        EXPECT_EQ(boxes, 1);
    }
}

TEST_F(QtUiTest, ABoxAnsweredStaysUpUntilTheNextIsUpOrTheWindowIsBack)
{
    // Between boxes in a row the window never comes back (a screen reader
    // would read it, and lose the next box's text).
    showActive();
    QPointer<QMessageBox> before;
    for (int box = 0; box < 3; ++box) {
        whileModal([&before, box](QWidget* w) {
            EXPECT_EQ(!before.isNull() && before->isVisible(), box > 0);
            before = qobject_cast<QMessageBox*>(w);
            before->button(QMessageBox::Ok)->click();
        });
        ui.messageBox("Help", BoxStyle::Information, std::nullopt);
    }
    EXPECT_TRUE(QTest::qWaitFor([&before] { return before.isNull(); }));
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_TRUE(QTest::qWaitFor([this] { return window.isActiveWindow(); }));
}

TEST_F(QtUiTest, AVeryLongMessageIsShownWholeInABoxThatFitsTheScreen)
{
    // A record holder read from a file of pages of text: every character is
    // shown, and the box with its OK button stays on the screen.
    std::string holder;
    for (int i = 0; i < 3000; ++i)
        holder += "<b>Tom &amp; Jerry</b>\r\n";
    const std::string prompt = "Il record attualmente è di " + holder + " con punti 7";
    ASSERT_TRUE(QtUi::isTooLongForABox(QString::fromStdString(prompt)));
    ASSERT_FALSE(QtUi::isTooLongForABox(QString(300, QLatin1Char('x'))));

    bool seen = false;
    whileModal([&](QWidget* w) {
        seen = true;
        EXPECT_EQ(w->windowTitle(), QString("Cifrelle"));
        EXPECT_TRUE(w->isModal());
        auto* text = w->findChild<QPlainTextEdit*>();
        ASSERT_NE(text, nullptr);
        EXPECT_EQ(text->toPlainText(), QString::fromStdString(prompt).replace("\r\n", "\n"));
        EXPECT_TRUE(text->isReadOnly());
        const QRect screen = w->screen()->availableGeometry();
        EXPECT_LE(w->height(), screen.height());
        EXPECT_LE(w->width(), screen.width());
        auto* buttons = w->findChild<QDialogButtonBox*>();
        ASSERT_NE(buttons, nullptr);
        QPushButton* ok = buttons->button(QDialogButtonBox::Ok);
        ASSERT_NE(ok, nullptr);
        EXPECT_TRUE(ok->isVisible());
        EXPECT_TRUE(w->rect().contains(QRect(ok->mapTo(w, QPoint(0, 0)), ok->size())));
        ok->click();
    });
    cifrelle::ui::Ui& game = ui;
    game.messageBox(prompt, BoxStyle::Information);
    EXPECT_TRUE(seen);
}

TEST_F(QtUiTest, InputBoxReturnsWhatWasTyped)
{
    whileModal([&](QWidget* w) {
        auto* box = qobject_cast<QInputDialog*>(w);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->windowTitle(), QString("Impariamo ad approssimare"));
        EXPECT_EQ(box->labelText(), QString("Come ti chiami?"));
        // Asked at start-up, before the window is shown: the box stands
        // alone, and the window gets no native window for it.
        EXPECT_EQ(box->parentWidget(), nullptr);
        EXPECT_EQ(window.windowHandle(), nullptr);
        auto* field = box->findChild<QLineEdit*>();
        ASSERT_NE(field, nullptr);
        QTest::keyClicks(field, "Anna <i>B</i>");
        QTest::keyClick(field, Qt::Key_Return);
    });
    EXPECT_EQ(ui.inputBox("Come ti chiami?", "Impariamo ad approssimare"), "Anna <i>B</i>");
}

TEST_F(QtUiTest, InputBoxCancelledGivesTheEmptyText)
{
    whileModal([&](QWidget* w) {
        auto* box = qobject_cast<QInputDialog*>(w);
        ASSERT_NE(box, nullptr);
        box->setTextValue("Anna");
        box->reject();
    });
    EXPECT_EQ(ui.inputBox("Come ti chiami?", "Impariamo ad approssimare"), "");
}

TEST_F(QtUiTest, InputBoxPromptIsPlainText)
{
    whileModal([&](QWidget* w) {
        auto* box = qobject_cast<QInputDialog*>(w);
        ASSERT_NE(box, nullptr);
        bool found = false;
        for (QLabel* l : box->findChildren<QLabel*>()) {
            if (l->text().contains("Tom")) {
                found = true;
                EXPECT_EQ(l->textFormat(), Qt::PlainText);
                // A buddy label would read a single '&' as a mnemonic.
                if (l->buddy())
                    EXPECT_EQ(l->text(), QString("<b>Tom && Jerry</b>"));
                else
                    EXPECT_EQ(l->text(), QString("<b>Tom & Jerry</b>"));
            }
        }
        EXPECT_TRUE(found);
        box->reject();
    });
    ui.inputBox("<b>Tom & Jerry</b>", "Titolo");
}

TEST_F(QtUiTest, EndRunsTheEndAction)
{
    int ended = 0;
    ui.setEndAction([&] { ++ended; });
    ui.end();
    EXPECT_EQ(ended, 1);
}

TEST_F(QtUiTest, EndTerminatesAtOnceWithStatusZero)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            // Buffered output written before the end still reaches the
            // terminal; nothing after the end runs.
            static char buffer[256];
            std::setvbuf(stderr, buffer, _IOFBF, sizeof buffer);
            std::fputs("before-the-end", stderr);
            ui.end();
            std::fputs("after-the-end", stderr);
            std::fflush(stderr);
            std::exit(3);
        },
        ::testing::ExitedWithCode(0),
        ::testing::AllOf(::testing::HasSubstr("before-the-end"),
                         ::testing::Not(::testing::HasSubstr("after-the-end"))));
}

} // namespace
