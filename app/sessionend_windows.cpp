// SPDX-License-Identifier: GPL-3.0-or-later
// Windows ends a program with the session through its window messages,
// which Qt turns into the commit-data request: no signal to watch.
#include "sessionend.h"

namespace cifrelle::app {

void onEndSignals(QObject&, std::function<void()>) {}

} // namespace cifrelle::app
