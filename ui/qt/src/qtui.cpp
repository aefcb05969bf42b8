// SPDX-License-Identifier: GPL-3.0-or-later
#include "cifrelle/ui/qt/qtui.h"

#include "qthelpers.h"
#include "stayingbox.h"

#include "cifrelle/ui/formdesign.h"
#include "cifrelle/ui/qt/form1window.h"
#include "cifrelle/ui/qt/qtaccessibility.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QColor>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDialog>
#include <QDialogButtonBox>
#include <QEvent>
#include <QEventLoop>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QString>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>
#include <QWindow>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <stdexcept>
#include <utility>

namespace cifrelle::ui {

namespace {

std::string readText(const QWidget* widget)
{
    if (auto edit = qobject_cast<const QLineEdit*>(widget))
        return edit->text().toStdString();
    if (auto label = qobject_cast<const QLabel*>(widget))
        return label->text().toStdString();
    if (auto button = qobject_cast<const QAbstractButton*>(widget))
        return unescapeMnemonics(button->text()).toStdString();
    if (auto frame = qobject_cast<const QGroupBox*>(widget))
        return unescapeMnemonics(frame->title()).toStdString();
    throw std::logic_error("control without a text: " + widget->objectName().toStdString());
}

// Tells assistive technology that a label reads anew. A label whose text
// changes already says so itself (its name is its text); this is for the
// message label, whose message is news even when it repeats the last one.
void announceNameChange(QWidget* widget)
{
    QAccessibleEvent event(widget, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&event);
}

void writeText(QWidget* widget, const QString& text)
{
    if (auto edit = qobject_cast<QLineEdit*>(widget)) {
        edit->setText(text);
        return;
    }
    if (auto label = qobject_cast<QLabel*>(widget)) {
        label->setTextFormat(Qt::PlainText);
        label->setText(text);
        return;
    }
    if (auto button = qobject_cast<QAbstractButton*>(widget)) {
        button->setText(escapeMnemonics(text));
        return;
    }
    if (auto frame = qobject_cast<QGroupBox*>(widget)) {
        frame->setTitle(escapeMnemonics(text));
        return;
    }
    throw std::logic_error("control without a text: " + widget->objectName().toStdString());
}

// Refuses the window's close while `refuse` says so.
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

[[noreturn]] void terminateNow()
{
    std::fflush(stdout);
    std::fflush(stderr);
    std::_Exit(0);
}

} // namespace

QtUi::QtUi(Form1Window& window)
    : window_(&window), endAction_(terminateNow), settler_(std::make_unique<QObject>())
{
    // A box that has the focus takes down the boxes answered before it.
    QObject::connect(
        qGuiApp, &QGuiApplication::focusWindowChanged, settler_.get(), [this](QWindow* focus) {
            const bool answered =
                std::any_of(answeredBoxes_.begin(), answeredBoxes_.end(), [focus](const auto& box) {
                    return box && box->windowHandle() == focus;
                });
            if (boxesOpen_ > 0 && focus && !answered)
                takeDownAnsweredBoxes();
        });
    // Closing the window while the game waits is leaving the wait: the game
    // then ends by itself, saying why.
    closeWatch_ = std::make_unique<CloseWatch>([this] {
        if (waiting_)
            wayOutTaken_ = true;
        return waiting_;
    });
    window.installEventFilter(closeWatch_.get());
}

QtUi::~QtUi()
{
    // A box answered before the window was shown has no owner to take it
    // along.
    takeDownAnsweredBoxes();
}

QWidget* QtUi::widget(Control control) const
{
    return window_->control(control);
}

std::string QtUi::text(Control control) const
{
    return readText(widget(control));
}

void QtUi::setText(Control control, const std::string& text)
{
    writeText(widget(control), fromView(text));
}

std::string QtUi::caption(Control control) const
{
    return text(control);
}

void QtUi::setCaption(Control control, const std::string& caption)
{
    QWidget* w = widget(control);
    const QString text = fromView(caption);
    // Feedback, scores and the clock are announced when they change (the
    // label does it); the message is announced at every answer.
    const auto* label = qobject_cast<const QLabel*>(w);
    const bool repeated = label && label->text() == text;
    writeText(w, text);
    if (repeated && designOf(control).feedback == Feedback::message)
        announceNameChange(w);
    if (designOf(control).sizesItself) {
        // The label fits its new caption, keeping its left and top.
        const QPoint place = w->pos();
        w->adjustSize();
        w->move(place);
    }
}

void QtUi::setVisible(Control control, bool visible)
{
    widget(control)->setVisible(visible);
}

void QtUi::setForeColor(Control control, Colour colour)
{
    setTextColour(widget(control), colour);
}

void QtUi::setFocus(Control control)
{
    pendingFocus_ = widget(control);
    settleLater();
}

void QtUi::announce(const std::string& text)
{
    pendingAnnouncements_.push_back(fromView(text));
    settleLater();
}

void QtUi::settleLater()
{
    if (!std::exchange(settleQueued_, true))
        QMetaObject::invokeMethod(
            settler_.get(), [this] { settle(); }, Qt::QueuedConnection);
}

void QtUi::settle()
{
    settleQueued_ = false;
    QWidget* focus = std::exchange(pendingFocus_, nullptr);
    const std::vector<QString> said = std::exchange(pendingAnnouncements_, {});
    // A control the focus comes into is read with its description (now, or
    // when the window becomes active): an announcement it begins with is
    // heard there.
    QString read;
    if (focus && !focus->hasFocus()) {
        focus->setFocus(Qt::OtherFocusReason);
        read = accessibleDescription(focus);
    }
    for (const QString& text : said) {
        if (read.isEmpty() || !read.startsWith(text))
            ui::announce(window_, text);
    }
}

void QtUi::setTimerEnabled(bool enabled)
{
    QTimer* timer = window_->timer();
    if (!enabled)
        timer->stop();
    else if (!timer->isActive())
        timer->start();
}

void QtUi::messageBox(const std::string& prompt, BoxStyle style,
                      const std::optional<std::string>& title)
{
    settle();
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    if (style == BoxStyle::Information)
        icon = QMessageBox::Information;
    else if (style == BoxStyle::Warning)
        icon = QMessageBox::Warning;
    const QString caption = title ? fromView(*title) : QString::fromUtf8(applicationTitle);
    const QString text = fromView(prompt);
    if (isTooLongForABox(text)) {
        showScrollingBox(icon, caption, text);
        return;
    }
    // Between boxes in a row the window never takes the focus back (a
    // screen reader would read the window, and lose the next box's text):
    // the boxes answered go once this one has the focus, or once the game
    // is back at the window with no box open.
    auto* box = new StayingBox(icon, caption, text, boxOwner());
    ++boxesOpen_;
    box->ask();
    --boxesOpen_;
    answeredBoxes_.emplace_back(box);
    QMetaObject::invokeMethod(
        settler_.get(),
        [this] {
            if (boxesOpen_ == 0) {
                takeDownAnsweredBoxes();
                window_->activateWindow();
            }
        },
        Qt::QueuedConnection);
    // At the latest (a desktop that does not hand the focus over).
    QTimer::singleShot(3000, settler_.get(), [this] { takeDownAnsweredBoxes(); });
}

QWidget* QtUi::boxOwner() const
{
    // Before the window is first shown (start-up's boxes) there is nothing
    // for a box to stand over: it stands alone, and the window's own
    // native window is not made for it.
    return window_->isVisible() ? window_ : nullptr;
}

void QtUi::takeDownAnsweredBoxes()
{
    for (const QPointer<QWidget>& box : std::exchange(answeredBoxes_, {})) {
        if (box) {
            box->hide();
            box->deleteLater();
        }
    }
}

bool QtUi::isTooLongForABox(const QString& text)
{
    return text.size() > 2000 || text.count(QLatin1Char('\n')) > 30;
}

void QtUi::showScrollingBox(int icon, const QString& caption, const QString& text)
{
    // A message box grows with its text: a very long one (a record file
    // holding pages of text) would push its OK button off the screen. The
    // whole text is shown all the same, in a box that fits and scrolls.
    QDialog box(boxOwner());
    box.setWindowTitle(caption);
    auto* layout = new QVBoxLayout(&box);
    auto* row = new QHBoxLayout;
    if (icon != QMessageBox::NoIcon) {
        auto* picture = new QLabel(&box);
        const QStyle::StandardPixmap kind = icon == QMessageBox::Warning
                                                ? QStyle::SP_MessageBoxWarning
                                                : QStyle::SP_MessageBoxInformation;
        const int size = box.style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, &box);
        picture->setPixmap(box.style()->standardIcon(kind, nullptr, &box).pixmap(size));
        picture->setAlignment(Qt::AlignTop);
        row->addWidget(picture);
    }
    auto* view = new QPlainTextEdit(&box);
    view->setObjectName(QStringLiteral("messageText"));
    view->setReadOnly(true);
    view->setPlainText(text);
    view->setAccessibleName(caption);
    row->addWidget(view, 1);
    layout->addLayout(row);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, &box);
    buttons->setCenterButtons(true);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &box, &QDialog::accept);
    layout->addWidget(buttons);

    const QScreen* screen = window_->screen();
    const QSize room = screen ? screen->availableGeometry().size() * 0.8 : QSize(640, 480);
    box.resize(std::min(640, room.width()), std::min(480, room.height()));
    buttons->button(QDialogButtonBox::Ok)->setFocus();
    ++boxesOpen_;
    box.exec();
    --boxesOpen_;
}

