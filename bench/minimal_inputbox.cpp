// SPDX-License-Identifier: GPL-3.0-or-later
// The smallest Qt Widgets program that shows the game's name box: the
// yardstick for the game's own start-up time and memory. With --owner the
// box is owned by a hidden window, as the game's box is by its main window.
#include <QApplication>
#include <QInputDialog>
#include <QWidget>

#include <cstring>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QWidget owner;
    const bool owned = argc > 1 && std::strcmp(argv[1], "--owner") == 0;
    const QString name = QInputDialog::getText(owned ? &owner : nullptr,
                                               "Impariamo ad approssimare", "Come ti chiami?");
    return name.isNull() ? 1 : 0;
}
