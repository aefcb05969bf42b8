// SPDX-License-Identifier: GPL-3.0-or-later
// The two record files: creating them, reading them, and saving a new record
// so that a crash at any moment leaves one whole record, the old or the new,
// and nothing else, once the next game has started.
//
// The folder is opened once, by the first start-up (or save) after its
// checks (pin), and every later step works inside that opened folder
// (fileops::Folder): a link on its path is followed then only, and nothing
// inside it is ever followed. Anything but a regular file where one of the
// game's files should be is left alone, and the message names it for the
// teacher to remove (fileSentence).
//
// How a save keeps both files together. Under an exclusive lock on the lock
// file ".cifrel.lock" in the record folder (takeLock, which the caller may
// give up while another game holds it: then nothing is written):
//   1. the new score is written in full to "cifrel.txt.new" and flushed to
//      disk, then the new name to "ncifrel.txt.new", likewise (write);
//   2. "cifrel.txt.new" is renamed over "cifrel.txt", the commit point;
//   3. "ncifrel.txt.new" is renamed over "ncifrel.txt" (commit).
// A crash before step 2 leaves the old record whole, with one or both ".new"
// files beside it. A crash between steps 2 and 3 leaves the new score with
// the OLD name in the record files, and the new name whole in
// "ncifrel.txt.new": until the next start, the disk pairs the new score with
// the old name. The next start (ensure(), or a save) reads the leftovers
// (finishInterruptedSave):
//   - "cifrel.txt.new" present (with or without the name's): the score was
//     not yet replaced, the old record is whole; the leftovers are deleted,
//     the name's first so that a deletion cut short is still read right;
//   - only "ncifrel.txt.new" present: the new score is in place and the new
//     name, written in full before the commit, is renamed into place, if it
//     is a file this account can read, set up as the folder's files are;
//     anything else (another account's unreadable file, a link) is no file
//     a save wrote, and is deleted, leaving the record files as they are.
// Both do this under the same lock. The system lets go of a lock when its
// holder ends, however it ends, so a crashed game never blocks the next.
//
// The teacher's register. When the school keeps it, the game end adds the
// game's line at the end of "registro.csv" under the same lock, after the
// save (registerGame): its "nuovo record" is the save's outcome. The line
// goes in with one write; a line cut short by a crash stays, and the next
// game starts its own on a line of its own (fileops::Folder::append).
//
// Passing files. On POSIX systems the file layer sets up each new file of a
// shared folder (its group and permissions) before another game can see
// it: unnamed until then where the file system allows it, otherwise under
// a passing name that it links or renames into place once set up, holding
// a lock on it meanwhile; a lock file it replaces always goes through a
// passing name, set up before it has it. A game killed in between leaves
// the passing file, open to every account that may write in the folder
// (or, where files have names from their making, one the umask closed,
// for an instant, to the others). Every start and every save first removes
// those whose lock it can take, and those no account could still be
// setting up (clearLeftovers), never one another game is still making. In
// a folder a classmate has flooded with such names this takes no more than
// a budget (clearingBudget): a few hundredths of a second, so that neither
// the start nor the end, nor the notice of a wait, is held back; the rest
// waits for later games.
//
// The folder moved away, deleted or replaced by another of the same name
// during a game (an administrator's doing): the game end writes nothing, in
// the folder it opened nor in the new one, and says what happened
// (notInPlace).
//
// A damaged record. A game's count of right answers stops at highestScore:
// a score file whose number is above it no game wrote, and no game could
// beat it. It is read as no record (empty), and the next game with a right
// answer replaces it.
//
// The folder is the player's own, or one an administrator chose for every
// account. A shared one is never created, and every file a game makes
// there, the lock file and the ".new" files included, is set up for all
// who may write in the folder (fileops::Folder::shared()).

#include "cifrelle/records/recordfiles.h"
#include "cifrelle/records/register.h"

#include "fileops.h"

#include "cifrelle/numtext/numtext.h"

#include <chrono>
#include <thread>

namespace fs = std::filesystem;

