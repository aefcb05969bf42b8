// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QMessageBox>

class QEventLoop;

namespace cifrelle::ui {

// A message box with one OK button that stays on the screen once answered,
// until its owner takes it down (hides and deletes it): the answer ends the
// wait, not the box, so that the window never takes the focus back between
// two boxes in a row. A box closed some other way, from its title bar,
// closes as usual.
class StayingBox : public QMessageBox {
    Q_OBJECT

public:
    // A box showing `text` as plain text.
    StayingBox(Icon icon, const QString& title, const QString& text, QWidget* parent);

    // Shows the box, modal, and returns once the player has answered it.
    void ask();

private:
    void answered();

    QEventLoop* loop_ = nullptr;
};

} // namespace cifrelle::ui
