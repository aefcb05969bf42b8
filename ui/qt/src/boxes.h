// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QPointer>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QObject;
class QWidget;

namespace cifrelle::ui {

// The modal boxes over the game window: the message boxes, the input box,
// and the box that scrolls for a message too long for an ordinary one.
// Before the window is on the screen (start-up's boxes) a box stands alone,
// so that the window gets no native window for it.
//
// Between boxes in a row the window never takes the focus back (a screen
// reader would read the window, and lose the next box's text): a message
// box answered stays on the screen until the next box has the focus, or
// until the game is back at the window with no box open.
class Boxes {
public:
    // `window` gives the game window once it is on the screen, and null
    // before.
    explicit Boxes(std::function<QWidget*()> window);
    ~Boxes();

    Boxes(const Boxes&) = delete;
    Boxes& operator=(const Boxes&) = delete;

    // A message box with an OK button, the icon `icon` (a QMessageBox::Icon),
    // the title `caption` and `text` as plain text; returns once answered.
    void message(int icon, const QString& caption, const QString& text);

    // An input box; returns what the player typed, or nothing when the box
    // was cancelled.
    std::optional<QString> input(const QString& title, const QString& prompt);

    // Whether a message is too long for an ordinary box; such a message is
    // shown whole in a box of bounded size that scrolls.
    static bool isTooLong(const QString& text);

private:
    void showScrolling(int icon, const QString& caption, const QString& text);
    void takeDownAnswered();

    std::function<QWidget*()> owner_;
    std::unique_ptr<QObject> context_;        // receives the queued take-downs
    std::vector<QPointer<QWidget>> answered_; // still on the screen
    int open_ = 0;
};

} // namespace cifrelle::ui
