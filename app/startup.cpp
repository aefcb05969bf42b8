// SPDX-License-Identifier: GPL-3.0-or-later
#include "startup.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace cifrelle::app {

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
