// SPDX-License-Identifier: GPL-3.0-or-later
// The game window against its design: controls, looks, menu bar, timer,
// keyboard and the events it sends to the game.
#include "cifrelle/ui/form1events.h"
#include "cifrelle/ui/formdesign.h"
#include "cifrelle/ui/qt/form1window.h"
#include "designpixels.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QFontDatabase>
#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace {

using cifrelle::ui::Form1Window;
using cifrelle::ui::Control;
using cifrelle::ui::ControlDesign;
using cifrelle::ui::Kind;

QString q(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// Stands where the game's Form1 stands and remembers every event the window
// raises, in order.
class RecordingHandlers : public cifrelle::ui::Form1Events {
public:
    std::vector<std::string> events;
    std::vector<int> keys;
    // A key code to cancel, as a KeyPress handler may do by setting it to 0.
    int cancel = -1;

    int count(const std::string& name) const
    {
        return static_cast<int>(std::count(events.begin(), events.end(), name));
    }

    void Form_Activate() override { events.push_back("Form_Activate"); }
    void cmdini_Click() override { events.push_back("cmdini_Click"); }
    void cmdcasual_Click() override { events.push_back("cmdcasual_Click"); }
    void Command1_Click() override { events.push_back("Command1_Click"); }
    void Command2_Click() override { events.push_back("Command2_Click"); }
    void Command3_Click() override { events.push_back("Command3_Click"); }
    void cmdverifica_Click() override { events.push_back("cmdverifica_Click"); }
    void txtmio_KeyPress(std::int16_t& KeyAscii) override
    {
        events.push_back("txtmio_KeyPress");
        keys.push_back(KeyAscii);
        if (KeyAscii == cancel)
            KeyAscii = 0;
    }
    void Timer1_Timer() override { events.push_back("Timer1_Timer"); }
    void cmdexit_Click() override { events.push_back("cmdexit_Click"); }
    void Form_Unload(cifrelle::ui::UnloadMode mode) override
    {
        events.push_back(mode == cifrelle::ui::UnloadMode::WindowClosed ? "Form_Unload"
                                                                        : "Form_Unload session");
    }
    void help_Click() override { events.push_back("help_Click"); }
    void record_Click() override { events.push_back("record_Click"); }
};

// Contrast ratio of two colours, from their relative luminances (1 to 21).
double contrast(QColor a, QColor b)
{
    auto luminance = [](QColor c) {
        auto linear = [](double v) {
            return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * linear(c.redF()) + 0.7152 * linear(c.greenF()) + 0.0722 * linear(c.blueF());
    };
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

class WindowTest : public ::testing::Test {
protected:
    Form1Window window;
    RecordingHandlers handlers;

    void SetUp() override { window.setHandlers(&handlers); }

    QWidget* w(Control c) { return window.control(c); }
    QLineEdit* edit(Control c) { return qobject_cast<QLineEdit*>(w(c)); }

    void showActive()
    {
        window.show();
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
        QApplication::processEvents();
    }

    // A left click where the player would click: at a point of the client
    // area, hitting whatever lies on top there.
    void clickAt(QPoint clientPoint)
    {
        const QPoint inWindow = window.clientArea()->mapTo(&window, clientPoint);
        QTest::mouseClick(window.windowHandle(), Qt::LeftButton, Qt::NoModifier, inWindow);
        QApplication::processEvents();
    }
};

using cifrelle::ui::testing::pixels;

QRect designRect(const ControlDesign& d)
{
    return QRect(pixels(d.left), pixels(d.top), pixels(d.width), pixels(d.height));
}

// --- the window -----------------------------------------------------------

TEST_F(WindowTest, WindowHasTheDesignCaptionNameIconAndClientArea)
{
    EXPECT_EQ(window.objectName(), QString("Form1"));
    EXPECT_EQ(window.windowTitle(), QString("Gioca con le Cifrelle"));
    EXPECT_FALSE(window.windowIcon().isNull());
    EXPECT_EQ(window.windowIcon().pixmap(32, 32).size(), QSize(32, 32));
    EXPECT_EQ(window.centralWidget(), window.clientArea());
    window.show();
    QApplication::processEvents();
    EXPECT_EQ(window.clientArea()->size(), QSize(623, 573));
    // The client area lies below the menu bar and the window does not resize.
    EXPECT_GE(window.clientArea()->y(), window.menuBar()->geometry().bottom());
    EXPECT_EQ(window.minimumSize(), window.maximumSize());
    EXPECT_EQ(window.size(), window.minimumSize());
}

TEST_F(WindowTest, ClientAreaIsDarkBlue)
{
    window.show();
    QApplication::processEvents();
    EXPECT_EQ(window.clientArea()->palette().color(QPalette::Window), QColor(0, 0, 64));
    // A spot with no control on it.
    const QImage image = window.clientArea()->grab().toImage();
    EXPECT_EQ(image.pixelColor(600, 380), QColor(0, 0, 64));
    EXPECT_EQ(image.pixelColor(5, 520), QColor(0, 0, 64));
}

// --- every control against its design -------------------------------------

TEST_F(WindowTest, EveryControlHasItsNameKindAndText)
{
    window.show(); // the controls are made by then
    for (const ControlDesign& d : cifrelle::ui::formDesign()) {
        SCOPED_TRACE(std::string(cifrelle::ui::controlName(d.control)));
        auto* found = window.findChild<QWidget*>(q(cifrelle::ui::controlName(d.control)));
        ASSERT_NE(found, nullptr);
        EXPECT_EQ(found, w(d.control));
        EXPECT_EQ(found->parentWidget(), window.clientArea());
        switch (d.kind) {
        case Kind::Label: {
            auto* label = qobject_cast<QLabel*>(found);
            ASSERT_NE(label, nullptr);
            EXPECT_EQ(label->text(), q(d.caption));
            EXPECT_EQ(label->textFormat(), Qt::PlainText);
            break;
        }
        case Kind::TextBox: {
            auto* box = qobject_cast<QLineEdit*>(found);
            ASSERT_NE(box, nullptr);
            EXPECT_EQ(box->text(), q(d.caption));
            break;
        }
        case Kind::Button: {
            auto* button = qobject_cast<QPushButton*>(found);
            ASSERT_NE(button, nullptr);
            EXPECT_EQ(button->text(), q(d.caption));
            break;
        }
        case Kind::Frame: {
            auto* frame = qobject_cast<QGroupBox*>(found);
            ASSERT_NE(frame, nullptr);
            EXPECT_EQ(frame->title(), q(d.caption));
            break;
        }
        }
    }
}

TEST_F(WindowTest, EveryControlStandsInItsPlace)
{
    window.show();
    for (const ControlDesign& d : cifrelle::ui::formDesign()) {
        SCOPED_TRACE(std::string(cifrelle::ui::controlName(d.control)));
        if (d.sizesItself) {
            // Fits its caption once shown, keeping its left and top.
            EXPECT_EQ(w(d.control)->pos(), designRect(d).topLeft());
            EXPECT_EQ(w(d.control)->size(), w(d.control)->sizeHint());
        } else {
            EXPECT_EQ(w(d.control)->geometry(), designRect(d));
        }
    }
    // A few by hand, in pixels.
    EXPECT_EQ(w(Control::lblconto)->geometry(), QRect(10, 42, 121, 33));
    EXPECT_EQ(w(Control::txtmio)->geometry(), QRect(192, 336, 257, 49));
    EXPECT_EQ(w(Control::cmdcasual)->geometry(), QRect(192, 72, 25, 24));
    EXPECT_EQ(w(Control::lblpunti)->geometry(), QRect(538, 530, 73, 25));
}

TEST_F(WindowTest, VisibilityAndEnabledStateAreTheDesignOnes)
{
    window.show();
    QApplication::processEvents();
    for (const ControlDesign& d : cifrelle::ui::formDesign()) {
        SCOPED_TRACE(std::string(cifrelle::ui::controlName(d.control)));
        EXPECT_EQ(w(d.control)->isVisible(), d.visible);
        EXPECT_EQ(w(d.control)->isEnabled(), d.enabled);
    }
    EXPECT_FALSE(w(Control::Frame1)->isVisible());
    EXPECT_FALSE(w(Control::Text1)->isVisible());
    for (Control c : {Control::lblok, Control::lblok1, Control::lblok2}) {
        EXPECT_TRUE(w(c)->isVisible());
        EXPECT_TRUE(qobject_cast<QLabel*>(w(c))->text().isEmpty());
    }
    EXPECT_TRUE(w(Control::Command4)->isVisible());
    EXPECT_TRUE(w(Control::Command5)->isVisible());
}

TEST_F(WindowTest, Text2CanNeitherTakeFocusNorBeTypedInto)
{
    showActive();
    QLineEdit* text2 = edit(Control::Text2);
    EXPECT_FALSE(text2->isEnabled());
    EXPECT_EQ(text2->focusPolicy(), Qt::NoFocus);
    text2->setFocus();
    EXPECT_NE(QApplication::focusWidget(), text2);
    QTest::keyClicks(text2, "99");
    QTest::mouseClick(text2, Qt::LeftButton);
    EXPECT_EQ(text2->text(), QString("32,486"));
    EXPECT_NE(QApplication::focusWidget(), text2);
}

TEST_F(WindowTest, FontsAreTheDesignOnesInFacesThatThisSystemHas)
{
    // The faces are put on when the window is first shown: the name box,
    // asked before, waits for no font.
    EXPECT_FALSE(w(Control::lblconto)->testAttribute(Qt::WA_SetFont));
    window.show();
    // The face Qt resolves for each design face, and the design faces of
    // the serif kind.
    std::map<std::string_view, QString> drawnWith;
    for (const ControlDesign& d : cifrelle::ui::formDesign()) {
        SCOPED_TRACE(std::string(cifrelle::ui::controlName(d.control)));
        const QFont font = w(d.control)->font();
        if (!d.font) {
            EXPECT_FALSE(w(d.control)->testAttribute(Qt::WA_SetFont));
            continue;
        }
        const QFontInfo drawn(font);
        // The face asked for is there: Qt draws with it, not with a
        // stand-in of its own choosing; and it is an outline face, which
        // stays sharp at 200%.
        EXPECT_EQ(drawn.family(), font.family());
        EXPECT_TRUE(QFontDatabase::isSmoothlyScalable(drawn.family()))
            << drawn.family().toStdString();
        EXPECT_NEAR(drawn.pointSizeF(), d.font->points, 0.5);
        EXPECT_EQ(drawn.bold(), d.font->bold);
        EXPECT_FALSE(drawn.italic());
        EXPECT_FALSE(drawn.underline());
        EXPECT_FALSE(drawn.strikeOut());
        // One face drawn for each face of the design.
        const auto [known, added] = drawnWith.emplace(d.font->face, drawn.family());
        EXPECT_EQ(known->second, drawn.family());
    }
    // The serif faces of the design are drawn with one serif face, and the
    // sans serif ones with others.
    ASSERT_EQ(drawnWith.size(), 4u);
    EXPECT_EQ(drawnWith.at("MS Serif"), drawnWith.at("Times New Roman"));
    for (const char* sans : {"MS Sans Serif", "Arial"})
        EXPECT_NE(drawnWith.at(sans), drawnWith.at("Times New Roman")) << sans;
    EXPECT_DOUBLE_EQ(w(Control::lblconto)->font().pointSizeF(), 21.75);
    EXPECT_TRUE(w(Control::lblconto)->font().bold());
    EXPECT_FALSE(w(Control::lblok)->font().bold());
    EXPECT_FALSE(w(Control::Frame3)->font().bold());
}

TEST_F(WindowTest, TextColoursAreTheDesignOnes)
{
    auto text = [&](Control c, QPalette::ColorRole role = QPalette::WindowText) {
        return w(c)->palette().color(role);
    };
    EXPECT_EQ(text(Control::tempo), QColor(255, 255, 0));
    EXPECT_EQ(text(Control::lblconto), QColor(255, 255, 0));
    EXPECT_EQ(text(Control::Frame2), QColor(0, 0, 128));
    EXPECT_EQ(text(Control::Frame1), QColor(255, 0, 0));
    EXPECT_EQ(text(Control::lblok1), QColor(0, 0, 192));
    EXPECT_EQ(text(Control::lblok2), QColor(0, 0, 0));
    EXPECT_EQ(text(Control::txtmio, QPalette::Text), QColor(255, 255, 255));
    EXPECT_EQ(text(Control::Text1, QPalette::Text), QColor(192, 0, 192));
    EXPECT_EQ(text(Control::Label5), QColor(255, 0, 255));
    EXPECT_EQ(text(Control::lblnome1), QColor(255, 0, 0));
    EXPECT_EQ(text(Control::Label1), QColor(0, 255, 0));
    EXPECT_EQ(text(Control::lblScore1), QColor(255, 0, 0));
    EXPECT_EQ(text(Control::Label4), QColor(255, 0, 255));
    EXPECT_EQ(text(Control::lblpunti), QColor(0, 255, 0));
    // lblok has the usual window-text colour of the toolkit.
    EXPECT_EQ(text(Control::lblok), QApplication::palette().color(QPalette::WindowText));

    // The number to round is drawn as disabled text: grey, readable on its
    // green (contrast ratio of relative luminances at least 4.5:1).
    ASSERT_FALSE(w(Control::Text2)->isEnabled());
    const QPalette& number = w(Control::Text2)->palette();
    const QColor grey = number.color(QPalette::Disabled, QPalette::Text);
    EXPECT_TRUE(grey.red() == grey.green() && grey.green() == grey.blue())
        << grey.name().toStdString();
    EXPECT_GE(contrast(grey, number.color(QPalette::Disabled, QPalette::Base)), 4.5);
}

TEST_F(WindowTest, BackgroundColoursAreTheDesignOnes)
{
    EXPECT_EQ(w(Control::Text2)->palette().color(QPalette::Base), QColor(0, 255, 0));
    EXPECT_EQ(w(Control::Text2)->palette().color(QPalette::Disabled, QPalette::Base),
              QColor(0, 255, 0));
    EXPECT_EQ(w(Control::txtmio)->palette().color(QPalette::Base), QColor(192, 0, 192));
    EXPECT_EQ(w(Control::Text1)->palette().color(QPalette::Base), QColor(0, 255, 255));
    EXPECT_EQ(w(Control::Frame2)->palette().color(QPalette::Window), QColor(255, 0, 255));
    EXPECT_EQ(w(Control::Frame1)->palette().color(QPalette::Window), QColor(0, 192, 192));
    EXPECT_EQ(w(Control::Frame3)->palette().color(QPalette::Window), QColor(0, 255, 255));
    EXPECT_TRUE(w(Control::Frame2)->autoFillBackground());
}

TEST_F(WindowTest, LabelsAreTransparentAndSomeBordered)
{
    for (const ControlDesign& d : cifrelle::ui::formDesign()) {
        if (d.kind != Kind::Label)
            continue;
        SCOPED_TRACE(std::string(cifrelle::ui::controlName(d.control)));
        auto* label = qobject_cast<QLabel*>(w(d.control));
        EXPECT_FALSE(label->autoFillBackground());
        EXPECT_EQ(label->frameShape(), d.bordered ? QFrame::Box : QFrame::NoFrame);
        EXPECT_EQ(bool(label->alignment() & Qt::AlignHCenter), d.centred);
        EXPECT_EQ(label->focusPolicy(), Qt::NoFocus);
    }
    // The dark blue shows through a label, beside its text.
    window.show();
    QApplication::processEvents();
    const QImage image = window.clientArea()->grab().toImage();
    const QRect label4 = w(Control::Label4)->geometry();
    EXPECT_EQ(image.pixelColor(label4.right() - 2, label4.bottom() - 1), QColor(0, 0, 64));
}

TEST_F(WindowTest, TextBoxesCentreTheirText)
{
    EXPECT_TRUE(edit(Control::txtmio)->alignment() & Qt::AlignHCenter);
    EXPECT_TRUE(edit(Control::Text2)->alignment() & Qt::AlignHCenter);
}

TEST_F(WindowTest, GraphicalButtonsAreFilledAndShowTheirPicture)
{
    window.show();
    QApplication::processEvents();
    for (const ControlDesign& d : cifrelle::ui::formDesign()) {
        if (d.kind != Kind::Button)
            continue;
        SCOPED_TRACE(std::string(cifrelle::ui::controlName(d.control)));
        auto* button = qobject_cast<QPushButton*>(w(d.control));
        EXPECT_EQ(button->icon().isNull(), !d.hasPicture);
        const QImage image = button->grab().toImage();
        const cifrelle::ui::Rgb rgb = cifrelle::ui::toRgb(*d.backColor);
        const QColor back(rgb.red, rgb.green, rgb.blue);
        // Inside the raised edge, the button's own colour.
        EXPECT_EQ(image.pixelColor(3, 3), back);
        EXPECT_EQ(image.pixelColor(image.width() - 4, 3), back);
    }
    // The level picture of Command2 is a white tile drawn on the yellow.
    const QImage image = w(Control::Command2)->grab().toImage();
    int white = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixelColor(x, y) == QColor(255, 255, 255))
                ++white;
        }
    }
    EXPECT_GT(white, 200);
}

