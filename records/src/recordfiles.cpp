// The two record files: creating them, reading them, and saving a new record
// so that a crash at any moment leaves one whole record behind.
//
// How a save keeps both files together. Under an exclusive flock() on the
// lock file ".cifrel.lock" in the record directory:
//   1. the new score is written in full to "cifrel.txt.new" and flushed to
//      disk, then the new name to "ncifrel.txt.new", likewise;
//   2. "cifrel.txt.new" is renamed over "cifrel.txt" (the commit point);
//   3. "ncifrel.txt.new" is renamed over "ncifrel.txt".
// So the leftovers of a save cut short say how far it went:
//   - "cifrel.txt.new" present (with or without the name's): the score was
//     not yet replaced, the old record is whole; the leftovers are deleted,
//     the name's first so that a deletion cut short is still read right;
//   - only "ncifrel.txt.new" present: the new score is in place and the new
//     name, written in full before the commit, is renamed into place.
// ensure() and every save clear the leftovers first, under the same lock.
// The kernel drops a flock() when its holder dies, so a crashed game never
// blocks the next one.

#include "cifrelle/records/recordfiles.h"

#include "cifrelle/numtext/numtext.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QString>

#include <cerrno>
#include <cstring>
#include <thread>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace cifrelle::records {

namespace {

// Not an errno value: the path holds something other than a plain file
// (a pipe, a device, a socket).
constexpr int notPlainFile = -1;

// What went wrong, in Italian words a pupil or a teacher understands.
std::string reasonOf(int error)
{
    switch (error) {
    case notPlainFile: return "non è un file normale";
    case EACCES:
    case EPERM: return "permesso negato";
    case EROFS: return "il disco è di sola lettura";
    case ENOSPC: return "il disco è pieno";
    case EDQUOT: return "lo spazio a disposizione dell'utente è esaurito";
    case EISDIR: return "al suo posto c'è una cartella";
    case ENOTDIR: return "una parte del percorso non è una cartella";
    case EEXIST: return "al suo posto c'è già qualcos'altro";
    case ENOENT: return "non esiste";
    case ELOOP: return "collegamento simbolico non valido";
    case ENAMETOOLONG: return "percorso troppo lungo";
    case EIO: return "errore di lettura o scrittura sul disco";
    case EBUSY: return "è in uso";
    case ETXTBSY: return "è in uso";
    default: return std::strerror(error);
    }
}

std::string quoted(const fs::path& path)
{
    return "«" + path.string() + "»";
}

std::string withReason(const std::string& what, int error)
{
    return what + " (" + reasonOf(error) + ")";
}

// A file descriptor closed on scope exit.
class Fd {
public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    Fd(Fd&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
    Fd& operator=(Fd&& other) noexcept
    {
        if (this != &other) {
            reset();
            fd_ = other.fd_;
            other.fd_ = -1;
        }
        return *this;
    }
    ~Fd() { reset(); }

    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }

    // Closes now; returns the errno of a failed close, or 0.
    int close()
    {
        if (fd_ < 0)
            return 0;
        const int result = ::close(fd_);
        fd_ = -1;
        return result == 0 ? 0 : errno;
    }

private:
    void reset()
    {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = -1;
    }

