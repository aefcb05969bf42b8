// SPDX-License-Identifier: GPL-3.0-or-later
#include "waitnotice.h"

#include "qthelpers.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEvent>
#include <QEventLoop>
#include <QFrame>
#include <QLabel>
#include <QLayout>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>

#include <algorithm>
#include <functional>
#include <utility>

namespace cifrelle::ui {

namespace {

// Refuses the window's close when `refuse` says so.
class CloseWatch : public QObject {
public:
    explicit CloseWatch(std::function<bool()> refuse) : refuse_(std::move(refuse)) {}

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Close && refuse_()) {
            event->ignore();
            return true;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<bool()> refuse_;
};

// How long each doEvents() answers what comes, at most.
constexpr int answeringWhileWaitingMs = 20;

} // namespace

WaitNotice::WaitNotice(QWidget& window) : window_(&window)
{
    closeWatch_ = std::make_unique<CloseWatch>([this] {
        const bool wayOut = waiting_ || closeGone_;
        if (wayOut)
            wayOutTaken_ = true;
        closeGone_ = true;
        return wayOut;
    });
    window.installEventFilter(closeWatch_.get());
}

WaitNotice::~WaitNotice() = default;

void WaitNotice::doEvents()
{
    // The game waits meanwhile: a close of the window now is the player
    // leaving the wait (closeWatch_). What comes during a short while is
    // handled as it comes: a screen reader asks many questions in a row,
    // each waiting for the last answer.
    waiting_ = true;
    const QDeadlineTimer deadline(answeringWhileWaitingMs, Qt::PreciseTimer);
    QTimer wake; // never a wait for events with nothing to end it
    wake.setSingleShot(true);
    wake.setTimerType(Qt::PreciseTimer);
    do {
        if (!wake.isActive())
            wake.start(std::max(1, static_cast<int>(deadline.remainingTime())));
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    } while (!deadline.hasExpired() && !wayOutTaken_);
    waiting_ = false;
}

QLabel* WaitNotice::text() const
{
    return notice_->findChild<QLabel*>(QStringLiteral("noticeText"));
}

void WaitNotice::place()
{
    notice_->adjustSize();
    notice_->move((window_->width() - notice_->width()) / 2,
                  (window_->height() - notice_->height()) / 2);
}

bool WaitNotice::show(const QString& shown)
{
    // A framed box over the middle of the window, painted at once: the
    // event thread is busy waiting, and handles the window's events only
    // when the game lets it (doEvents).
    if (!notice_) {
        notice_ = new QFrame(window_);
        notice_->setObjectName(QStringLiteral("notice"));
        notice_->setFrameStyle(QFrame::Box | QFrame::Plain);
        notice_->setAutoFillBackground(true);
        auto* layout = new QVBoxLayout(notice_);
        layout->setContentsMargins(12, 12, 12, 12);
        auto* label = new QLabel(notice_);
        label->setObjectName(QStringLiteral("noticeText"));
        label->setTextFormat(Qt::PlainText);
        label->setAlignment(Qt::AlignCenter);
        layout->addWidget(label);
    }
    QLabel* label = text();
    if (notice_->isVisible() && label->text() == shown)
        return false;
    label->setText(shown);
    place();
    notice_->show();
    notice_->raise();
    notice_->repaint();
    return true;
}

void WaitNotice::offerWayOut(const QString& caption)
{
    if (!notice_ || notice_->findChild<QPushButton*>(QStringLiteral("wayOut")))
        return;
    auto* button = new QPushButton(escapeMnemonics(caption), notice_);
    button->setObjectName(QStringLiteral("wayOut"));
    // Enter presses it, as Space does.
    button->setAutoDefault(true);
    // The screen reader reads the notice with it as the focus comes in.
    button->setAccessibleDescription(text()->text());
    QObject::connect(button, &QPushButton::clicked, button, [this] { wayOutTaken_ = true; });
    notice_->layout()->addWidget(button);
    notice_->layout()->setAlignment(button, Qt::AlignHCenter);
    // Shown first: the notice then grows to hold it.
    button->show();
    place();
    button->setFocus(Qt::OtherFocusReason);
    notice_->repaint();
}

QString WaitNotice::hide()
{
    if (!notice_)
        return {};
    const QString shown = text()->text();
    delete notice_;
    return shown;
}

} // namespace cifrelle::ui