TEST_F(WindowTest, AFocusedButtonShowsARingThatStandsOutOfItsColour)
{
    showActive();
    for (Control c :
         {Control::cmdverifica, Control::cmdcasual, Control::Command1, Control::cmdexit}) {
        SCOPED_TRACE(std::string(cifrelle::ui::controlName(c)));
        w(Control::txtmio)->setFocus();
        const QImage before = w(c)->grab().toImage();
        w(c)->setFocus();
        ASSERT_TRUE(w(c)->hasFocus());
        const QImage after = w(c)->grab().toImage();
        const QColor back = before.pixelColor(3, 3);
        int ring = 0;
        for (int y = 0; y < after.height(); ++y) {
            for (int x = 0; x < after.width(); ++x) {
                if (after.pixel(x, y) != before.pixel(x, y) &&
                    contrast(after.pixelColor(x, y), back) >= 3.0)
                    ++ring;
            }
        }
        EXPECT_GE(ring, 20);
    }
}

TEST_F(WindowTest, TooltipsAreAlsoAccessibleDescriptions)
{
    for (const ControlDesign& d : cifrelle::ui::formDesign()) {
        SCOPED_TRACE(std::string(cifrelle::ui::controlName(d.control)));
        EXPECT_EQ(w(d.control)->toolTip(), q(d.toolTip));
        EXPECT_EQ(w(d.control)->accessibleDescription(), q(d.toolTip));
    }
    EXPECT_EQ(w(Control::lblScore)->toolTip(),
              QString::fromUtf8("Questo è il tuo punteggio. Forza con il  record"));
    EXPECT_EQ(
        w(Control::txtmio)->toolTip(),
        QString::fromUtf8("Se il valore inserito è sbagliato non ti sarà dato il nuovo numero"));
}

