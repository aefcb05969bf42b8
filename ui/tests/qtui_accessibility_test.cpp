// SPDX-License-Identifier: GPL-3.0-or-later
// What assistive technology is told when the game writes to the window.
// Needs a platform with an accessibility bridge (xcb with the bridge on):
// the offscreen platform sends no accessibility events at all.
#include "cifrelle/ui/formdesign.h"
#include "cifrelle/ui/qt/form1window.h"
#include "cifrelle/ui/qt/qtui.h"

#include <QAccessible>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace {

using cifrelle::ui::Control;
using cifrelle::ui::QtUi;

class QtUiTest : public ::testing::Test {
protected:
    cifrelle::ui::Form1Window window;
    QtUi ui{window};

    void SetUp() override
    {
#ifdef Q_OS_WIN
        // Windows' bridge (UI Automation) turns itself on when a client
        // first asks a window for its elements: asked as a screen reader
        // asks, with UiaRootObjectId.
        SendMessageW(reinterpret_cast<HWND>(window.winId()), WM_GETOBJECT, 0, LPARAM(-25));
#endif
        // The bridge turns itself on once it has reached the accessibility
        // bus, shortly after the application starts.
        ASSERT_TRUE(QTest::qWaitFor([] { return QAccessible::isActive(); }, 10000))
            << "no accessibility bridge: run on xcb with the accessibility bus";
    }
};

// Records the accessibility events the toolkit sends while it lives.
class AccessibilityEvents {
public:
    AccessibilityEvents()
    {
        current() = this;
        previous_ = QAccessible::installUpdateHandler(&record);
    }
    ~AccessibilityEvents()
    {
        QAccessible::installUpdateHandler(previous_);
        current() = nullptr;
    }

    int count(QObject* object, QAccessible::Event type) const
    {
        return static_cast<int>(
            std::count(events_.begin(), events_.end(), std::pair{object, type}));
    }
    const std::vector<QString>& textValues() const { return textValues_; }
    void clear() { events_.clear(); }

private:
    static AccessibilityEvents*& current()
    {
        static AccessibilityEvents* events = nullptr;
        return events;
    }
    static void record(QAccessibleEvent* event)
    {
        if (!current())
            return;
        current()->events_.emplace_back(event->object(), event->type());
        if (event->type() == QAccessible::ValueChanged)
            current()->textValues_.push_back(
                static_cast<QAccessibleValueChangeEvent*>(event)->value().toString());
    }

    QAccessible::UpdateHandler previous_ = nullptr;
    std::vector<std::pair<QObject*, QAccessible::Event>> events_;
    std::vector<QString> textValues_;
};

TEST_F(QtUiTest, ScoresAndClockAreAnnouncedOnceWhenTheyChange)
{
    AccessibilityEvents events;
    for (Control c : {Control::lblScore, Control::lblScore1, Control::lblconto, Control::lblpunti,
                      Control::lblnome1, Control::lblok1}) {
        SCOPED_TRACE(std::string(cifrelle::ui::controlName(c)));
        QWidget* w = window.control(c);
        events.clear();
        ui.setCaption(c, "00:14:59");
        EXPECT_EQ(events.count(w, QAccessible::NameChanged), 1);
        ui.setCaption(c, "7");
        EXPECT_EQ(events.count(w, QAccessible::NameChanged), 2);
        // Written again unchanged (the count of wrong answers after a right
        // answer): nothing new to say.
        ui.setCaption(c, "7");
        EXPECT_EQ(events.count(w, QAccessible::NameChanged), 2);
    }
}

TEST_F(QtUiTest, TheMessageIsAnnouncedAtEveryAnswerEvenWhenItRepeats)
{
    AccessibilityEvents events;
    QWidget* message = window.control(Control::lblok);
    ui.setCaption(Control::lblok, "Sei veramente ok");
    EXPECT_EQ(events.count(message, QAccessible::NameChanged), 1);
    ui.setCaption(Control::lblok, "Sei veramente ok");
    EXPECT_EQ(events.count(message, QAccessible::NameChanged), 2);
    ui.setCaption(Control::lblok, "Fai attenzione");
    ui.setCaption(Control::lblok, "Fai attenzione");
    EXPECT_EQ(events.count(message, QAccessible::NameChanged), 4);
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(message);
    ASSERT_NE(face, nullptr);
    EXPECT_EQ(face->text(QAccessible::Name), QString("Fai attenzione"));
}

