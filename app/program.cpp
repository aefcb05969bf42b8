// SPDX-License-Identifier: GPL-3.0-or-later
#include "program.h"

#include "gamesession.h"
#include "recordfolder.h"
#include "sessionend.h"
#include "startup.h"

#include "cifrelle/ui/qt/qtscreenreaderkeys.h"

#include <QApplication>
#include <QSessionManager>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace cifrelle::app {

namespace {

// What Qt says while it connects to the display is held back: when it
// cannot connect, the player gets one clear line instead of the toolkit's
// warnings and an abort.
std::vector<std::string> heldMessages;

void holdWhileConnecting(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    if (type == QtFatalMsg) {
        std::fprintf(stderr,
                     "cifrelle: impossibile aprire la finestra: il display grafico \"%s\" non "
                     "risponde; avviare il gioco da una sessione grafica\n",
                     qgetenv("DISPLAY").constData());
        std::fflush(stderr);
        std::_Exit(1);
    }
    heldMessages.push_back(message.toStdString());
}

// The application, where the keys the player types go to the screen reader
// first: a key the screen reader takes (its where-am-I, say) never reaches
// the window.
class GameApplication : public QApplication {
public:
    using QApplication::QApplication;

    bool notify(QObject* receiver, QEvent* event) override
    {
        const bool typed =
            (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease) &&
            event->spontaneous();
        if (typed && keys_.hold(receiver, static_cast<const QKeyEvent&>(*event)))
            return true;
        return QApplication::notify(receiver, event);
    }

private:
    ui::ScreenReaderKeys keys_;
};

} // namespace

int runGame(int argc, char* argv[], const GameOptions& options)
{
    if (const auto message = missingDisplayMessage(
            [](const char* name) -> const char* { return std::getenv(name); })) {
        std::fprintf(stderr, "%s\n", message->c_str());
        return 1;
    }

    qInstallMessageHandler(holdWhileConnecting);
    GameApplication application(argc, argv);
    qInstallMessageHandler(nullptr);
    for (const std::string& message : heldMessages)
        std::fprintf(stderr, "%s\n", message.c_str());
    heldMessages.clear();
    QApplication::setApplicationName(QStringLiteral("cifrelle"));
    // Lets the desktop match the window with its menu entry and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral(CIFRELLE_APP_ID));
    // No application display name: Qt would append it to the titles of the
    // boxes ("Impariamo ad approssimare — Cifrelle").
    if (!useItalian(application)) {
        // The game is played all the same; only the toolkit's own button
        // texts stay in English.
        std::fprintf(stderr, "cifrelle: traduzione italiana di Qt non trovata (pacchetto "
                             "qt6-translations-l10n); i pulsanti restano in inglese\n");
    }

    GameSession session(recordFolder(options.settingsFile), options.keeperCommand);
    session.tickIntervalMs = options.tickIntervalMs;
    session.form.setSavingWaits({game::savingNoticeAfter, options.wayOutAfter});
    QApplication::setWindowIcon(ui::Form1Window::icon());

    session.form.Form_Load();
    ui::Form1Window& window = session.window();
    window.show();
    // Takes the keyboard even where no window manager hands it over.
    window.activateWindow();

    // From here on the game is under way. The end of the desktop session
    // unloads the window, and the game ends as with the window closed: where
    // Qt hears of it (its request to save the session's data, at logout or
    // shutdown on X11 and Windows; its quit, which nothing else asks for)
    // and by a signal (SIGTERM, SIGHUP).
    const auto sessionEnded = [&window] { window.unload(ui::UnloadMode::SessionEnded); };
    QObject::connect(&application, &QGuiApplication::commitDataRequest, &window, sessionEnded);
    QObject::connect(&application, &QCoreApplication::aboutToQuit, &window, sessionEnded);
    onEndSignals(window, sessionEnded);
    return application.exec();
}

} // namespace cifrelle::app