TEST_F(WindowTest, ScreenReadersReadLabelsAndButtonsByTheirText)
{
    for (const ControlDesign& d : cifrelle::ui::formDesign()) {
        SCOPED_TRACE(std::string(cifrelle::ui::controlName(d.control)));
        EXPECT_EQ(w(d.control)->accessibleName(), q(d.accessibleName));
    }
    EXPECT_EQ(w(Control::txtmio)->accessibleName(), QString("La tua approssimazione"));
    EXPECT_EQ(w(Control::Text2)->accessibleName(), QString("Numero da approssimare"));
    EXPECT_EQ(w(Control::cmdcasual)->accessibleName(), QString("Nuovo numero"));

    for (Control c : {Control::tempo, Control::Label1, Control::cmdini, Control::Command2}) {
        QAccessibleInterface* face = QAccessible::queryAccessibleInterface(w(c));
        ASSERT_NE(face, nullptr);
        EXPECT_EQ(face->text(QAccessible::Name), q(cifrelle::ui::designOf(c).caption));
    }
}

TEST_F(WindowTest, StackingKeepsFramesBehindAndFeedbackOnTop)
{
    QList<QWidget*> order;
    for (QObject* child : window.clientArea()->children()) {
        if (auto* widget = qobject_cast<QWidget*>(child))
            order.append(widget);
    }
    auto at = [&](Control c) { return order.indexOf(w(c)); };
    for (Control frame : {Control::Frame1, Control::Frame2, Control::Frame3}) {
        for (Control above : {Control::Text1, Control::Text2, Control::txtmio, Control::cmdverifica,
                              Control::cmdcasual})
            EXPECT_LT(at(frame), at(above));
    }
    const auto last = order.size() - 1;
    std::vector<qsizetype> feedback{at(Control::lblok), at(Control::lblok1), at(Control::lblok2)};
    std::sort(feedback.begin(), feedback.end());
    EXPECT_EQ(feedback, (std::vector<qsizetype>{last - 2, last - 1, last}));
    // The red and green repeats lie over the message.
    EXPECT_EQ(at(Control::lblok), last - 2);
}

