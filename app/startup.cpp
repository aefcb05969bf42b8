// SPDX-License-Identifier: GPL-3.0-or-later
#include "startup.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace cifrelle::app {

std::optional<std::string> missingDisplayMessage(const EnvironmentReader& environment)
{
#if defined(Q_OS_WIN) || defined(Q_OS_MACOS)
    // The desktop is always there: no display to name.
    (void)environment;
    return std::nullopt;
#else
    const auto isSet = [&environment](const char* name) {
        const char* value = environment(name);
        return value && *value;
    };
    if (isSet("DISPLAY") || isSet("WAYLAND_DISPLAY") || isSet("QT_QPA_PLATFORM"))
        return std::nullopt;
    return std::string("cifrelle: nessun display grafico disponibile (DISPLAY non impostato); "
                       "avviare il gioco da una sessione grafica");
#endif
}

bool useItalian(QCoreApplication& application)
{
    QLocale::setDefault(QLocale(QLocale::Italian, QLocale::Italy));
    auto* translator = new QTranslator(&application);
    // qt_it gathers Qt's Italian texts under one name on Linux and in what
    // windeployqt puts beside the program on Windows.
    if (!translator->load(QStringLiteral("qt_it"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    QCoreApplication::installTranslator(translator);
    return true;
}

} // namespace cifrelle::app
