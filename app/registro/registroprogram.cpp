// SPDX-License-Identifier: GPL-3.0-or-later
// cifrelle-registro: the command line, the registers read into the class,
// then the exports or the window.
#include "registroprogram.h"

#include "options.h"

#include "recordfolder.h"
#include "startup.h"

#include "cifrelle/classsummary/classview.h"
#include "cifrelle/classwindow/classwindow.h"
#include "cifrelle/classwindow/exports.h"
#include "cifrelle/classwindow/qtext.h"
#include "cifrelle/records/recordfiles.h"

#include <QApplication>
#include <QGuiApplication>
#include <QIcon>
#include <QMessageBox>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace cifrelle::app {

using classwindow::qs;

namespace {

void say(const QString& line)
{
    std::fprintf(stderr, "cifrelle-registro: %s\n", line.toUtf8().constData());
}

// What reading the registers gave: the class, what could not be read, and
// what else the teacher should know.
struct Loaded {
    classsummary::ClassRecords records;
    QStringList problems;
    QStringList notes;
};

std::vector<std::filesystem::path> registersOf(const RegistroOptions& options,
                                               QStringList& problems)
{
    std::vector<std::filesystem::path> paths;
    for (const std::string& file : options.files)
        paths.push_back(settingPath(qs(file)));
    if (!paths.empty())
        return paths;
    // This computer's register: in the class folder, or the account's own.
    const records::RecordFolder folder = recordFolder();
    if (!folder.problem.empty()) {
        problems << QStringLiteral("Non trovo il registro di questo computer: ") +
                        qs(folder.problem) + QLatin1Char('.');
        return paths;
    }
    const std::filesystem::path path = folder.path / records::registerFileName;
    std::error_code error;
    if (!folder.keepRegister && !std::filesystem::exists(path, error)) {
        problems << QStringLiteral(
                        "Su questo computer la scuola non tiene il registro "
                        "dell'insegnante (non è stato acceso dall'amministratore), e «") +
                        qs(records::pathText(path)) + QStringLiteral("» non c'è.");
        return paths;
    }
    paths.push_back(path);
    return paths;
}

std::unique_ptr<Loaded> load(const RegistroOptions& options)
{
    auto loaded = std::make_unique<Loaded>();
    for (const std::filesystem::path& path : registersOf(options, loaded->problems)) {
        const classsummary::RegisterFile& file = loaded->records.read(path);
        if (!file.reading.problem.empty())
            loaded->problems << qs(file.reading.problem);
        if (const std::string skipped = classsummary::skippedText(file); !skipped.empty())
            loaded->notes << qs(skipped) + QLatin1Char('.');
        if (file.repeated)
            loaded->notes << QStringLiteral("%1 partite di «%2» erano già in un altro registro: "
                                            "contate una volta.")
                                 .arg(file.repeated)
                                 .arg(qs(records::pathText(path)));
    }
    return loaded;
}

// The period the command line asks for, its missing end the games' (or
// the other end).
void choosePeriod(classsummary::ClassView& view, const RegistroOptions& options)
{
    if (!options.first && !options.last)
        return;
    const auto& r = view.records();
    const int first = options.first.value_or(
        std::min(r.games() ? r.firstDay() : view.today(), options.last.value_or(view.today())));
    const int last = options.last.value_or(
        std::max(r.games() ? r.lastDay() : view.today(), options.first.value_or(view.today())));
    view.chooseRange(first, last);
}

std::vector<std::string> utf8Arguments()
{
    std::vector<std::string> arguments;
    const QStringList all = QCoreApplication::arguments();
    for (qsizetype i = 1; i < all.size(); ++i)
        arguments.push_back(all[i].toStdString());
    return arguments;
}

void setUp(QGuiApplication&)
{
    QCoreApplication::setApplicationName(QString::fromLatin1(applicationName()));
    QGuiApplication::setDesktopFileName(QStringLiteral(CIFRELLE_REGISTRO_APP_ID));
}

// Without a window Qt's own notes (a runtime folder not set, say) would
// only hide the program's one line.
void onlyQtsErrors(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    if (type == QtCriticalMsg || type == QtFatalMsg)
        std::fprintf(stderr, "%s\n", message.toUtf8().constData());
}

int runExports(int argc, char* argv[])
{
    useNoDisplay();
    qInstallMessageHandler(onlyQtsErrors);
    QGuiApplication application(argc, argv);
    setUp(application);
    const RegistroOptions options = readOptions(utf8Arguments());
    const auto loaded = load(options);
    for (const QString& line : loaded->problems + loaded->notes)
        say(line);
    if (!loaded->problems.isEmpty())
        return 1;
    classsummary::ClassView view(loaded->records, classwindow::dayNumberOf(QDate::currentDate()));
    choosePeriod(view, options);
    QString problem;
    if (!options.csv.empty())
        problem = classwindow::writeClassCsv(qs(options.csv), view.summary());
    if (problem.isEmpty() && !options.pdf.empty())
        problem = classwindow::writeClassPdf(qs(options.pdf), view, QDateTime::currentDateTime());
    if (!problem.isEmpty()) {
        say(problem);
        return 1;
    }
    return 0;
}

int runWindow(int argc, char* argv[])
{
    if (missingDisplayMessage([](const char* name) -> const char* { return std::getenv(name); })) {
        say(QStringLiteral("nessun display grafico disponibile (DISPLAY non impostato): avviare il "
                           "registro da una sessione grafica, oppure chiedere i file con --pdf o "
                           "--csv"));
        return 1;
    }
    QApplication application(argc, argv);
    setUp(application);
    if (!useItalian(application))
        say(QStringLiteral("traduzione italiana di Qt non trovata (pacchetto "
                           "qt6-translations-l10n); i pulsanti restano in inglese"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/registro.png")));
    const RegistroOptions options = readOptions(utf8Arguments());
    const auto loaded = load(options);
    for (const QString& line : loaded->problems + loaded->notes)
        say(line);
    if (!loaded->problems.isEmpty()) {
        QMessageBox::warning(nullptr, QStringLiteral("Registro della classe"),
                             loaded->problems.join(QLatin1Char('\n')));
        const auto& files = loaded->records.files();
        if (std::none_of(files.begin(), files.end(),
                         [](const auto& f) { return f.reading.problem.empty(); }))
            return 1; // nothing could be read
    }
    classsummary::ClassView view(loaded->records, classwindow::dayNumberOf(QDate::currentDate()));
    choosePeriod(view, options);
    classwindow::ClassWindow window(view, loaded->problems + loaded->notes);
    window.show();
    window.activateWindow();
    return application.exec();
}

} // namespace

int runRegistro(int argc, char* argv[])
{
    useParentConsole();
    std::vector<std::string> arguments(argv + 1, argv + argc);
    const RegistroOptions options = readOptions(arguments);
    if (options.help) {
        std::fputs(registroUsage(), stdout);
        return 0;
    }
    if (!options.problem.empty()) {
        std::fprintf(stderr, "cifrelle-registro: %s\n%s", options.problem.c_str(), registroUsage());
        return 2;
    }
    return options.exportsOnly() ? runExports(argc, argv) : runWindow(argc, argv);
}

} // namespace cifrelle::app