// --- keyboard ---------------------------------------------------------------

TEST_F(WindowTest, TabOrderIsTheDesignOne)
{
    const std::vector<Control> expected{Control::cmdexit,   Control::Command5, Control::Command4,
                                        Control::txtmio,    Control::cmdini,   Control::cmdverifica,
                                        Control::cmdcasual, Control::Command2, Control::Command1,
                                        Control::Command3};
    const auto order = cifrelle::ui::tabOrder();
    ASSERT_EQ(std::vector<Control>(order.begin(), order.end()), expected);
    // In the focus chain, the next control that takes the focus by Tab.
    auto nextTabStop = [](QWidget* from) {
        QWidget* next = from->nextInFocusChain();
        while (next != from && !(next->focusPolicy() & Qt::TabFocus))
            next = next->nextInFocusChain();
        return next;
    };
    for (std::size_t i = 1; i < expected.size(); ++i)
        EXPECT_EQ(nextTabStop(w(expected[i - 1])), w(expected[i]))
            << "after " << cifrelle::ui::controlName(expected[i - 1]);

    showActive();
    w(Control::cmdexit)->setFocus();
    for (std::size_t i = 1; i < expected.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), w(expected[i]))
            << "after " << cifrelle::ui::controlName(expected[i - 1]);
    }
    // Round again to the first.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), w(Control::cmdexit));
}

