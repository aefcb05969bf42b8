// SPDX-License-Identifier: GPL-3.0-or-later
// The keys go to the screen reader first, and to the window in their order
// when it leaves them.
#include "cifrelle/ui/qt/qtscreenreaderkeys.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <vector>

namespace {

using cifrelle::ui::ScreenReaderKeys;

// Stands for the window and keeps the keys it gets.
struct Receiver : QObject {
    std::vector<int> keys;
    bool event(QEvent* e) override
    {
        if (e->type() == QEvent::KeyPress)
            keys.push_back(static_cast<QKeyEvent*>(e)->key());
        return QObject::event(e);
    }
};

TEST(ScreenReaderKeys, TheWindowGetsTheKeysTheScreenReaderLeavesInTheirOrder)
{
    std::vector<std::function<void(bool)>> answers;
    bool reachable = true;
    ScreenReaderKeys keys([&](const QKeyEvent&, std::function<void(bool)> answer) {
        if (reachable)
            answers.push_back(std::move(answer));
        return reachable;
    });
    Receiver window;
    const auto type = [&](int key) {
        return keys.hold(&window, QKeyEvent(QEvent::KeyPress, key, Qt::NoModifier, "x"));
    };
    const auto got = [&window] {
        QCoreApplication::processEvents();
        return window.keys;
    };
    // 4, where-am-I, 2, answered late and out of order; where-am-I is taken.
    for (int key : {Qt::Key_4, Qt::Key_Enter, Qt::Key_2})
        EXPECT_TRUE(type(key));
    answers[2](false);
    EXPECT_TRUE(got().empty());
    answers[1](true);
    answers[0](false);
    EXPECT_EQ(got(), (std::vector<int>{Qt::Key_4, Qt::Key_2}));
    // Nobody to ask: the key goes on at once, unless one before it waits.
    reachable = false;
    EXPECT_FALSE(type(Qt::Key_5));
    reachable = true;
    type(Qt::Key_6);
    reachable = false;
    EXPECT_TRUE(type(Qt::Key_7));
    answers[3](false);
    EXPECT_EQ(got(), (std::vector<int>{Qt::Key_4, Qt::Key_2, Qt::Key_6, Qt::Key_7}));
}

} // namespace
