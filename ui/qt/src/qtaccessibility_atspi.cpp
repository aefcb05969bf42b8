// SPDX-License-Identifier: GPL-3.0-or-later
#include "qtaccessibility_platform.h"

namespace cifrelle::ui {

void notifyScreenReader(QObject*, const QString&)
{
    // AT-SPI passes the notification on when it is shown.
}

} // namespace cifrelle::ui
