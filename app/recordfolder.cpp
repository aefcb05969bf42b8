// SPDX-License-Identifier: GPL-3.0-or-later
#include "recordfolder.h"

#include <QFile>
#include <QSettings>
#include <QString>
#include <QVariant>

#include <cstdlib>
#include <string>

#ifdef _WIN32
#include <QCoreApplication>
#include <QDir>
#include <QStandardPaths>
#endif

namespace fs = std::filesystem;

namespace cifrelle::app {

namespace {

// An absolute path named by the variable, or nothing.
const char* absolutePath(const char* value)
{
    return value && *value == '/' ? value : nullptr;
}

fs::path toPath(const QString& text)
{
#ifdef _WIN32
    return fs::path(QDir::toNativeSeparators(text).toStdWString());
#else
    return fs::path(QFile::encodeName(text).toStdString());
#endif
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

std::optional<records::RecordFolder> chosenRecordFolder(const QSettings& settings,
                                                        const std::string& setting)
{
    const QVariant value = settings.value(QStringLiteral("record/folder"));
    if (!value.isValid() && !settings.contains(QStringLiteral("record/folder")))
        return std::nullopt;
    // Unquoted commas make a list of Qt's settings files.
    if (value.typeId() != QMetaType::QString) {
        return records::RecordFolder{{},
                                     setting + " non contiene un solo percorso (un percorso con "
                                               "una virgola va scritto tra virgolette)",
                                     setting};
    }
    return records::RecordFolder{toPath(value.toString()), {}, setting};
}

std::optional<records::RecordFolder> chosenRecordFolder(const fs::path& settingsFile)
{
    const QSettings settings(QFile::decodeName(settingsFile.string().c_str()),
                             QSettings::IniFormat);
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

records::RecordFolder recordFolder([[maybe_unused]] const fs::path& settingsFile)
{
#ifdef _WIN32
    QSettings settings(QSettings::NativeFormat, QSettings::SystemScope, QStringLiteral("cifrelle"),
                       QStringLiteral("cifrelle"));
    settings.setFallbacksEnabled(false);
    if (auto chosen = chosenRecordFolder(
            settings, "il valore folder della chiave "
                      "HKEY_LOCAL_MACHINE\\SOFTWARE\\cifrelle\\cifrelle\\record"))
        return *chosen;
    const QString location = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    if (location.isEmpty() || QCoreApplication::applicationName().isEmpty())
        return {{}, "non trovo la cartella dei dati dell'applicazione", {}};
    return {toPath(location), {}, {}};
#else
    if (auto chosen = chosenRecordFolder(settingsFile))
        return *chosen;
    return dataHomeRecordFolder([](const char* name) -> const char* { return std::getenv(name); });
#endif
}

} // namespace cifrelle::app
