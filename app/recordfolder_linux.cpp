// SPDX-License-Identifier: GPL-3.0-or-later
// The record folder on Linux: the administrator's settings file, else the
// player's folder by the XDG rules.
#include "recordfolder.h"

#include <QFile>
#include <QSettings>
#include <QString>

#include <cstdlib>
#include <string>

namespace fs = std::filesystem;

namespace cifrelle::app {

namespace {

// An absolute path named by the variable, or nothing.
const char* absolutePath(const char* value)
{
    return value && *value == '/' ? value : nullptr;
}

} // namespace

records::RecordFolder
dataHomeRecordFolder(const std::function<const char*(const char*)>& environment)
{
    if (const char* dataHome = absolutePath(environment("XDG_DATA_HOME")))
        return {fs::path(dataHome) / "cifrelle", {}, {}};
    const char* home = environment("HOME");
    if (absolutePath(home))
        return {fs::path(home) / ".local" / "share" / "cifrelle", {}, {}};
    if (!home || !*home)
        return {{},
                "non trovo la cartella personale (la variabile d'ambiente HOME è vuota o non è "
                "impostata)",
                {}};
    return {{},
            "non trovo la cartella personale (la variabile d'ambiente HOME vale «" +
                std::string(home) + "», che non è un percorso assoluto)",
            {}};
}

// The folder an administrator chose in the settings file, or why it cannot
// be known; nothing when the file sets none.
std::optional<records::RecordFolder> chosenRecordFolder(const QSettings& settings,
                                                        const fs::path& settingsFile)
{
    const std::string file = "«" + records::pathText(settingsFile) + "»";
    const std::string setting =
        "l'impostazione folder del gruppo [record] in " + records::pathText(settingsFile);
    // A file that is there but cannot be read may name a folder: the
    // player's own is no stand-in for it.
    switch (settings.status()) {
    case QSettings::NoError: break;
    case QSettings::AccessError:
        return records::RecordFolder{
            {}, "non riesco a leggere il file delle impostazioni " + file, setting};
    case QSettings::FormatError:
        return records::RecordFolder{
            {}, "il file delle impostazioni " + file + " non è scritto correttamente", setting};
    }
    return chosenRecordFolder(settings, setting);
}

fs::path settingPath(const QString& text)
{
    return fs::path(QFile::encodeName(text).toStdString());
}

records::RecordFolder recordFolder(const fs::path& settingsFile)
{
    const QSettings settings(QFile::decodeName(settingsFile.string().c_str()),
                             QSettings::IniFormat);
    records::RecordFolder folder =
        chosenRecordFolder(settings, settingsFile)
            .value_or(dataHomeRecordFolder(
                [](const char* name) -> const char* { return std::getenv(name); }));
    folder.keepRegister = registerKept(settings);
    folder.guarded = !folder.setting.empty() && folderGuarded(settings);
    return folder;
}

} // namespace cifrelle::app