TEST_F(WindowTest, FramesLabelsAndHiddenBoxesTakeNoFocus)
{
    showActive();
    w(Control::cmdexit)->setFocus();
    for (int i = 0; i < 25; ++i) {
        QWidget* focus = QApplication::focusWidget();
        ASSERT_NE(focus, nullptr);
        EXPECT_EQ(qobject_cast<QLabel*>(focus), nullptr);
        EXPECT_EQ(qobject_cast<QGroupBox*>(focus), nullptr);
        EXPECT_NE(focus, w(Control::Text1));
        EXPECT_NE(focus, w(Control::Text2));
        QTest::keyClick(focus, Qt::Key_Tab);
    }
}

TEST_F(WindowTest, EnterInTheAnswerBoxGivesCode13)
{
    showActive();
    w(Control::txtmio)->setFocus();
    QTest::keyClick(w(Control::txtmio), Qt::Key_Return);
    QTest::keyClick(w(Control::txtmio), Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(handlers.keys, (std::vector<int>{13, 13}));
    EXPECT_EQ(handlers.count("cmdverifica_Click"), 0);
}

TEST_F(WindowTest, TypedCharactersPassTheirCodesAndReachTheBox)
{
    showActive();
    w(Control::txtmio)->setFocus();
    QTest::keyClicks(w(Control::txtmio), "4,7");
    EXPECT_EQ(handlers.keys, (std::vector<int>{'4', ',', '7'}));
    EXPECT_EQ(edit(Control::txtmio)->text(), QString("4,7"));
    QTest::keyClick(w(Control::txtmio), Qt::Key_Backspace);
    EXPECT_EQ(handlers.keys.back(), 8);
    EXPECT_EQ(edit(Control::txtmio)->text(), QString("4,"));
}

TEST_F(WindowTest, KeysThatTypeNothingRaiseNoKeyPress)
{
    showActive();
    w(Control::txtmio)->setFocus();
    for (Qt::Key key : {Qt::Key_Left, Qt::Key_Right, Qt::Key_Home, Qt::Key_Shift, Qt::Key_F1})
        QTest::keyClick(w(Control::txtmio), key);
    EXPECT_TRUE(handlers.keys.empty());
}

TEST_F(WindowTest, AKeyPressHandlerCanCancelTheKey)
{
    showActive();
    w(Control::txtmio)->setFocus();
    handlers.cancel = 'x';
    QTest::keyClicks(w(Control::txtmio), "1x2");
    EXPECT_EQ(handlers.keys, (std::vector<int>{'1', 'x', '2'}));
    EXPECT_EQ(edit(Control::txtmio)->text(), QString("12"));
}

TEST_F(WindowTest, EnterAndSpacePressTheFocusedButton)
{
    showActive();
    w(Control::cmdini)->setFocus();
    QTest::keyClick(w(Control::cmdini), Qt::Key_Return);
    QTest::keyClick(w(Control::cmdini), Qt::Key_Enter, Qt::KeypadModifier);
    QTest::keyClick(w(Control::cmdini), Qt::Key_Space);
    EXPECT_EQ(handlers.count("cmdini_Click"), 3);
    w(Control::cmdverifica)->setFocus();
    QTest::keyClick(w(Control::cmdverifica), Qt::Key_Return);
    EXPECT_EQ(handlers.count("cmdverifica_Click"), 1);
}

// --- events -------------------------------------------------------------------

TEST_F(WindowTest, ButtonClicksRaiseTheirHandlers)
{
    showActive();
    const std::vector<std::pair<Control, std::string>> wired{
        {Control::cmdini, "cmdini_Click"},     {Control::cmdcasual, "cmdcasual_Click"},
        {Control::Command1, "Command1_Click"}, {Control::Command2, "Command2_Click"},
        {Control::Command3, "Command3_Click"}, {Control::cmdverifica, "cmdverifica_Click"},
        {Control::cmdexit, "cmdexit_Click"},
    };
    for (const auto& [control, handler] : wired) {
        handlers.events.clear();
        QTest::mouseClick(w(control), Qt::LeftButton);
        EXPECT_EQ(handlers.events, std::vector<std::string>{handler});
    }
}

TEST_F(WindowTest, ClicksOnIndicatorsLabelsAndFramesDoNothing)
{
    showActive();
    handlers.events.clear();
    for (Control c : {Control::Command4, Control::Command5, Control::Label1, Control::lblScore,
                      Control::Frame3, Control::Text2, Control::tempo})
        QTest::mouseClick(w(c), Qt::LeftButton);
    EXPECT_TRUE(handlers.events.empty());
}

TEST_F(WindowTest, FeedbackLabelsLetClicksThroughToTheButtons)
{
    showActive();
    qobject_cast<QLabel*>(w(Control::lblok))->setText("Sei veramente ok");
    handlers.events.clear();
    // Points of "Esci" and "Inizio" under the feedback labels.
    const QRect exitRect = w(Control::cmdexit)->geometry();
    const QPoint exitPoint = exitRect.topLeft() + QPoint(10, 10);
    ASSERT_TRUE(w(Control::lblok)->geometry().contains(exitPoint));
    clickAt(exitPoint);
    const QPoint startPoint = w(Control::cmdini)->geometry().topLeft() + QPoint(20, 1);
    ASSERT_TRUE(w(Control::lblok)->geometry().contains(startPoint));
    clickAt(startPoint);
    EXPECT_EQ(handlers.events, (std::vector<std::string>{"cmdexit_Click", "cmdini_Click"}));
}

TEST_F(WindowTest, OfTheThreeLevelButtonsOnlyTheVisibleOneIsClicked)
{
    showActive();
    w(Control::Command1)->hide();
    w(Control::Command3)->hide();
    handlers.events.clear();
    clickAt(w(Control::Command2)->geometry().center());
    EXPECT_EQ(handlers.events, std::vector<std::string>{"Command2_Click"});
}

TEST_F(WindowTest, TimerTicksOnceASecondFromCreation)
{
    QTimer* timer = window.findChild<QTimer*>("Timer1");
    ASSERT_NE(timer, nullptr);
    EXPECT_EQ(timer, window.timer());
    EXPECT_EQ(timer->interval(), 1000);
    EXPECT_TRUE(timer->isActive());
    EXPECT_FALSE(timer->isSingleShot());
    // Every tick runs the timer handler (a short interval only for the test).
    timer->setInterval(5);
    EXPECT_TRUE(QTest::qWaitFor([&] { return handlers.count("Timer1_Timer") >= 3; }, 5000));
    EXPECT_EQ(handlers.count("Timer1_Timer"), static_cast<int>(handlers.events.size()));
}

TEST_F(WindowTest, ActivationIsRaisedOnceAfterTheFirstShow)
{
    EXPECT_FALSE(window.activationRaised());
    window.show();
    // It comes after the window is shown, not inside show().
    EXPECT_EQ(handlers.count("Form_Activate"), 0);
    QApplication::processEvents();
    EXPECT_EQ(handlers.count("Form_Activate"), 1);
    EXPECT_TRUE(window.activationRaised());

    window.activateWindow();
    QApplication::processEvents();
    QEvent activate(QEvent::WindowActivate);
    QApplication::sendEvent(&window, &activate);
    window.hide();
    QApplication::processEvents();
    window.show();
    window.showMinimized();
    QApplication::processEvents();
    window.showNormal();
    QApplication::processEvents();
    EXPECT_EQ(handlers.count("Form_Activate"), 1);
}

TEST_F(WindowTest, ClosingABoxDoesNotRaiseActivationAgain)
{
    showActive();
    ASSERT_EQ(handlers.count("Form_Activate"), 1);
    QTimer::singleShot(0, [] {
        if (QWidget* box = QApplication::activeModalWidget())
            qobject_cast<QMessageBox*>(box)->button(QMessageBox::Ok)->click();
    });
    QMessageBox box(QMessageBox::Information, "Cifrelle", "Ciao", QMessageBox::Ok, &window);
    box.exec();
    window.activateWindow();
    QApplication::processEvents();
    EXPECT_EQ(handlers.count("Form_Activate"), 1);
}

TEST_F(WindowTest, ActivationSetsUpTheFirstExerciseBeforeThePlayerActs)
{
    // The activation handler runs before any input queued after the show.
    window.show();
    QTest::keyClick(&window, Qt::Key_Tab);
    QApplication::processEvents();
    ASSERT_FALSE(handlers.events.empty());
    EXPECT_EQ(handlers.events.front(), "Form_Activate");
}

// The window stays: its unload, raised once the close is handled, ends the
// program.
TEST_F(WindowTest, ClosingTheWindowRaisesOnlyItsUnload)
{
    showActive();
    handlers.events.clear();
    EXPECT_FALSE(window.close());
    EXPECT_TRUE(handlers.events.empty()) << "not inside the window's close";
    QApplication::processEvents();
    EXPECT_TRUE(window.isVisible());
    // Only the clock may have ticked meanwhile (showing a window under Wine
    // can take a second).
    EXPECT_EQ(handlers.count("Form_Unload"), 1);
    EXPECT_EQ(handlers.events.size(), handlers.count("Timer1_Timer") + 1);
}

TEST_F(WindowTest, WithoutHandlersEventsAreIgnored)
{
    window.setHandlers(nullptr);
    showActive();
    QTest::mouseClick(w(Control::cmdexit), Qt::LeftButton);
    w(Control::txtmio)->setFocus();
    QTest::keyClicks(w(Control::txtmio), "5");
    EXPECT_EQ(edit(Control::txtmio)->text(), QString("5"));
    EXPECT_TRUE(handlers.events.empty());
}

// --- menu bar -----------------------------------------------------------------

QString withoutMnemonic(QString text)
{
    QString plain;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == '&' && i + 1 < text.size())
            ++i;
        plain += text[i];
    }
    return plain;
}