    int fd_;
};

Fd openFile(const fs::path& path, int flags, mode_t mode = 0)
{
    int fd;
    do {
        fd = ::open(path.c_str(), flags | O_CLOEXEC, mode);
    } while (fd < 0 && errno == EINTR);
    return Fd(fd);
}

bool linkExists(const fs::path& path)
{
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0;
}

struct Bytes {
    std::optional<std::string> bytes; // nothing when the file can't be read
    int error = 0;
};

// Up to `limit` bytes from the start of a plain file. Never blocks on a pipe
// or device standing in place of the file, never reads past the limit.
Bytes readBytes(const fs::path& path, std::size_t limit)
{
    Fd fd = openFile(path, O_RDONLY | O_NONBLOCK | O_NOCTTY);
    if (!fd.valid())
        return {std::nullopt, errno};
    struct stat st;
    if (::fstat(fd.get(), &st) != 0)
        return {std::nullopt, errno};
    if (S_ISDIR(st.st_mode))
        return {std::nullopt, EISDIR};
    if (!S_ISREG(st.st_mode))
        return {std::nullopt, notPlainFile};

    std::string bytes;
    bytes.resize(limit);
    std::size_t got = 0;
    while (got < limit) {
        const ssize_t n = ::read(fd.get(), bytes.data() + got, limit - got);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return {std::nullopt, errno};
        }
        if (n == 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    bytes.resize(got);
    return {std::move(bytes), 0};
}

// Writes `bytes` to a new file at `path` and flushes it to the disk. The
// file gets `mode` when given (the permissions of the file it replaces),
// else the usual ones for a new file. Returns 0 or the errno of what failed.
int writeNewFile(const fs::path& path, std::string_view bytes, std::optional<mode_t> mode)
{
    constexpr int flags = O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW;
    Fd fd = openFile(path, flags, 0666);
    if (!fd.valid() && errno == EEXIST) {
        ::unlink(path.c_str());
        fd = openFile(path, flags, 0666);
    }
    if (!fd.valid())
        return errno;
    if (mode && ::fchmod(fd.get(), *mode) != 0)
        return errno;

    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd.get(), bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        done += static_cast<std::size_t>(n);
    }
    if (::fsync(fd.get()) != 0)
        return errno;
    return fd.close();
}

// Makes the directory's entries durable. File systems that cannot sync a
// directory say EINVAL; there is nothing more to do on them.
void syncDirectory(const fs::path& directory)
{
    Fd fd = openFile(directory, O_RDONLY | O_DIRECTORY);
    if (fd.valid())
        ::fsync(fd.get());
}

// The exclusive lock shared by every game on the account, held while
// alive. Waits up to `wait` for another holder to let go.
class DirectoryLock {
public:
    // Returns 0 when locked, EWOULDBLOCK after waiting in vain, or the errno
    // of the failure.
    int acquire(const fs::path& directory, std::chrono::milliseconds wait)
    {
        const fs::path path = directory / lockFileName;
        fd_ = openFile(path, O_RDWR | O_CREAT | O_NOFOLLOW, 0666);
        if (!fd_.valid() && (errno == EACCES || errno == EROFS)) {
            const int error = errno;
            fd_ = openFile(path, O_RDONLY | O_NOFOLLOW); // flock needs no write access
            if (!fd_.valid())
                return error;
        }
        if (!fd_.valid())
            return errno;

        const auto deadline = std::chrono::steady_clock::now() + wait;
        for (;;) {
            if (::flock(fd_.get(), LOCK_EX | LOCK_NB) == 0)
                return 0;
            if (errno == EINTR)
                continue;
            if (errno != EWOULDBLOCK)
                return errno;
            if (std::chrono::steady_clock::now() >= deadline)
                return EWOULDBLOCK;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }

private:
    Fd fd_; // closing it lets go of the lock
};

fs::path newPath(const fs::path& path)
{
    fs::path result = path;
    result += pendingSuffix;
    return result;
}

// Clears what a save cut short left behind (see the top of this file).
// Call with the lock held. Returns the errno of a roll forward that failed.
int finishInterruptedSave(const fs::path& score, const fs::path& name)
{
    const fs::path scoreNew = newPath(score);
    const fs::path nameNew = newPath(name);
    const bool haveScoreNew = linkExists(scoreNew);
    const bool haveNameNew = linkExists(nameNew);
    if (haveScoreNew) {
        if (haveNameNew)
            ::unlink(nameNew.c_str());
        ::unlink(scoreNew.c_str());
        return 0;
    }
    if (haveNameNew) {
        if (::rename(nameNew.c_str(), name.c_str()) != 0)
            return errno;
        syncDirectory(name.parent_path());
    }
    return 0;
}

const std::string keepPrefix = "Il record non potrà essere conservato: ";
const std::string savePrefix = "Il record non è stato salvato: ";

// Makes sure one record file is there, a plain file we can read and write,
// creating it empty when missing; never changes its content.
std::optional<std::string> ensureFile(const fs::path& path)
{
    for (int attempt = 0; attempt < 2; ++attempt) {
        struct stat st;
        if (::stat(path.c_str(), &st) == 0) {
            if (S_ISDIR(st.st_mode))
                return keepPrefix + "al posto del file " + quoted(path) + " c'è una cartella.";
            if (!S_ISREG(st.st_mode))
                return keepPrefix + quoted(path) + " non è un file normale.";
            if (!openFile(path, O_RDONLY | O_NONBLOCK | O_NOCTTY).valid())
                return keepPrefix + withReason("non riesco a leggere il file " + quoted(path), errno) + ".";
            if (!openFile(path, O_WRONLY | O_APPEND | O_NONBLOCK | O_NOCTTY).valid())
                return keepPrefix + withReason("non riesco a scrivere nel file " + quoted(path), errno) + ".";
            return std::nullopt;
        }
        if (errno != ENOENT)
            return keepPrefix + withReason("non riesco a raggiungere il file " + quoted(path), errno) + ".";
        if (linkExists(path))
            return keepPrefix + "il file " + quoted(path) + " è un collegamento a un file che non esiste.";
        Fd created = openFile(path, O_WRONLY | O_CREAT | O_EXCL | O_NOCTTY, 0666);
        if (created.valid())
            return std::nullopt;
        if (errno != EEXIST)
            return keepPrefix + withReason("non riesco a creare il file " + quoted(path), errno) + ".";
        // Someone else created it meanwhile: look again.
    }
    return keepPrefix + "il file " + quoted(path) + " cambia di continuo.";
}

// Whether a save may replace the file at `path`: it is missing (or a
// dangling link, which the save replaces) or a plain file we may write.
// Gives its permission bits for the new file, when there is one.
std::optional<std::string> checkReplaceable(const fs::path& path, std::optional<mode_t>& mode)
{
    mode.reset();
    Fd fd = openFile(path, O_WRONLY | O_NONBLOCK | O_NOCTTY);
    if (!fd.valid()) {
        if (errno == ENOENT)
            return std::nullopt;
        if (errno == EISDIR)
            return savePrefix + "al posto del file " + quoted(path) + " c'è una cartella.";
        return savePrefix + withReason("non riesco a scrivere nel file " + quoted(path), errno) + ".";
    }
    struct stat st;
    if (::fstat(fd.get(), &st) != 0)
        return savePrefix + withReason("non riesco a esaminare il file " + quoted(path), errno) + ".";
    if (!S_ISREG(st.st_mode))
        return savePrefix + quoted(path) + " non è un file normale.";
    mode = st.st_mode & 07777;
    return std::nullopt;
}

} // namespace

RecordFiles::RecordFiles(fs::path directory) : directory_(std::move(directory)) {}

fs::path RecordFiles::scorePath() const
{
    return directory_ / scoreFileName;
}

fs::path RecordFiles::namePath() const
{
    return directory_ / nameFileName;
}

std::optional<std::string> RecordFiles::ensure()
{
    std::error_code ec;
    fs::create_directories(directory_, ec);
    if (ec)
        return keepPrefix + withReason("non riesco a creare la cartella " + quoted(directory_), ec.value()) + ".";

    const fs::path score = scorePath();
    const fs::path name = namePath();
    if (linkExists(newPath(score)) || linkExists(newPath(name))) {
        DirectoryLock lock;
        // Without the lock another game is still saving, and it will finish
        // its own save.
        if (lock.acquire(directory_, lockWait_) == 0) {
            if (const int error = finishInterruptedSave(score, name))
                return keepPrefix + withReason("non riesco a completare il salvataggio interrotto del file " + quoted(name), error) + ".";
        }
    }

    // Both files, even when the first has a problem: what can be kept is.
    std::optional<std::string> problem = ensureFile(score);
    std::optional<std::string> nameProblem = ensureFile(name);
    if (problem)
        return problem;
    if (nameProblem)
        return nameProblem;
    if (::access(directory_.c_str(), W_OK | X_OK) != 0)
        return keepPrefix + withReason("nella cartella " + quoted(directory_) + " non si può scrivere", errno) + ".";
    return std::nullopt;
}

std::optional<std::string> RecordFiles::read(const fs::path& path) const
{
    Bytes read = readBytes(path, readLimit);
    if (!read.bytes)
        return std::nullopt;
    return decodeCp1252(*read.bytes);
}

SaveResult RecordFiles::saveIfBetter(std::string_view currentScore, std::string_view playerName)
{
    const std::optional<double> current = numtext::tryNumberValue(currentScore);
    if (!current)
        return {SaveOutcome::NotBetter, {}};

    auto failed = [](std::string problem) { return SaveResult{SaveOutcome::Failed, std::move(problem)}; };

    std::error_code ec;
    fs::create_directories(directory_, ec);
    if (ec) {
        if (!(0.0 < *current)) // no folder, no record: a score of 0 is none
            return {SaveOutcome::NotBetter, {}};
        return failed(savePrefix + withReason("non riesco a creare la cartella " + quoted(directory_), ec.value()) + ".");
    }

    // Without the lock (a folder where we may not write) the record can
    // still be read and compared: a score that is no record needs no save.
    DirectoryLock lock;
    const int lockError = lock.acquire(directory_, lockWait_);
    if (lockError == EWOULDBLOCK)
        return failed(savePrefix + "un'altra partita sta salvando il suo record proprio ora.");

    const fs::path score = scorePath();
    const fs::path name = namePath();
    if (lockError == 0) {
        if (const int error = finishInterruptedSave(score, name))
            return failed(savePrefix + withReason("non riesco a completare il salvataggio interrotto del file " + quoted(name), error) + ".");
    }

    // The record as it stands now: another game may have saved since start.
    Bytes stored = readBytes(score, readLimit);
    if (!stored.bytes) {
        if (stored.error != ENOENT)
            return failed(savePrefix + withReason("non riesco a leggere il record attuale nel file " + quoted(score), stored.error) + ".");
        stored.bytes.emplace(); // no file, no record yet
    }
    if (!(numtext::leadingNumberValue(decodeCp1252(*stored.bytes)) < *current))
        return {SaveOutcome::NotBetter, {}};

    const std::string notWritable = "nella cartella " + quoted(directory_) + " non si può scrivere";
    if (lockError == EACCES || lockError == EROFS || lockError == EPERM)
        return failed(savePrefix + withReason(notWritable, lockError) + ".");
    if (lockError != 0)
        return failed(savePrefix + withReason("non riesco a usare il file " + quoted(directory_ / lockFileName), lockError) + ".");
    if (::access(directory_.c_str(), W_OK | X_OK) != 0)
        return failed(savePrefix + withReason(notWritable, errno) + ".");

    std::optional<mode_t> scoreMode;
    std::optional<mode_t> nameMode;
    if (auto problem = checkReplaceable(score, scoreMode))
        return failed(*problem);
    if (auto problem = checkReplaceable(name, nameMode))
        return failed(*problem);

    const fs::path scoreNew = newPath(score);
    const fs::path nameNew = newPath(name);
    auto discard = [&] {
        ::unlink(nameNew.c_str());
        ::unlink(scoreNew.c_str());
    };

    if (const int error = writeNewFile(scoreNew, encodeCp1252(currentScore) + "\r\n", scoreMode)) {
        discard();
        return failed(savePrefix + withReason("non riesco a scrivere il file " + quoted(scoreNew), error) + ".");
    }
    if (const int error = writeNewFile(nameNew, encodeCp1252(playerName) + "\r\n", nameMode)) {
        discard();
        return failed(savePrefix + withReason("non riesco a scrivere il file " + quoted(nameNew), error) + ".");
    }
    syncDirectory(directory_);

    if (::rename(scoreNew.c_str(), score.c_str()) != 0) {
        const int error = errno;
        discard();
        return failed(savePrefix + withReason("non riesco a sostituire il file " + quoted(score), error) + ".");
    }
    if (::rename(nameNew.c_str(), name.c_str()) != 0) {
        // The score is in place; the name stays ready in its ".new" file
        // and the next ensure() or save puts it in place.
        const int error = errno;
        syncDirectory(directory_);
        return failed(savePrefix + withReason("il punteggio è stato scritto ma non riesco a sostituire il file " + quoted(name), error) + "; sarà completato al prossimo avvio.");
    }
    syncDirectory(directory_);
    return {SaveOutcome::Saved, {}};
}

fs::path defaultDirectory()
{
    QString location;
    if (!QCoreApplication::applicationName().isEmpty())
        location = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    if (location.isEmpty()) {
        // No application name (the folder would be shared with others) or no
        // data location on this system: a folder of our own.
        const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
        location = data.isEmpty() ? QDir::homePath() + QStringLiteral("/.cifrelle")
                                  : data + QStringLiteral("/cifrelle");
    }
    return fs::path(QFile::encodeName(location).toStdString());
}

} // namespace cifrelle::records
