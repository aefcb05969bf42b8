#include "program.h"

#include "gamesession.h"
#include "startup.h"

#include <QApplication>
#include <QTimer>

#include <cstdio>
#include <cstdlib>

namespace cifrelle::app {

int runGame(int argc, char* argv[], const GameOptions& options)
{
    if (const auto message = missingDisplayMessage(
            [](const char* name) -> const char* { return std::getenv(name); })) {
        std::fprintf(stderr, "%s\n", message->c_str());
        return 1;
    }

    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("cifrelle"));
    // Lets the desktop match the window with its menu entry and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("io.github.cifrelle.Cifrelle"));
    // No application display name: Qt would append it to the titles of the
    // boxes ("Impariamo ad approssimare — Cifrelle").
    useItalian(application);

    GameSession session(records::defaultDirectory());
    session.window.timer()->setInterval(options.tickIntervalMs);
    QApplication::setWindowIcon(session.window.windowIcon());

    session.form.Form_Load();
    session.window.show();
    // Takes the keyboard even where no window manager hands it over.
    session.window.activateWindow();
    return application.exec();
}

} // namespace cifrelle::app