TEST_F(WindowTest, MenuBarHasTheFourEntries)
{
    window.show(); // the bar is built for the window's first show
    const QList<QAction*> entries = window.menuBar()->actions();
    const auto design = cifrelle::ui::menuDesign();
    ASSERT_EQ(entries.size(), 4);
    ASSERT_EQ(design.size(), 4u);
    for (qsizetype i = 0; i < entries.size(); ++i) {
        SCOPED_TRACE(std::string(design[i].name));
        EXPECT_EQ(entries[i], window.menuEntry(design[i].name));
        EXPECT_EQ(entries[i]->objectName(), q(design[i].name));
        EXPECT_EQ(withoutMnemonic(entries[i]->text()), q(design[i].caption));
        EXPECT_EQ(entries[i]->menu() != nullptr, !design[i].submenu.empty());
        if (QMenu* menu = entries[i]->menu()) {
            const QList<QAction*> items = menu->actions();
            ASSERT_EQ(items.size(), static_cast<qsizetype>(design[i].submenu.size()));
            for (qsizetype k = 0; k < items.size(); ++k) {
                EXPECT_EQ(items[k]->objectName(), q(design[i].submenu[k].name));
                EXPECT_EQ(withoutMnemonic(items[k]->text()), q(design[i].submenu[k].caption));
            }
        }
    }
    EXPECT_EQ(withoutMnemonic(window.menuEntry("record")->text()), QString("Record"));
    EXPECT_EQ(withoutMnemonic(window.menuEntry("help")->text()), QString("Help"));
    EXPECT_EQ(window.menuEntry("scuola")->text(), QString::fromUtf8("Questo programma è freeware"));
    EXPECT_NE(window.menuEntry("copy")->menu(), nullptr);
    EXPECT_NE(window.menuEntry("ic1")->menu(), nullptr);
}

