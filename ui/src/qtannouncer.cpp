// SPDX-License-Identifier: GPL-3.0-or-later
// What the game announces, said by the screen reader at once.
#include "cifrelle/ui/qtui.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QString>
#include <QWidget>

namespace cifrelle::ui {

namespace {

const QString announcerName = QStringLiteral("announcer");

// An invisible widget of the window that assistive technology sees as a
// notification. Screen readers speak a notification as it is shown (Orca
// does at once, whatever has the focus), and take nothing else from it: no
// focus, no place on the screen, no effect on the other controls.
class Announcer : public QWidget {
public:
    explicit Announcer(QWidget* window) : QWidget(window)
    {
        setObjectName(announcerName);
        setFocusPolicy(Qt::NoFocus);
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setGeometry(0, 0, 0, 0);
        hide();
    }

    QString message;
};

class AnnouncerAccessible : public QAccessibleWidget {
public:
    explicit AnnouncerAccessible(Announcer* announcer)
        : QAccessibleWidget(announcer, QAccessible::Notification)
    {
    }

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name)
            return static_cast<const Announcer*>(widget())->message;
        return {};
    }
};

QAccessibleInterface* announcerFactory(const QString&, QObject* object)
{
    if (object->objectName() != announcerName)
        return nullptr;
    auto* announcer = dynamic_cast<Announcer*>(object);
    return announcer ? new AnnouncerAccessible(announcer) : nullptr;
}

} // namespace

void QtUi::announce(const std::string& text)
{
    static const bool installed = [] {
        QAccessible::installFactory(announcerFactory);
        return true;
    }();
    (void)installed;
    auto* announcer = static_cast<Announcer*>(
        window_->findChild<QWidget*>(announcerName, Qt::FindDirectChildrenOnly));
    if (!announcer)
        announcer = new Announcer(window_);
    // Hidden, given the new text and shown again: a new notification each
    // time, even when the text repeats.
    announcer->hide();
    announcer->message = QString::fromStdString(text);
    announcer->show();
#ifdef Q_OS_WIN
    // Qt's UI Automation bridge passes no shown object on to Windows' screen
    // readers; a change of a text value it raises as a UI Automation
    // notification, the event by which an application has a message spoken.
    QAccessibleValueChangeEvent notification(announcer, announcer->message);
    QAccessible::updateAccessibility(&notification);
#endif
}

} // namespace cifrelle::ui
