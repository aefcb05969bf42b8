// SPDX-License-Identifier: GPL-3.0-or-later
// What the program does before its window: the display check and the
// toolkit's Italian texts.
#include "startup.h"

#include "cifrelle/ui/qt/form1window.h"
#include "cifrelle/ui/qt/qtui.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QInputDialog>
#include <QLocale>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace {

using cifrelle::app::missingDisplayMessage;

cifrelle::app::EnvironmentReader environment(std::map<std::string, std::string> values)
{
    return [values = std::move(values)](const char* name) -> const char* {
        const auto found = values.find(name);
        return found == values.end() ? nullptr : found->second.c_str();
    };
}

TEST(DisplayCheck, WithoutAnyDisplayTheGameSaysSoInOneLine)
{
    const auto message = missingDisplayMessage(environment({{"HOME", "/root"}}));
    ASSERT_TRUE(message.has_value());
    EXPECT_EQ(message->rfind("cifrelle: ", 0), 0u);
    EXPECT_NE(message->find("display"), std::string::npos);
    EXPECT_EQ(message->find('\n'), std::string::npos);
}

TEST(DisplayCheck, EmptyVariablesAreNoDisplay)
{
    EXPECT_TRUE(
        missingDisplayMessage(
            environment({{"DISPLAY", ""}, {"WAYLAND_DISPLAY", ""}, {"QT_QPA_PLATFORM", ""}}))
            .has_value());
}

TEST(DisplayCheck, AnyDisplayOrChosenPlatformIsEnough)
{
    EXPECT_FALSE(missingDisplayMessage(environment({{"DISPLAY", ":0"}})).has_value());
    EXPECT_FALSE(
        missingDisplayMessage(environment({{"WAYLAND_DISPLAY", "wayland-0"}})).has_value());
    EXPECT_FALSE(
        missingDisplayMessage(environment({{"QT_QPA_PLATFORM", "offscreen"}})).has_value());
}

TEST(Italian, TheToolkitSpeaksItalianWhateverTheMachineLanguage)
{
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    ASSERT_TRUE(cifrelle::app::useItalian(*QCoreApplication::instance()));
    EXPECT_EQ(QLocale().language(), QLocale::Italian);
    EXPECT_EQ(QLocale().decimalPoint(), QString(","));
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), QString("Annulla"));

    // The name box offers "Annulla".
    cifrelle::ui::Form1Window window;
    cifrelle::ui::QtUi ui(window);
    QString cancelText;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        auto* buttons = box->findChild<QDialogButtonBox*>();
        ASSERT_NE(buttons, nullptr);
        cancelText = buttons->button(QDialogButtonBox::Cancel)->text();
        box->reject();
    });
    ui.inputBox("Come ti chiami?", "Impariamo ad approssimare");
    EXPECT_EQ(cancelText.remove('&'), QString("Annulla"));
}

} // namespace
