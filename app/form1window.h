// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cifrelle/ui/control.h"
#include "cifrelle/ui/form1events.h"
#include "cifrelle/ui/formdesign.h"

#include <QFont>
#include <QMainWindow>

#include <cstdint>
#include <map>
#include <string>
#include <string_view>

class QAction;
class QTimer;

namespace cifrelle::app {

// The face used for a face of the design: Liberation Sans for MS Sans Serif
// and Arial, Liberation Serif for Times New Roman and MS Serif.
QString substituteFace(std::string_view face);

// The design's font with its substituted face.
QFont designFont(const ui::Font& font);

// The game window "Form1": every control of the design below a menu bar,
// with a fixed client area, and the one-second timer "Timer1".
class Form1Window : public QMainWindow {
    Q_OBJECT

public:
    explicit Form1Window(QWidget* parent = nullptr);
    ~Form1Window() override;

    // Where the window's events go (the game's Form1); not owned. Without
    // handlers the events do nothing.
    void setHandlers(ui::Form1Events* handlers) { handlers_ = handlers; }

    // The client area below the menu bar, parent of every control.
    QWidget* clientArea() const { return client_; }
    QWidget* control(ui::Control control) const { return controls_.at(control); }
    QTimer* timer() const { return timer_; }
    // A menu bar entry or submenu item by its design name ("record", "aut").
    QAction* menuEntry(std::string_view name) const;

    // True once the activation event has been raised (it is raised once,
    // after the window is first shown).
    bool activationRaised() const { return activationRaised_; }

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    void buildMenuBar();
    void wireEvents();
    void raiseActivation();
    template <class Handler>
    void deliver(Handler handler);

    ui::Form1Events* handlers_ = nullptr;
    QWidget* client_ = nullptr;
    QTimer* timer_ = nullptr;
    std::map<ui::Control, QWidget*> controls_;
    std::map<std::string, QAction*, std::less<>> menuEntries_;
    bool activationQueued_ = false;
    bool activationRaised_ = false;
};

} // namespace cifrelle::app