TEST_F(WindowTest, RecordAndHelpActWhenClickedOnTheBar)
{
    showActive();
    QMenuBar* bar = window.menuBar();
    QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier,
                      bar->actionGeometry(window.menuEntry("record")).center());
    QApplication::processEvents();
    QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier,
                      bar->actionGeometry(window.menuEntry("help")).center());
    QApplication::processEvents();
    EXPECT_EQ(handlers.events,
              (std::vector<std::string>{"Form_Activate", "record_Click", "help_Click"}));
}

TEST_F(WindowTest, RecordAndHelpOpenFromTheKeyboard)
{
    showActive();
    handlers.events.clear();
    QTest::keyClick(&window, Qt::Key_R, Qt::AltModifier);
    QApplication::processEvents();
    QTest::keyClick(&window, Qt::Key_H, Qt::AltModifier);
    QApplication::processEvents();
    EXPECT_EQ(handlers.events, (std::vector<std::string>{"record_Click", "help_Click"}));
}

TEST_F(WindowTest, CreditEntriesDoNothing)
{
    showActive();
    handlers.events.clear();
    for (const char* name : {"scuola", "aut", "ic"})
        window.menuEntry(name)->trigger();
    QApplication::processEvents();
    EXPECT_TRUE(handlers.events.empty());
}

} // namespace