void QtUi::doEvents()
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

QLabel* QtUi::noticeText() const
{
    return notice_->findChild<QLabel*>(QStringLiteral("noticeText"));
}

void QtUi::placeNotice()
{
    notice_->adjustSize();
    notice_->move((window_->width() - notice_->width()) / 2,
                  (window_->height() - notice_->height()) / 2);
}

void QtUi::showNotice(const std::string& text)
{
    // A framed box over the middle of the window, painted at once: the
    // event thread is busy waiting, and handles the window's events only
    // when the game lets it (doEvents). Shown again with the same text, it
    // stays as it is and is not announced again.
    const QString shown = fromView(text);
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
    QLabel* label = noticeText();
    if (!notice_->isVisible() || label->text() != shown) {
        label->setText(shown);
        placeNotice();
        notice_->show();
        notice_->raise();
        notice_->repaint();
        // A player who cannot see it hears it once, when it appears.
        announce(text);
    }
}

void QtUi::offerWayOut(const std::string& caption)
{
    if (!notice_ || notice_->findChild<QPushButton*>(QStringLiteral("wayOut")))
        return;
    auto* button = new QPushButton(escapeMnemonics(fromView(caption)), notice_);
    button->setObjectName(QStringLiteral("wayOut"));
    // Enter presses it, as Space does.
    button->setAutoDefault(true);
    // The screen reader reads the notice with it as the focus comes in.
    button->setAccessibleDescription(noticeText()->text());
    QObject::connect(button, &QPushButton::clicked, settler_.get(),
                     [this] { wayOutTaken_ = true; });
    notice_->layout()->addWidget(button);
    notice_->layout()->setAlignment(button, Qt::AlignHCenter);
    // Shown first: the notice then grows to hold it.
    button->show();
    placeNotice();
    button->setFocus(Qt::OtherFocusReason);
    notice_->repaint();
}

void QtUi::hideNotice()
{
    if (!notice_)
        return;
    // What tells the screen reader goes with it (said or still to be
    // said), unless it has told something else since.
    const QString text = noticeText()->text();
    std::erase(pendingAnnouncements_, text);
    withdrawAnnouncement(window_, text);
    delete notice_;
}

std::string QtUi::inputBox(const std::string& prompt, const std::string& title)
{
    settle();
    QInputDialog box(boxOwner());
    box.setInputMode(QInputDialog::TextInput);
    box.setWindowTitle(fromView(title));
    box.setLabelText(fromView(prompt));
    // The prompt is shown as it is: no markup, no mnemonics. (Asking for the
    // size lays the box out, which gives its label the field as buddy.)
    (void)box.sizeHint();
    for (QLabel* label : box.findChildren<QLabel*>()) {
        label->setTextFormat(Qt::PlainText);
        if (label->buddy())
            label->setText(escapeMnemonics(fromView(prompt)));
    }
    ++boxesOpen_;
    const bool accepted = box.exec() == QDialog::Accepted;
    --boxesOpen_;
    if (!accepted)
        return {};
    return box.textValue().toStdString();
}

void QtUi::end()
{
    endAction_();
}

} // namespace cifrelle::ui
