// SPDX-License-Identifier: GPL-3.0-or-later
#include "cifrelle/ui/qt/qtui.h"

#include "boxes.h"
#include "qthelpers.h"
#include "waitnotice.h"

#include "cifrelle/ui/formdesign.h"
#include "cifrelle/ui/qt/form1window.h"
#include "cifrelle/ui/qt/qtaccessibility.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QString>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <cstdlib>
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

[[noreturn]] void terminateNow()
{
    std::fflush(stdout);
    std::fflush(stderr);
    std::_Exit(0);
}

} // namespace

QtUi::QtUi(std::function<Form1Window&()> window)
    : makeWindow_(std::move(window)),
      // A box stands over the window once it is on the screen, alone before.
      boxes_(std::make_unique<Boxes>(
          [this]() -> QWidget* { return window_ && window_->isVisible() ? window_ : nullptr; })),
      endAction_(terminateNow), settler_(std::make_unique<QObject>())
{
}

QtUi::QtUi(Form1Window& window) : QtUi([&window]() -> Form1Window& { return window; })
{
    (void)this->window();
}

QtUi::~QtUi() = default;

Form1Window& QtUi::window() const
{
    if (!window_) {
        window_ = &makeWindow_();
        wait_ = std::make_unique<WaitNotice>(*window_);
        if (timerOff_)
            window_->timer()->stop();
    }
    return *window_;
}

QWidget* QtUi::widget(Control control) const
{
    return window().control(control);
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
            ui::announce(&window(), text);
    }
}

void QtUi::setTimerEnabled(bool enabled)
{
    if (!window_ && !enabled) {
        timerOff_ = true;
        return;
    }
    QTimer* timer = window().timer();
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
    boxes_->message(icon, title ? fromView(*title) : QString::fromUtf8(applicationTitle),
                    fromView(prompt));
}

std::string QtUi::inputBox(const std::string& prompt, const std::string& title)
{
    settle();
    return boxes_->input(fromView(title), fromView(prompt)).value_or(QString()).toStdString();
}

bool QtUi::isTooLongForABox(const QString& text)
{
    return Boxes::isTooLong(text);
}

void QtUi::doEvents()
{
    window();
    wait_->doEvents();
}

void QtUi::showNotice(const std::string& text)
{
    // A player who cannot see it hears it once, when it appears.
    window();
    if (wait_->show(fromView(text)))
        announce(text);
}

void QtUi::offerWayOut(const std::string& caption)
{
    window();
    wait_->offerWayOut(fromView(caption));
}

bool QtUi::wayOutTaken() const
{
    return wait_ && wait_->wayOutTaken();
}

void QtUi::hideNotice()
{
    // What tells the screen reader goes with it (said or still to be
    // said), unless it has told something else since.
    const QString text = wait_ ? wait_->hide() : QString();
    if (text.isEmpty())
        return;
    std::erase(pendingAnnouncements_, text);
    withdrawAnnouncement(window_, text);
}

void QtUi::end()
{
    endAction_();
}

} // namespace cifrelle::ui
