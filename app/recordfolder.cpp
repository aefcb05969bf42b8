// SPDX-License-Identifier: GPL-3.0-or-later
#include "recordfolder.h"

#include <cstdlib>
#include <string>

#ifdef _WIN32
#include <QCoreApplication>
#include <QDir>
#include <QStandardPaths>
#include <QString>
#endif

namespace fs = std::filesystem;

namespace cifrelle::app {

namespace {

// An absolute path named by the variable, or nothing.
const char* absolutePath(const char* value)
{
    return value && *value == '/' ? value : nullptr;
}

} // namespace

records::RecordFolder dataHomeRecordFolder(const std::function<const char*(const char*)>& environment)
{
    if (const char* dataHome = absolutePath(environment("XDG_DATA_HOME")))
        return {fs::path(dataHome) / "cifrelle", {}};
    const char* home = environment("HOME");
    if (absolutePath(home))
        return {fs::path(home) / ".local" / "share" / "cifrelle", {}};
    if (!home || !*home)
        return {{}, "non trovo la cartella personale (la variabile d'ambiente HOME è vuota o non è "
                    "impostata)"};
    return {{}, "non trovo la cartella personale (la variabile d'ambiente HOME vale «" + std::string(home) +
                    "», che non è un percorso assoluto)"};
}

records::RecordFolder recordFolder()
{
#ifdef _WIN32
    const QString location = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    if (location.isEmpty() || QCoreApplication::applicationName().isEmpty())
        return {{}, "non trovo la cartella dei dati dell'applicazione"};
    return {fs::path(QDir::toNativeSeparators(location).toStdWString()), {}};
#else
    return dataHomeRecordFolder([](const char* name) -> const char* { return std::getenv(name); });
#endif
}

} // namespace cifrelle::app
