// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cifrelle/ui/control.h"

#include <QWidget>

#include <map>

class QTimer;

// A bare window built from the design, for the tests of the toolkit
// operations: on a client area named as designed, one plain Qt widget per
// control (a label, a line edit, a push button or a group box) with the
// control's name, caption, place and visibility, and the one-second timer
// "Timer1", running. The game's real window (app/) dresses the same
// controls up; the operations need no more than this.
class DesignWindow : public QWidget {
public:
    DesignWindow();

    QWidget* clientArea() const { return client_; }
    QWidget* control(cifrelle::ui::Control control) const { return controls_.at(control); }
    QTimer* timer() const { return timer_; }

private:
    QWidget* client_;
    QTimer* timer_;
    std::map<cifrelle::ui::Control, QWidget*> controls_;
};
