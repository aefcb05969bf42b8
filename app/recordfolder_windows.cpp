// SPDX-License-Identifier: GPL-3.0-or-later
// The record folder on Windows: the administrator's value in the registry,
// else the player's application-data folder.
#include "recordfolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QSettings>
#include <QStandardPaths>
#include <QString>

namespace fs = std::filesystem;

namespace cifrelle::app {

fs::path settingPath(const QString& text)
{
    return fs::path(QDir::toNativeSeparators(text).toStdWString());
}

records::RecordFolder recordFolder(const fs::path&)
{
    QSettings settings(QSettings::NativeFormat, QSettings::SystemScope, QStringLiteral("cifrelle"),
                       QStringLiteral("cifrelle"));
    settings.setFallbacksEnabled(false);
    records::RecordFolder folder{{}, "non trovo la cartella dei dati dell'applicazione", {}};
    if (auto chosen = chosenRecordFolder(
            settings, "il valore folder della chiave "
                      "HKEY_LOCAL_MACHINE\\SOFTWARE\\cifrelle\\cifrelle\\record"))
        folder = *chosen;
    else if (const QString location =
                 QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
             !location.isEmpty() && !QCoreApplication::applicationName().isEmpty())
        folder = {settingPath(location), {}, {}};
    folder.keepRegister = registerKept(settings);
    folder.guarded = !folder.setting.empty() && folderGuarded(settings);
    return folder;
}

} // namespace cifrelle::app
