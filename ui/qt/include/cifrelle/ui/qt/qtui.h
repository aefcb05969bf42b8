// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cifrelle/ui/ui.h"

#include <functional>
#include <memory>
#include <vector>

class QObject;
class QString;
class QWidget;

namespace cifrelle::ui {

class Boxes;
class Form1Window;
class WaitNotice;

// The toolkit operations on the game window: they read and write the
// controls the window built and switch its one-second timer (here); the
// boxes over it are Boxes' (boxes.cpp), the wait with its notice and its
// way out WaitNotice's (waitnotice.cpp), where a close of the window during
// the game's end is the way out of its wait.
//
// The focus moves and the announcements a handler asks for reach the
// toolkit when the handler is over (or before a box opens), as one move to
// where the handler left the focus, then what it announced: a screen reader
// hears no control the focus only passes through, and what the control the
// focus comes into reads with its description is not announced twice.
class QtUi : public Ui {
public:
    // On the window `window` makes when the game first needs it: a box, and
    // the timer switched off, need none (the name box comes up before the
    // window is made).
    explicit QtUi(std::function<Form1Window&()> window);
    // On a window made already.
    explicit QtUi(Form1Window& window);
    ~QtUi() override;

    std::string text(Control control) const override;
    void setText(Control control, const std::string& text) override;
    std::string caption(Control control) const override;
    void setCaption(Control control, const std::string& caption) override;
    void setVisible(Control control, bool visible) override;
    void setForeColor(Control control, Colour colour) override;
    void setFocus(Control control) override;
    void setTimerEnabled(bool enabled) override;
    void messageBox(const std::string& prompt, BoxStyle style,
                    const std::optional<std::string>& title) override;
    void doEvents() override;
    void showNotice(const std::string& text) override;
    void hideNotice() override;
    void offerWayOut(const std::string& caption) override;
    bool wayOutTaken() const override;
    std::string inputBox(const std::string& prompt, const std::string& title) override;
    void announce(const std::string& text) override;
    void end() override;

    // What end() does. By default it flushes the standard streams and
    // terminates the process at once with status 0; tests put a recorder in
    // its place.
    void setEndAction(std::function<void()> action) { endAction_ = std::move(action); }

    // Gives the toolkit at once the focus and announcements asked for so far
    // (they otherwise wait for the window's event loop).
    void settle();

    // Whether a message is too long for an ordinary box; such a message is
    // shown whole in a box of bounded size that scrolls.
    static bool isTooLongForABox(const QString& text);

private:
    Form1Window& window() const;
    void settleLater();
    QWidget* widget(Control control) const;

    std::function<Form1Window&()> makeWindow_;
    mutable Form1Window* window_ = nullptr;
    mutable std::unique_ptr<WaitNotice> wait_; // made with the window
    bool timerOff_ = false;                    // asked for before the window was made
    std::unique_ptr<Boxes> boxes_;
    std::function<void()> endAction_;
    QWidget* pendingFocus_ = nullptr;
    std::vector<QString> pendingAnnouncements_;
    std::unique_ptr<QObject> settler_; // receives the queued settle()
    bool settleQueued_ = false;
};

} // namespace cifrelle::ui
