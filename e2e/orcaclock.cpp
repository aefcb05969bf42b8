// SPDX-License-Identifier: GPL-3.0-or-later
// The game for the screen reader test: its clock ticks once a second while
// the test plays, and every 30 ms from the moment the file named by
// CIFRELLE_FAST_CLOCK_FILE exists, so that the test then hears the time
// left and the end of the game within half a minute. (A clock that ticks
// fast from the start floods the accessibility bus with the clock's changes
// and holds up the keys the screen reader checks.) Built only with the
// tests, never installed.
#include "program.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFile>
#include <QTimer>
#include <QWidget>

#include <chrono>

namespace {

void watchForFastClock()
{
    const QString trigger = qEnvironmentVariable("CIFRELLE_FAST_CLOCK_FILE");
    if (trigger.isEmpty())
        return;
    auto* watch = new QTimer(QCoreApplication::instance());
    QObject::connect(watch, &QTimer::timeout, watch, [watch, trigger] {
        if (!QFile::exists(trigger))
            return;
        for (QWidget* top : QApplication::topLevelWidgets()) {
            if (auto* clock = top->findChild<QTimer*>(QStringLiteral("Timer1")))
                clock->setInterval(30);
        }
        watch->stop();
    });
    watch->start(50);
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(watchForFastClock)

int main(int argc, char* argv[])
{
    // The way out of a wait for another game's save comes 2 s after the
    // notice rather than 10 s, so that the test hears it soon.
    cifrelle::app::GameOptions options;
    options.wayOutAfter = std::chrono::seconds(2);
    return cifrelle::app::runGame(argc, argv, options);
}
