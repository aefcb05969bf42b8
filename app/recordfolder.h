// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cifrelle/records/recordfiles.h"

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

class QSettings;
class QString;

namespace cifrelle::app {

// Qt's system-wide settings file for the organisation and application
// "cifrelle" on Linux and other Unix systems. The game reads this file
// alone: no user's own settings, no XDG_CONFIG_DIRS.
inline constexpr const char* systemSettingsFile = "/etc/xdg/cifrelle/cifrelle.conf";

// The folder of the record files on this system (recordfolder_linux.cpp,
// recordfolder_windows.cpp). An administrator may choose one folder for
// every account: on Windows in the registry,
// HKEY_LOCAL_MACHINE\SOFTWARE\cifrelle\cifrelle\record, value folder;
// elsewhere in `settingsFile` (the shipped game: systemSettingsFile), group
// [record], key folder. Without that setting each account has its own
// folder: on Windows the player's application-data folder
// (QStandardPaths::AppDataLocation, e.g.
// C:\Users\Nicolò\AppData\Roaming\cifrelle); elsewhere by the XDG rules,
// as dataHomeRecordFolder() says. A setting that is there but cannot be
// read gives no folder but the problem: never the player's own folder.
// The same place says whether the school keeps the teacher's register in
// that folder (RecordFolder::keepRegister): value register, "true" to keep
// it; anything else, or nothing, keeps none; and whether only the class's
// keeper writes it (RecordFolder::guarded): value guarded, "true".
records::RecordFolder recordFolder(const std::filesystem::path& settingsFile = systemSettingsFile);

// The value of record/folder in `settings` as the folder an administrator
// chose, `setting` naming it in messages; nothing when there is none.
std::optional<records::RecordFolder> chosenRecordFolder(const QSettings& settings,
                                                        const std::string& setting);

// Whether record/register in `settings` is "true": the teacher's register
// is kept.
bool registerKept(const QSettings& settings);

// Whether record/guarded in `settings` is "true": the class folder is
// guarded, and the game asks the class's keeper (cifrelle-classe) instead
// of writing it.
bool folderGuarded(const QSettings& settings);

// The record folder by the XDG Base Directory rules (Linux only), from the
// environment that `environment` reads (nullptr for a variable not set):
// $XDG_DATA_HOME/cifrelle when XDG_DATA_HOME is an absolute path, otherwise
// $HOME/.local/share/cifrelle (a relative or empty XDG_DATA_HOME is
// ignored). A missing, empty or relative HOME gives no folder but the
// problem, in Italian. (Qt 6.4 would take a relative XDG_DATA_HOME relative
// to the current folder, and a missing HOME as "/".)
records::RecordFolder
dataHomeRecordFolder(const std::function<const char*(const char*)>& environment);

// The path that a folder's text from the settings names on this system: on
// Linux in the file names' encoding, on Windows with its own separators.
std::filesystem::path settingPath(const QString& text);

} // namespace cifrelle::app