namespace cifrelle::records {

namespace {

using fileops::Fault;
using fileops::Folder;
using fileops::Kind;
using fileops::NewFiles;
using fileops::Reason;

constexpr std::string_view keepOpening = "Il record non potrà essere conservato";
constexpr std::string_view saveOpening = "Il record non è stato salvato";
constexpr std::string_view registerOpening =
    "La partita non è stata scritta nel registro dell'insegnante";

// What one clean-up of passing files may take (clearLeftovers): the few a
// killed game leaves go at once, and a folder flooded with their names
// costs no game more than this.
constexpr fileops::Budget clearingBudget{500, std::chrono::milliseconds(40)};

} // namespace

// In words a pupil or a teacher understands.
std::string fileops::reasonText(const Fault& fault)
{
    switch (fault.reason) {
    case Reason::None: break;
    case Reason::Denied: return "permesso negato";
    case Reason::ReadOnlyDisk: return "il disco è di sola lettura";
    case Reason::DiskFull: return "il disco è pieno";
    case Reason::QuotaFull: return "lo spazio a disposizione dell'utente è esaurito";
    case Reason::IsFolder: return "al suo posto c'è una cartella";
    case Reason::PartNotFolder: return "una parte del percorso non è una cartella";
    case Reason::FolderIsFile: return "non è una cartella";
    case Reason::NotAbsolute: return "non è un percorso assoluto";
    case Reason::Network: return "non si raggiunge in rete";
    case Reason::Missing: return "non esiste";
    case Reason::Exists: return "al suo posto c'è già qualcos'altro";
    case Reason::Link: return "è un collegamento, non un file";
    case Reason::NotRegular: return "non è un file normale";
    case Reason::NameTooLong: return "il percorso è troppo lungo";
    case Reason::DiskError: return "errore di lettura o scrittura sul disco";
    case Reason::Busy: return "è in uso";
    case Reason::TooManyFiles: return "troppi file aperti";
    case Reason::NoMemory: return "memoria insufficiente";
    case Reason::Unusable: return "il gioco non può usarlo";
    case Reason::Other: break;
    }
    return "errore di sistema numero " + std::to_string(fault.code);
}

std::string pathText(const fs::path& path)
{
    const std::u8string utf8 = path.u8string();
    return std::string(utf8.begin(), utf8.end());
}

namespace {

// Every message about the record files: "<opening>: <what> «<path>»
// (<reason>)." with the path and the reason where there are any; the
// phrase is what follows the colon.
std::string phrase(std::string_view what, const fs::path& path = {}, const Fault& fault = {})
{
    std::string text(what);
    if (!path.empty())
        text += " «" + pathText(path) + "»";
    if (fault)
        text += " (" + fileops::reasonText(fault) + ")";
    return text;
}

std::string sentence(std::string_view opening, std::string_view what, const fs::path& path = {},
                     const Fault& fault = {})
{
    return std::string(opening) + ": " + phrase(what, path, fault) + '.';
}

// The message about a file in the folder: as sentence() says, except for
// something no game makes in a file's place (a link, a folder, a pipe, a
// device), which the teacher is told to remove, e.g. "Il record non è
// stato salvato: «/srv/classe/cifrel.txt» è un collegamento, non un file
// normale: va tolto dalla cartella."
std::string fileSentence(std::string_view opening, std::string_view what, const fs::path& path,
                         const Fault& fault)
{
    const std::string file = "«" + pathText(path) + "» ";
    switch (fault.reason) {
    case Reason::Link:
        return std::string(opening) + ": " + file +
               "è un collegamento, non un file normale: va tolto dalla cartella.";
    case Reason::IsFolder:
        return std::string(opening) + ": " + file +
               "è una cartella, non un file normale: va tolta dalla cartella.";
    case Reason::NotRegular:
        return std::string(opening) + ": " + file +
               "non è un file normale: va tolto dalla cartella.";
    case Reason::Unusable:
        return std::string(opening) + ": " + file +
               "è un file che il gioco non può usare: va tolto dalla cartella.";
    default: return sentence(opening, what, path, fault);
    }
}

std::string pendingName(std::string_view name)
{
    return std::string(name) + std::string(pendingSuffix);
}

// The fault of anything but a regular file in a record file's place.
Fault unusable(Kind kind)
{
    switch (kind) {
    case Kind::Folder: return {Reason::IsFolder, 0};
    case Kind::Link: return {Reason::Link, 0};
    case Kind::Other: return {Reason::NotRegular, 0};
    default: return {};
    }
}

bool isThere(const Folder& folder, std::string_view name)
{
    Fault ignored;
    return folder.kindOf(name, ignored) != Kind::Missing;
}

// The folder made ready and opened, once: the player's own is created when
// missing; one an administrator chose (`setting` names the setting) must be
// there, and gives how the files made in it are set up. Returns what is
// wrong, in words for a message.
std::optional<std::string> pin(Folder& folder, const fs::path& path, const std::string& setting,
                               NewFiles& newFiles)
{
    const bool shared = !setting.empty();
    Fault fault;
    if (!folder.isOpen()) {
        if (!shared) {
            if ((fault = fileops::makeFolder(path)))
                return phrase("non riesco a creare la cartella", path, fault);
            if ((fault = folder.open(path)))
                return phrase("non riesco ad aprire la cartella", path, fault);
        } else if (path.empty()) {
            return setting + " non indica nessuna cartella";
        } else {
            fault = fileops::isAbsolute(path) ? folder.open(path) : Fault{Reason::NotAbsolute, 0};
        }
    }
    if (!fault && shared)
        fault = folder.shared(newFiles);
    if (fault)
        return phrase("non riesco a usare la cartella «" + pathText(path) +
                          "», scelta per tutti gli utenti con " + setting,
                      {}, fault);
    return std::nullopt;
}

// Removes what games killed while making a file left (see the top).
void clearLeftovers(const Folder& folder)
{
    folder.clearPassing({scoreFileName, nameFileName, lockFileName, registerFileName},
                        clearingBudget);
}

// Whether the score file's bytes are a damaged record (see the top).
bool damaged(std::string_view bytes)
{
    return numtext::leadingNumberValue(decodeCp1252(bytes)) > highestScore;
}

// The stored score as a number (lenient reading); a damaged one counts as
// no record.
double storedScore(std::string_view bytes)
{
    return damaged(bytes) ? 0.0 : numtext::leadingNumberValue(decodeCp1252(bytes));
}

// What to tell of the folder when it is no longer at its path (`how`),
// after the opening words: the record (or the register's line, `record`
// false) was not written.
std::string movedAway(const fs::path& path, fileops::Standing how, bool record)
{
    const std::string folder = "la cartella «" + pathText(path) + "» ";
    const std::string stayed = record ? ": il record è rimasto nella cartella di prima"
                                      : ": il registro è rimasto nella cartella di prima";
    switch (how) {
    case fileops::Standing::Deleted: return folder + "è stata cancellata durante la partita";
    case fileops::Standing::Moved: return folder + "è stata spostata durante la partita" + stayed;
    default: return folder + "è stata sostituita durante la partita" + stayed;
    }
}

// The game end in a folder no longer at its path (`how`): nothing is
// written. A score (`current`) is told it was not saved when it beats the
// record of the folder opened, the one the game showed (any score, when
// that is gone); the register, when one is kept (`line`), that it lacks the
// game's line.
GameEndResult notInPlace(const Folder& folder, fileops::Standing how, double current, bool line)
{
    std::string bytes;
    GameEndResult result{{SaveOutcome::NotBetter, {}}, {}};
    if (current > 0.0 &&
        (folder.read(scoreFileName, readLimit, bytes) || storedScore(bytes) < current))
        result.record = {SaveOutcome::Failed,
                         sentence(saveOpening, movedAway(folder.path(), how, true))};
    if (line)
        result.registerProblem = sentence(registerOpening, movedAway(folder.path(), how, false));
    return result;
}

// Clears what a save cut short left behind (see the top of this file).
// Call with the lock held.
Fault finishInterruptedSave(const Folder& folder, const NewFiles& newFiles)
{
    const std::string scoreNew = pendingName(scoreFileName);
    const std::string nameNew = pendingName(nameFileName);
    if (isThere(folder, scoreNew)) {
        folder.remove(nameNew);
        folder.remove(scoreNew);
        return {};
    }
    Fault fault;
    switch (folder.kindOf(nameNew, fault)) {
    case Kind::Missing: return fault;
    case Kind::Regular:
        if (folder.madeAs(nameNew, newFiles)) {
            fault = folder.replace(nameNew, nameFileName);
            folder.sync();
            return fault;
        }
        [[fallthrough]];
    default: folder.remove(nameNew); return {}; // not a file a save wrote
    }
}

// Makes sure one record file is there, a regular file we can read and
// write (in a shared folder: replace), creating it empty when missing;
// never changes its content.
std::optional<std::string> ensureFile(const Folder& folder, std::string_view name, bool shared,
                                      const NewFiles& newFiles)
{
    const fs::path path = folder.pathOf(name);
    for (int attempt = 0; attempt < 2; ++attempt) {
        Fault fault;
        const Kind kind = folder.kindOf(name, fault);
        if (fault)
            return sentence(keepOpening, "non riesco a raggiungere il file", path, fault);
        if (kind == Kind::Missing) {
            fault = folder.createEmpty(name, newFiles);
            if (fault.reason == Reason::Exists)
                continue; // another game made it meanwhile: look again
            if (fault)
                return fileSentence(keepOpening, "non riesco a creare il file", path, fault);
            return std::nullopt;
        }
        if (kind != Kind::Regular)
            return fileSentence(keepOpening, "non riesco a usare il file", path, unusable(kind));
        std::string nothing;
        if ((fault = folder.read(name, 0, nothing)))
            return fileSentence(keepOpening, "non riesco a leggere il file", path, fault);
        unsigned permissions = 0;
        if ((fault = shared ? folder.replaceable(name) : folder.writable(name, permissions)))
            return fileSentence(keepOpening, "non riesco a scrivere nel file", path, fault);
        return std::nullopt;
    }
    return sentence(keepOpening, "non riesco a creare il file", path, {Reason::Exists, 0});
}

// A folder in a ".new" file's place stops every save: told at start.
std::optional<std::string> pendingBlocked(const Folder& folder)
{
    for (const std::string_view name : {scoreFileName, nameFileName}) {
        Fault ignored;
        const std::string pending = pendingName(name);
        if (folder.kindOf(pending, ignored) == Kind::Folder)
            return fileSentence(keepOpening, {}, folder.pathOf(pending), {Reason::IsFolder, 0});
    }
    return std::nullopt;
}

enum class Wait { Taken, Failed, Abandoned };

// Takes the lock, waiting as long as another game holds it and the caller
// lets the wait go on.
Wait takeLock(fileops::Lock& lock, const StillWaiting& stillWaiting, Fault& fault)
{
    using namespace std::chrono;
    const auto start = steady_clock::now();
    while (!lock.tryTake(fault)) {
        if (fault)
            return Wait::Failed;
        // The caller hears of the wait at every try, from the first: it
        // keeps the window answering meanwhile, tells the player once the
        // wait is long enough to be noticed, and may give it up.
        if (stillWaiting && !stillWaiting(duration_cast<milliseconds>(steady_clock::now() - start)))
            return Wait::Abandoned;
        std::this_thread::sleep_for(milliseconds(20));
    }
    return Wait::Taken;
}

// One save, from the check to the commit.
struct Save {
    const Folder& folder;
    std::string scoreLine;
    std::string nameLine;
    bool shared = false;
    // How each new file is set up: in a shared folder as the folder says,
    // otherwise with the permissions of the file it replaces.
    NewFiles scoreNew;
    NewFiles nameNew;
    NewFiles folderFiles; // as the folder says
};

// The stored score as it stands now (another game may have saved since
// start, lenient reading), after finishing a save cut short when `locked`.
std::optional<std::string> readStored(const Save& save, bool locked, double& stored)
{
    const Folder& folder = save.folder;
    Fault fault;
    if (locked && (fault = finishInterruptedSave(folder, save.folderFiles)))
        return sentence(saveOpening, "non riesco a completare il salvataggio interrotto del file",
                        folder.pathOf(nameFileName), fault);
    std::string bytes;
    const Kind kind = folder.kindOf(scoreFileName, fault);
    if (!fault && kind != Kind::Missing)
        fault =
            kind == Kind::Regular ? folder.read(scoreFileName, readLimit, bytes) : unusable(kind);
    if (fault)
        return fileSentence(saveOpening, "non riesco a leggere il record attuale nel file",
                            folder.pathOf(scoreFileName), fault);
    stored = storedScore(bytes);
    return std::nullopt;
}

// Whether the save may go on: the lock is held, the folder takes new files
// and each record file may be replaced (a regular file we may write, whose
// permissions the new one keeps; in a shared folder, one the folder lets us
// replace). Nothing is written otherwise.
std::optional<std::string> check(Save& save, const Fault& lockFault)
{
    const Folder& folder = save.folder;
    if (const Fault fault = folder.takesNewFiles())
        return sentence(saveOpening, "non riesco a scrivere nella cartella", folder.path(), fault);
    if (lockFault)
        return fileSentence(saveOpening, "non riesco a usare il file", folder.pathOf(lockFileName),
                            lockFault);
    for (auto [name, newFiles] :
         {std::pair{scoreFileName, &save.scoreNew}, std::pair{nameFileName, &save.nameNew}}) {
        Fault fault;
        const Kind kind = folder.kindOf(name, fault);
        if (!fault && kind == Kind::Regular && save.shared)
            fault = folder.replaceable(name);
        else if (!fault && kind == Kind::Regular)
            fault = folder.writable(name, newFiles->permissions);
        else if (!fault)
            fault = unusable(kind);
        if (fault)
            return fileSentence(saveOpening, "non riesco a scrivere nel file", folder.pathOf(name),
                                fault);
    }
    return std::nullopt;
}

// Step 1: both ".new" files written in full and flushed.
std::optional<std::string> write(const Save& save)
{
    const Folder& folder = save.folder;
    for (auto [name, line, newFiles] : {std::tuple{scoreFileName, &save.scoreLine, &save.scoreNew},
                                        std::tuple{nameFileName, &save.nameLine, &save.nameNew}}) {
        if (const Fault fault = folder.writeNew(pendingName(name), *line, *newFiles)) {
            folder.remove(pendingName(nameFileName));
            folder.remove(pendingName(scoreFileName));
            return fileSentence(saveOpening, "non riesco a scrivere il file",
                                folder.pathOf(pendingName(name)), fault);
        }
    }
    folder.sync(); // both ".new" files are there before the commit
    return std::nullopt;
}

// Steps 2 and 3: the two renames. `scoreReplaced` tells whether the new
// score is in place (the commit point passed), even when the name is not.
std::optional<std::string> commit(const Save& save, bool& scoreReplaced)
{
    const Folder& folder = save.folder;
    if (const Fault fault = folder.replace(pendingName(scoreFileName), scoreFileName)) {
        folder.remove(pendingName(nameFileName));
        folder.remove(pendingName(scoreFileName));
        return fileSentence(saveOpening, "non riesco a sostituire il file",
                            folder.pathOf(scoreFileName), fault);
    }
    scoreReplaced = true;
    const Fault fault = folder.replace(pendingName(nameFileName), nameFileName);
    folder.sync();
    if (fault) {
        // The new name stays whole in its ".new" file; the next start puts
        // it in place.
        return fileSentence("Il record è stato salvato solo in parte",
                            "non riesco a sostituire il file", folder.pathOf(nameFileName), fault) +
               " Il nome sarà completato al prossimo avvio del gioco.";
    }
    return std::nullopt;
}

// The save itself, lock held (or its fault given): from the stored score
// to the commit.
SaveResult save(Save& save, const Fault& lockFault, double current, bool& scoreReplaced)
{
    auto failed = [](std::string problem) {
        return SaveResult{SaveOutcome::Failed, std::move(problem)};
    };
    double stored = 0.0;
    if (auto problem = readStored(save, !lockFault, stored))
        return failed(*problem);
    if (!(stored < current))
        return {SaveOutcome::NotBetter, {}};
    if (auto problem = check(save, lockFault))
        return failed(*problem);
    if (auto problem = write(save))
        return failed(*problem);
    if (auto problem = commit(save, scoreReplaced))
        return failed(*problem);
    return {SaveOutcome::Saved, {}};
}

// The game's line at the end of the register, lock held; why not, in words
// for the player.
std::string registerGame(const Folder& folder, const NewFiles& newFiles, const Fault& lockFault,
                         const GameSummary& game)
{
    if (lockFault)
        return fileSentence(registerOpening, "non riesco a usare il file",
                            folder.pathOf(lockFileName), lockFault);
    if (const Fault fault =
            folder.append(registerFileName, registerHeading(), registerLine(game), newFiles))
        return fileSentence(registerOpening, "non riesco a scrivere nel file",
                            folder.pathOf(registerFileName), fault);
    return {};
}

} // namespace

RecordFiles::RecordFiles(fs::path directory)
    : directory_(std::move(directory)), folder_(std::make_unique<Folder>())
{
}

RecordFiles::RecordFiles(RecordFolder folder)
    : directory_(std::move(folder.path)), folderProblem_(std::move(folder.problem)),
      setting_(std::move(folder.setting)), keepRegister_(folder.keepRegister),
      folder_(std::make_unique<Folder>())
{
}

RecordFiles::RecordFiles(RecordFiles&&) noexcept = default;
RecordFiles& RecordFiles::operator=(RecordFiles&&) noexcept = default;
RecordFiles::~RecordFiles() = default;

fs::path RecordFiles::scorePath() const
{
    return directory_ / scoreFileName;
}

fs::path RecordFiles::namePath() const
{
    return directory_ / nameFileName;
}

fs::path RecordFiles::registerPath() const
{
    return directory_ / registerFileName;
}

std::optional<std::string> RecordFiles::ensure()
{
    if (!folderProblem_.empty())
        return sentence(keepOpening, folderProblem_);
    NewFiles newFiles;
    if (const auto problem = pin(*folder_, directory_, setting_, newFiles))
        return sentence(keepOpening, *problem);
    const Folder& folder = *folder_;
    clearLeftovers(folder);

    fileops::Lock lock(folder, newFiles);
    const Fault lockFault = lock.open(lockFileName);
    if (!lockFault && (isThere(folder, pendingName(scoreFileName)) ||
                       isThere(folder, pendingName(nameFileName)))) {
        // While another game holds the lock it is saving, and it finishes
        // its own save: its files are left alone.
        Fault takeFault;
        if (lock.tryTake(takeFault)) {
            if (const Fault fault = finishInterruptedSave(folder, newFiles))
                return sentence(keepOpening,
                                "non riesco a completare il salvataggio interrotto del file",
                                folder.pathOf(nameFileName), fault);
        }
    }

    // Both files, even when the first has a problem: what can be kept is.
    const bool shared = !setting_.empty();
    const std::optional<std::string> scoreProblem =
        ensureFile(folder, scoreFileName, shared, newFiles);
    const std::optional<std::string> nameProblem =
        ensureFile(folder, nameFileName, shared, newFiles);
    if (scoreProblem)
        return scoreProblem;
    if (nameProblem)
        return nameProblem;
    if (const auto problem = pendingBlocked(folder))
        return problem;
    if (const Fault fault = folder.takesNewFiles())
        return sentence(keepOpening, "non riesco a scrivere nella cartella", directory_, fault);
    if (lockFault)
        return fileSentence(keepOpening, "non riesco a usare il file", folder.pathOf(lockFileName),
                            lockFault);
    return std::nullopt;
}

std::optional<std::string> RecordFiles::read(const fs::path& path) const
{
    if (!folderProblem_.empty() || path != directory_ / path.filename())
        return std::nullopt;
    // Before any start-up has opened the folder, it is opened for this
    // read only.
    Folder justNow;
    const Folder& folder = folder_->isOpen() ? *folder_ : justNow;
    std::string bytes;
    if ((!folder.isOpen() && justNow.open(directory_)) ||
        folder.read(path.filename().string(), readLimit, bytes))
        return std::nullopt;
    // A damaged record (see the top) is no record: both files read empty.
    std::string score = bytes;
    if (path.filename() != scoreFileName && folder.read(scoreFileName, readLimit, score))
        score.clear();
    return damaged(score) ? std::string() : decodeCp1252(bytes);
}

SaveResult RecordFiles::saveIfBetter(int score, std::string_view playerName,
                                     const StillWaiting& stillWaiting)
{
    return finish(score, playerName, true, nullptr, stillWaiting).record;
}

GameEndResult RecordFiles::endGame(GameSummary game, bool saveRecord,
                                   const StillWaiting& stillWaiting)
{
    const std::string name = game.name;
    return finish(game.right, name, saveRecord, keepRegister_ ? &game : nullptr, stillWaiting);
}

GameEndResult RecordFiles::finish(int score, std::string_view playerName, bool saveRecord,
                                  GameSummary* game, const StillWaiting& stillWaiting)
{
    // The stored score is never below 0: a score of 0 or less is no record.
    const double current = saveRecord ? score : 0.0;
    const bool mayBeBetter = current > 0.0;
    if (!mayBeBetter && !game)
        return {{SaveOutcome::NotBetter, {}}, {}};
    // What cannot be done, told for the record (when it may be better) and
    // for the register (when one is kept).
    auto cannot = [&](const std::string& problem) {
        GameEndResult result{{SaveOutcome::NotBetter, {}}, {}};
        if (mayBeBetter)
            result.record = {SaveOutcome::Failed, sentence(saveOpening, problem)};
        if (game)
            result.registerProblem = sentence(registerOpening, problem);
        return result;
    };
    if (!folderProblem_.empty())
        return cannot(folderProblem_);
    NewFiles newFiles;
    if (const auto problem = pin(*folder_, directory_, setting_, newFiles))
        return cannot(*problem);
    const Folder& folder = *folder_;
    if (const fileops::Standing how = folder.standing(); how != fileops::Standing::Same)
        return notInPlace(folder, how, mayBeBetter ? current : 0.0, game != nullptr);
    clearLeftovers(folder);

    // Without the lock (a folder where we may not write) the record can
    // still be read and compared: a score that is no record needs no save.
    fileops::Lock lock(folder, newFiles);
    Fault lockFault = lock.open(lockFileName);
    if (!lockFault && takeLock(lock, stillWaiting, lockFault) == Wait::Abandoned)
        return {{SaveOutcome::Abandoned, {}}, {}};
    GameEndResult result{{SaveOutcome::NotBetter, {}}, {}};
    bool scoreReplaced = false;
    if (mayBeBetter) {
        Save record{folder,
                    std::to_string(score) + "\r\n",
                    encodeCp1252(oneLine(playerName)) + "\r\n",
                    !setting_.empty(),
                    newFiles,
                    newFiles,
                    newFiles};
        result.record = save(record, lockFault, current, scoreReplaced);
    }
    if (game) {
        game->newRecord = scoreReplaced;
        // Pupils' results: in the player's own folder, for that account
        // alone whatever the umask; in a shared one, as the folder says.
        const NewFiles registerFiles = setting_.empty() ? NewFiles{0600, -1} : newFiles;
        result.registerProblem = registerGame(folder, registerFiles, lockFault, *game);
    }
    return result;
}

SaveResult notSaved(int score, std::string_view startProblem)
{
    if (score <= 0)
        return {SaveOutcome::NotBetter, {}};
    // The start's reason after its opening words; any other text whole,
    // as a sentence of its own.
    std::string_view why = startProblem;
    const bool opened = why.substr(0, keepOpening.size()) == keepOpening;
    if (opened)
        why.remove_prefix(keepOpening.size());
    return {SaveOutcome::Failed,
            std::string(saveOpening) + (opened ? "" : ". ") + std::string(why)};
}

} // namespace cifrelle::records
