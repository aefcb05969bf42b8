// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cifrelle/ui/ui.h"

#include <QPointer>

#include <functional>
#include <memory>
#include <vector>

class QFrame;
class QLabel;
class QObject;
class QString;
class QWidget;

namespace cifrelle::ui {

class Form1Window;

// The toolkit operations on the game window: they read and write the
// controls the window built, switch its one-second timer, and open the
// boxes and the notice over it. While the game waits (doEvents), a close
// of the window is refused and taken as the way out of the wait.
//
// The focus moves and the announcements a handler asks for reach the
// toolkit when the handler is over (or before a box opens), as one move to
// where the handler left the focus, then what it announced: a screen reader
// hears no control the focus only passes through, and what the control the
// focus comes into reads with its description is not announced twice.
class QtUi : public Ui {
public:
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
    bool wayOutTaken() const override { return wayOutTaken_; }
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
    void settleLater();
    void takeDownAnsweredBoxes();
    QWidget* boxOwner() const;
    void showScrollingBox(int icon, const QString& caption, const QString& text);
    QWidget* widget(Control control) const;
    QLabel* noticeText() const;
    void placeNotice();

    Form1Window* window_;
    QPointer<QFrame> notice_; // shown by showNotice(), until hideNotice()
    bool waiting_ = false;    // inside doEvents()
    bool wayOutTaken_ = false;
    std::unique_ptr<QObject> closeWatch_; // on the window: a close while waiting
    std::function<void()> endAction_;
    QWidget* pendingFocus_ = nullptr;
    std::vector<QString> pendingAnnouncements_;
    std::unique_ptr<QObject> settler_; // receives the queued settle()
    bool settleQueued_ = false;
    std::vector<QPointer<QWidget>> answeredBoxes_; // still on the screen
    int boxesOpen_ = 0;
};

} // namespace cifrelle::ui
