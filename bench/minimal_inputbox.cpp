// SPDX-License-Identifier: GPL-3.0-or-later
// The smallest Qt Widgets program that shows the game's name box: the
// yardstick for the game's own start-up time and memory.
#include <QApplication>
#include <QInputDialog>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QString name =
        QInputDialog::getText(nullptr, "Impariamo ad approssimare", "Come ti chiami?");
    return name.isNull() ? 1 : 0;
}
