// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cifrelle/records/recordfiles.h"

#include <functional>

namespace cifrelle::app {

// The folder of the record files on this system. On Windows it is the
// player's application-data folder (QStandardPaths::AppDataLocation, e.g.
// C:\Users\Nicolò\AppData\Roaming\cifrelle); elsewhere it follows the XDG
// rules, as dataHomeRecordFolder() says.
records::RecordFolder recordFolder();

// The record folder by the XDG Base Directory rules, from the environment
// that `environment` reads (nullptr for a variable that is not set):
// $XDG_DATA_HOME/cifrelle when XDG_DATA_HOME is an absolute path, otherwise
// $HOME/.local/share/cifrelle (a relative or empty XDG_DATA_HOME is
// ignored). A missing, empty or relative HOME gives no folder but the
// problem, in Italian. (Qt 6.4 would take a relative XDG_DATA_HOME relative
// to the current folder, and a missing HOME as "/".)
records::RecordFolder dataHomeRecordFolder(const std::function<const char*(const char*)>& environment);

} // namespace cifrelle::app
