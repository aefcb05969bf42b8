// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

class QObject;

namespace cifrelle::ui {

// What the system's accessibility bridge needs, besides the announcer shown
// with `text`, for the screen reader to say it: nothing more over AT-SPI
// (qtaccessibility_atspi.cpp), which passes the shown notification on; a
// notification event of its own under UI Automation
// (qtaccessibility_windows.cpp).
void notifyScreenReader(QObject* announcer, const QString& text);

} // namespace cifrelle::ui