// What a screen reader can reach in the window, from `face` down: the
// objects, and all they say.
void walk(QAccessibleInterface* face, std::vector<QObject*>& objects, QString& said)
{
    objects.push_back(face->object());
    for (auto t : {QAccessible::Name, QAccessible::Description, QAccessible::Value})
        said += face->text(t) + '|';
    if (QAccessibleTextInterface* text = face->textInterface())
        said += text->text(0, text->characterCount()) + '|';
    for (int i = 0; i < face->childCount(); ++i)
        walk(face->child(i), objects, said);
}

TEST_F(QtUiTest, NothingOfTheControlsKeptHiddenReachesTheScreenReader)
{
    // The answer key written as the game writes it (into the controls
    // built by then) goes out in no event...
    (void)window.clientArea();
    AccessibilityEvents events;
    ui.setText(Control::Text1, "28,2");
    for (auto type :
         {QAccessible::TextUpdated, QAccessible::TextInserted, QAccessible::ValueChanged})
        EXPECT_EQ(events.count(window.control(Control::Text1), type), 0);
    // ...and is found nowhere in the window, where the other boxes are.
    std::vector<QObject*> objects;
    QString said;
    walk(QAccessible::queryAccessibleInterface(&window), objects, said);
    EXPECT_FALSE(said.contains("28,2"));
    for (Control c :
         {Control::Text1, Control::Frame1, Control::Text2, Control::txtmio, Control::Frame2}) {
        SCOPED_TRACE(std::string(cifrelle::ui::controlName(c)));
        const bool hidden = cifrelle::ui::designOf(c).keptHidden;
        EXPECT_EQ(std::count(objects.begin(), objects.end(), window.control(c)), hidden ? 0 : 1);
        // Asked for directly (as a client asks by object path), a control
        // kept hidden is no object at all: the bridges give nothing of it.
        QAccessibleInterface* face = QAccessible::queryAccessibleInterface(window.control(c));
        ASSERT_NE(face, nullptr);
        EXPECT_EQ(face->isValid(), !hidden);
    }
    EXPECT_TRUE(said.contains("Numero decimale da approssimare|"));
}

TEST_F(QtUiTest, ANewNumberIsAnnouncedAsATextChange)
{
    AccessibilityEvents events;
    QWidget* number = window.control(Control::Text2);
    ui.setText(Control::Text2, "4,75");
    EXPECT_GE(events.count(number, QAccessible::TextUpdated) +
                  events.count(number, QAccessible::TextInserted),
              1);
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(number);
    ASSERT_NE(face, nullptr);
    ASSERT_NE(face->textInterface(), nullptr);
    EXPECT_EQ(face->textInterface()->text(0, face->textInterface()->characterCount()),
              QString("4,75"));
}

TEST_F(QtUiTest, AnAnnouncementIsANotificationShownWithItsText)
{
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    AccessibilityEvents events;
    const QString said = QString::fromUtf8("Fai attenzione. Risposte esatte 0, errate 1.");
    ui.announce(said.toStdString());
    QWidget* announcer = nullptr;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return announcer = window.findChild<QWidget*>(QStringLiteral("announcer")); }));
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(announcer);
    ASSERT_NE(face, nullptr);
    EXPECT_EQ(face->role(), QAccessible::Notification);
    EXPECT_EQ(face->text(QAccessible::Name), said);
    // What AT-SPI passes on to Orca.
    EXPECT_EQ(events.count(announcer, QAccessible::ObjectShow), 1);
#ifdef Q_OS_WIN
    // What UI Automation passes on, as a notification, to Windows' readers.
    EXPECT_EQ(events.count(announcer, QAccessible::ValueChanged), 1);
    EXPECT_EQ(events.textValues(), std::vector<QString>{said});
#else
    EXPECT_EQ(events.count(announcer, QAccessible::ValueChanged), 0);
#endif
}

} // namespace
