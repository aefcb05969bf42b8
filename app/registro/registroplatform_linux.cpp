// SPDX-License-Identifier: GPL-3.0-or-later
// Linux: the exports are drawn on Qt's offscreen platform, with or without a
// display; the standard streams are the terminal's already; the window's
// class is the program's own.
#include "registroprogram.h"

#include <QByteArray>
#include <QtGlobal>

namespace cifrelle::app {

void useNoDisplay()
{
    qputenv("QT_QPA_PLATFORM", QByteArrayLiteral("offscreen"));
}

void useParentConsole() {}

const char* applicationName()
{
    return "cifrelle-registro";
}

} // namespace cifrelle::app
