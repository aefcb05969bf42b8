// SPDX-License-Identifier: GPL-3.0-or-later
#include "qtaccessibility_platform.h"

#include <QAccessible>

namespace cifrelle::ui {

void notifyScreenReader(QObject* announcer, const QString& text)
{
    // Qt's UI Automation bridge passes no shown object on to Windows' screen
    // readers; a change of a text value it raises as a UI Automation
    // notification, the event by which an application has a message spoken.
    QAccessibleValueChangeEvent notification(announcer, text);
    QAccessible::updateAccessibility(&notification);
}

} // namespace cifrelle::ui
