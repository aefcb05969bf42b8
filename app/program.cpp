#include "program.h"

#include "form1window.h"
#include "startup.h"

#include "cifrelle/game/form1.h"
#include "cifrelle/game/random.h"
#include "cifrelle/records/recordfiles.h"
#include "cifrelle/ui/qtui.h"

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
    // No application display name: Qt would append it to the titles of the
    // boxes ("Impariamo ad approssimare — Cifrelle").
    useItalian(application);

    Form1Window window;
    window.timer()->setInterval(options.tickIntervalMs);
    QApplication::setWindowIcon(window.windowIcon());
    ui::QtUi qtUi(&window);
    records::RecordFiles files(records::defaultDirectory());
    game::MixingRandom random;
    game::SystemTime time;
    game::Form1 form1(qtUi, random, time, files);
    HandlersOf<game::Form1> handlers(form1);
    window.setHandlers(&handlers);

    form1.Form_Load();
    window.show();
    // Takes the keyboard even where no window manager hands it over.
    window.activateWindow();
    const int status = application.exec();
    window.setHandlers(nullptr);
    return status;
}

} // namespace cifrelle::app
