// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cifrelle/ui/control.h"
#include "cifrelle/ui/form1events.h"

#include <QMainWindow>

#include <map>
#include <string>
#include <string_view>

class QAction;
class QIcon;
class QTimer;

namespace cifrelle::ui {

// The game window "Form1": every control of the design below a menu bar,
// with a fixed client area, and the one-second timer "Timer1". It raises
// the window's events (clicks, the answer box's keys, the timer's tick,
// the two menu entries, the activation, the unload) to its handlers; QtUi
// does the game's operations on it. A close of the window is never the
// window's own while it has handlers: the close is refused, and the unload
// raised once the close has been handled, for the game to end the program
// (the game's end, which may wait and show its boxes, never runs inside
// the window's close). The controls are built when first needed: by the
// first operation on one, or the first show (start-up asks the player's
// name before, with nothing of the window made). What only a window on the
// screen needs (the menu bar, the controls' faces and pictures, the labels
// fitted to their captions) is put on when it is first shown.
class Form1Window : public QMainWindow {
    Q_OBJECT

public:
    explicit Form1Window(QWidget* parent = nullptr);
    ~Form1Window() override;

    // The game's icon (the window's, and the program's for its boxes).
    static QIcon icon();

    // Where the window's events go (the game's Form1); not owned. Without
    // handlers the events do nothing.
    void setHandlers(Form1Events* handlers) { handlers_ = handlers; }

    // The client area below the menu bar, parent of every control. (Both
    // build the controls when they are not yet built.)
    QWidget* clientArea() const;
    QWidget* control(Control control) const;
    QTimer* timer() const { return timer_; }
    // A menu bar entry or submenu item by its design name ("record", "aut");
    // null before the window is first shown.
    QAction* menuEntry(std::string_view name) const;

    // Raises the unload event: at once, for the program at the end of the
    // desktop session; queued by the window's close.
    void unload(UnloadMode mode);

    // True once the activation event has been raised (it is raised once,
    // after the window is first shown).
    bool activationRaised() const { return activationRaised_; }

signals:
    // The controls have just been built (once).
    void controlsBuilt();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void build() const;
    void buildClientArea();
    void buildControls();
    void wireEvents();
    void completeForShow();
    void buildMenuBar();
    void dressControls();
    void raiseActivation();
    template <class Handler>
    void deliver(Handler handler);

    Form1Events* handlers_ = nullptr;
    QWidget* client_ = nullptr;
    QTimer* timer_ = nullptr;
    std::map<Control, QWidget*> controls_;
    std::map<std::string, QAction*, std::less<>> menuEntries_;
    bool activationQueued_ = false;
    bool activationRaised_ = false;
    bool completed_ = false;
};

} // namespace cifrelle::ui
