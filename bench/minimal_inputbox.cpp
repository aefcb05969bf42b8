// SPDX-License-Identifier: GPL-3.0-or-later
// The smallest Qt Widgets program that shows the game's name box: the
// yardstick for the game's own start-up time and memory. The box is the
// same as the game's, its buttons in Italian too ("OK", "Annulla"): Qt's
// Italian texts are loaded as the game loads them. With --owner the box is
// owned by a hidden window (the game's box stands alone).
#include <QApplication>
#include <QInputDialog>
#include <QLibraryInfo>
#include <QTranslator>
#include <QWidget>

#include <cstring>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QTranslator italian;
    if (italian.load(QStringLiteral("qt_it"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(&italian);
    QWidget owner;
    const bool owned = argc > 1 && std::strcmp(argv[1], "--owner") == 0;
    const QString name = QInputDialog::getText(owned ? &owner : nullptr,
                                               "Impariamo ad approssimare", "Come ti chiami?");
    return name.isNull() ? 1 : 0;
}
