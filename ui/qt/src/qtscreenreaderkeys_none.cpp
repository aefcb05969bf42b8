// SPDX-License-Identifier: GPL-3.0-or-later
// Where there is no accessibility bus to ask (Windows, macOS), the keys go
// straight to the window and the system's screen reader takes its own.
#include "cifrelle/ui/qt/qtscreenreaderkeys.h"

namespace cifrelle::ui {

ScreenReaderKeys::Question screenReaderKeyQuestion()
{
    return [](const QKeyEvent&, std::function<void(bool)>) { return false; };
}

} // namespace cifrelle::ui
