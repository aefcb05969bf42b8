// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QPointer>
#include <QString>

#include <memory>

class QFrame;
class QLabel;
class QObject;
class QWidget;

namespace cifrelle::ui {

// The game's wait for something slow (another game's save) over the game
// window: the moments in which the window answers (doEvents), the notice
// over the middle of the window, and the way out of the wait, a button on
// the notice or a close of the window.
//
// A close of the window is the way out (refused, the window stays) while
// the game waits, and also once an earlier close has gone to the game,
// whose end may be waiting: every close from then on comes to the way out,
// however often the player presses it. Any other close is the window's
// own.
class WaitNotice {
public:
    explicit WaitNotice(QWidget& window);
    ~WaitNotice();

    WaitNotice(const WaitNotice&) = delete;
    WaitNotice& operator=(const WaitNotice&) = delete;

    // Handles what has come meanwhile and what comes during a few
    // hundredths of a second more, as it comes, then returns.
    void doEvents();

    // Shows `text` on the notice, painted at once; returns whether the
    // player has not seen it yet (a notice already showing the same text
    // stays as it is).
    bool show(const QString& text);
    // Takes the notice away with its way out; returns the text it showed
    // (empty: there was none).
    QString hide();

    // A button `caption` on the notice, with the keyboard focus, read with
    // the notice.
    void offerWayOut(const QString& caption);
    bool wayOutTaken() const { return wayOutTaken_; }

private:
    QLabel* text() const;
    void place();

    QWidget* window_;
    QPointer<QFrame> notice_;
    bool waiting_ = false;   // inside doEvents()
    bool closeGone_ = false; // a close of the window has gone to the game
    bool wayOutTaken_ = false;
    std::unique_ptr<QObject> closeWatch_; // on the window
};

} // namespace cifrelle::ui
