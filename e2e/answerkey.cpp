// SPDX-License-Identifier: GPL-3.0-or-later
// The game that also writes each exercise's answer key into the file named
// by CIFRELLE_ANSWER_KEY_FILE, for the scripted play of the Windows build
// under Wine (e2e/windows/play.sh): there no accessibility bus lets the
// test read the window, and the test must know the key to give a right
// answer and a wrong one. Elsewhere it reads the administrator's settings
// from the file CIFRELLE_SETTINGS_FILE names, if any (on Windows they are
// in the registry), so that a test keeps the teacher's register without
// touching the machine's settings (e2e/atspi_play.py mistakes). Built only
// with the tests, never installed.
#include "program.h"

#include <QApplication>
#include <QCoreApplication>
#include <QLineEdit>
#include <QSaveFile>
#include <QTimer>
#include <QWidget>

#include <cstdlib>

namespace {

// Each key whole, replacing the one before: the test never reads half a key.
void writeKey(const QString& path, const QString& key)
{
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly)) {
        file.write(key.toUtf8());
        file.commit();
    }
}

// Follows the hidden Text1 from the first run of the event loop (the name
// box), before the first exercise writes its key there.
void watchAnswerKey()
{
    const QString path = qEnvironmentVariable("CIFRELLE_ANSWER_KEY_FILE");
    if (path.isEmpty())
        return;
    auto* find = new QTimer(QCoreApplication::instance());
    QObject::connect(find, &QTimer::timeout, find, [find, path] {
        for (QWidget* top : QApplication::topLevelWidgets()) {
            auto* key = top->findChild<QLineEdit*>(QStringLiteral("Text1"));
            if (!key)
                continue;
            QObject::connect(key, &QLineEdit::textChanged, key, [path](const QString& text) {
                if (!text.isEmpty())
                    writeKey(path, text);
            });
            find->stop();
            return;
        }
    });
    find->start(20);
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(watchAnswerKey)

int main(int argc, char* argv[])
{
    cifrelle::app::GameOptions options;
    if (const char* settings = std::getenv("CIFRELLE_SETTINGS_FILE"))
        options.settingsFile = settings;
    return cifrelle::app::runGame(argc, argv, options);
}
