// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

// A bare window for the tests of the toolkit operations: on a client area
// named as designed, one plain Qt widget per control of the design (a
// label, a line edit, a push button or a group box) with its name, caption,
// place and visibility, and the running one-second timer "Timer1". The
// game's window (app/) dresses the same controls up.
class DesignWindow : public QWidget {
public:
    DesignWindow();
};
