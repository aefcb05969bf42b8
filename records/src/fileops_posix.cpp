// SPDX-License-Identifier: GPL-3.0-or-later
// The record files' file operations on Linux and other POSIX systems.
// The folder is a descriptor opened once; every file in it is reached
// through the *at() calls on that descriptor (openat, fstatat with
// AT_SYMLINK_NOFOLLOW, linkat, renameat, unlinkat), so that no link swapped
// on the folder's path later redirects anything. A record file is looked at
// with fstatat() before it is opened, opened with O_NOFOLLOW and O_NONBLOCK
// (a pipe slipped in meanwhile never blocks), and checked again with fstat()
// once open. In a folder that several accounts share, a new file is set up
// (its group and permissions) before any other game can see it: made with
// no name (O_TMPFILE) and linked to its name once set up, where the file
// system allows it; elsewhere made under a passing name, born with the
// folder's permissions as far as the umask lets them, set up at once and
// only then linked or renamed into place. Its maker holds a lock on a
// passing file meanwhile, which tells a later game's clearPassing() that it
// is not litter.

#include "fileops.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <random>
#include <system_error>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace cifrelle::records::fileops {

namespace {

// A file descriptor closed on scope exit.
class Fd {
public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    Fd(Fd&& other) noexcept : fd_(other.release()) {}
    Fd& operator=(Fd&& other) noexcept
    {
        if (this != &other) {
            close();
            fd_ = other.release();
        }
        return *this;
    }
    ~Fd() { close(); }
    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    // Hands the descriptor over; it is no longer closed here.
    int release()
    {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }
    // Closes now; the errno of a failed close, or 0.
    int close()
    {
        const int result = fd_ >= 0 ? ::close(fd_) : 0;
        fd_ = -1;
        return result == 0 ? 0 : errno;
    }

private:
    int fd_;
};

Fault lastFault()
{
    return faultOf(errno);
}

// Writes all of `bytes` where the descriptor stands.
Fault writeAll(int fd, std::string_view bytes)
{
    for (std::size_t done = 0; done < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return lastFault();
        done += static_cast<std::size_t>(n);
    }
    return {};
}

// Flushes what was written to the disk and closes the file.
Fault flushAndClose(Fd& fd)
{
    if (::fsync(fd.get()) != 0)
        return lastFault();
    if (const int error = fd.close())
        return faultOf(error);
    return {};
}

// Opens `name` in the folder `dir`, never following a link there.
Fd openAt(int dir, const std::string& name, int flags, mode_t mode = 0)
{
    int fd;
    do {
        fd = ::openat(dir, name.c_str(), flags | O_CLOEXEC | O_NOCTTY | O_NOFOLLOW, mode);
    } while (fd < 0 && errno == EINTR);
    return Fd(fd);
}

bool sameFile(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// What an fstatat() or fstat() result is, as a fault for anything but a
// regular file.
Fault notRegular(const struct stat& st)
{
    if (S_ISREG(st.st_mode))
        return {};
    if (S_ISDIR(st.st_mode))
        return {Reason::IsFolder, EISDIR};
    if (S_ISLNK(st.st_mode))
        return {Reason::Link, ELOOP};
    return {Reason::NotRegular, 0};
}

// Opens the regular file `name` of `folder` (descriptor `dir`); refuses
// anything else unopened.
Fault openRegular(const Folder& folder, int dir, const std::string& name, int flags, Fd& fd)
{
    struct stat st;
    if (::fstatat(dir, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return lastFault();
    if (const Fault fault = notRegular(st))
        return fault;
    opening(folder.pathOf(name));
    fd = openAt(dir, name, flags | O_NONBLOCK);
    if (!fd.valid())
        return errno == ELOOP ? Fault{Reason::Link, ELOOP} : lastFault();
    if (::fstat(fd.get(), &st) != 0)
        return lastFault();
    return notRegular(st);
}

// Sets up a file just made as `how` says: the folder's group first (a
// set-group-ID folder has given it already; an account not in that group
// keeps its own, and writes through the permissions of everyone else), then
// exactly the permissions, whatever the umask.
Fault setUp(int fd, const fs::path& shown, const NewFiles& how)
{
    if (how.group >= 0 || how.permissions != 0)
        stepping("set up", shown);
    if (how.group >= 0)
        (void)!::fchown(fd, static_cast<uid_t>(-1), static_cast<gid_t>(how.group));
    if (how.permissions != 0 && ::fchmod(fd, how.permissions) != 0)
        return lastFault();
    return {};
}

// Takes a lock of `type` (F_RDLCK, F_WRLCK, or F_UNLCK to let go) on the
// whole file, from byte 0 to its end however long it grows; false with no
// fault while another holds one that conflicts. A byte-range lock, unlike
// flock(), reaches the server of an NFS or SMB folder, so that games on
// other computers see it too. Where the system has them, it is an
// open-file-description lock: it belongs to the descriptor, so two Locks in
// one process exclude each other, and closing another descriptor of the
// same file does not let it go (a classic fcntl() lock would do both, being
// the process's).
bool lockWhole(int fd, short type, Fault& fault)
{
    fault = {};
    struct flock whole {};
    whole.l_type = type;
    whole.l_whence = SEEK_SET;
#ifdef F_OFD_SETLK
    int command = F_OFD_SETLK;
#else
    constexpr int command = F_SETLK;
#endif
    for (;;) {
        if (::fcntl(fd, command, &whole) == 0)
            return true;
        if (errno == EINTR)
            continue;
#ifdef F_OFD_SETLK
        if (errno == EINVAL && command == F_OFD_SETLK) { // a kernel older than 3.15
            command = F_SETLK;
            continue;
        }
#endif
        // Another holds it (POSIX allows either number for that).
        if (errno != EAGAIN && errno != EACCES)
            fault = lastFault();
        return false;
    }
}

// --- unnamed files ---------------------------------------------------------------

// A new regular file of the folder `dir` that has no name yet (O_TMPFILE),
// open for reading and writing and set up as `how` says (`shown`: the name
// it is on its way to, for the tests' watch): no other game can see it
// before it is linked to a name. False, with no fault, where the file
// system cannot make one or the system cannot link one to a name later
// (no /proc), so that the caller makes a named file instead.
bool makeUnnamed(int dir, const fs::path& shown, const NewFiles& how, Fd& fd, Fault& fault)
{
    fault = {};
#ifdef O_TMPFILE
    static const bool linkable = ::access("/proc/self/fd", X_OK) == 0;
    if (!linkable || noUnnamedFiles)
        return false;
    opening(shown);
    fd = Fd(::openat(dir, ".", O_TMPFILE | O_RDWR | O_CLOEXEC,
                     how.permissions != 0 ? how.permissions : 0666));
    if (!fd.valid())
        return false; // a file system without them; a real fault shows again then
    if ((fault = setUp(fd.get(), shown, how)))
        fd = Fd();
    return true;
#else
    (void)dir, (void)shown, (void)how, (void)fd;
    return false;
#endif
}

// Gives the unnamed file `fd` the name `name` in the folder `dir`; EEXIST
// when something has that name already. The link through /proc is the
// file's own descriptor, not one on the disk.
Fault linkUnnamed(const Folder& folder, int fd, int dir, const std::string& name)
{
    stepping("link", folder.pathOf(name));
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    return ::linkat(AT_FDCWD, self.c_str(), dir, name.c_str(), AT_SYMLINK_FOLLOW) == 0
               ? Fault{}
               : lastFault();
}

// --- passing files -------------------------------------------------------------

// A passing file's name: the name of the file it is on its way to, this
// tag, and six random letters or digits ("cifrel.txt.tmp-Ab12Cd").
constexpr std::string_view passingTag = ".tmp-";
constexpr std::string_view passingLetters =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
constexpr std::size_t passingRandom = 6;

std::mt19937_64& randomness()
{
    thread_local std::mt19937_64 random(
        std::random_device{}() ^ (static_cast<std::uint64_t>(::getpid()) << 32) ^
        static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()));
    return random;
}

std::string passingName(std::string_view target)
{
    std::string name(target);
    name += passingTag;
    for (std::size_t i = 0; i < passingRandom; ++i)
        name += passingLetters[randomness()() % passingLetters.size()];
    return name;
}

bool isPassingName(std::string_view name, std::initializer_list<std::string_view> targets)
{
    for (const std::string_view target : targets) {
        if (name.size() != target.size() + passingTag.size() + passingRandom ||
            name.substr(0, target.size()) != target ||
            name.substr(target.size(), passingTag.size()) != passingTag)
            continue;
        const std::string_view random = name.substr(target.size() + passingTag.size());
        if (random.find_first_not_of(passingLetters) == std::string_view::npos)
            return true;
    }
    return false;
}

// A new empty file under a passing name on its way to `target`, open for
// reading and writing, set up as `how` says, and locked by this game for as
// long as it stays open: clearPassing() removes only a passing file whose
// lock it can take. Where it can, it is set up and locked before it has a
// name. Otherwise it is born with the permissions `how` gives, less those
// the umask takes away, until it is set up; should another game come
// between the making and the locking, that one has the file (and removes
// it): another is made.
Fault makePassing(const Folder& folder, int dir, std::string_view target, const NewFiles& how,
                  Fd& fd, std::string& passing)
{
    Fault fault;
    if (makeUnnamed(dir, folder.pathOf(target), how, fd, fault)) {
        Fault ignored; // a file system without locks: nobody can take it from us
        if (!fault)
            lockWhole(fd.get(), F_WRLCK, ignored);
        for (int attempt = 0; !fault && attempt < 100; ++attempt) {
            passing = passingName(target);
            if ((fault = linkUnnamed(folder, fd.get(), dir, passing)).reason != Reason::Exists)
                break;
        }
        if (fault)
            fd = Fd();
        return fault;
    }
    for (int attempt = 0; attempt < 100; ++attempt) {
        passing = passingName(target);
        opening(folder.pathOf(passing));
        fd = openAt(dir, passing, O_RDWR | O_CREAT | O_EXCL,
                    how.permissions != 0 ? how.permissions : 0600);
        if (!fd.valid() && errno == EEXIST)
            continue;
        if (!fd.valid())
            return lastFault();
        // A file system without locks (fault): nobody can take it from us.
        const bool ours = lockWhole(fd.get(), F_WRLCK, fault) || fault;
        struct stat st;
        if (ours && ::fstat(fd.get(), &st) == 0 && st.st_nlink > 0) {
            if ((fault = setUp(fd.get(), folder.pathOf(passing), how))) {
                ::unlinkat(dir, passing.c_str(), 0);
                fd = Fd();
            }
            return fault;
        }
    }
    return {Reason::Exists, EEXIST};
}

// How long a game may take to set up a passing file it made (from its
// making to its permissions, a few system calls): one this account may not
// open that is older is litter, whoever made it.
constexpr std::time_t settingUpTime = 60;

// Removes the passing file `name` if no game is still making it. Nothing
// is followed: a link or a pipe is itself removed, a folder stays.
void removeIfLeft(const Folder& folder, int dir, const std::string& name)
{
    struct stat there;
    if (::fstatat(dir, name.c_str(), &there, AT_SYMLINK_NOFOLLOW) != 0 || S_ISDIR(there.st_mode))
        return;
    if (S_ISREG(there.st_mode)) {
        // One this account may not open is another account's, made where
        // passing files have names from the start, at the instant between
        // its making and its setting up; or one a classmate planted. Once
        // it is older than any setting up takes, no game is making it.
        Fd fd = openAt(dir, name, O_RDONLY | O_NONBLOCK);
        const bool closed = !fd.valid() && (errno == EACCES || errno == EPERM || errno == EAGAIN);
        if (closed && there.st_mtime < std::time(nullptr) - settingUpTime) {
            stepping("remove", folder.pathOf(name));
            ::unlinkat(dir, name.c_str(), 0);
            return;
        }
        struct stat opened;
        Fault fault;
        if (!fd.valid() || ::fstat(fd.get(), &opened) != 0 || !sameFile(opened, there) ||
            !lockWhole(fd.get(), F_RDLCK, fault) ||
            ::fstatat(dir, name.c_str(), &there, AT_SYMLINK_NOFOLLOW) != 0 ||
            !sameFile(opened, there))
            return;
    }
    stepping("remove", folder.pathOf(name));
    ::unlinkat(dir, name.c_str(), 0);
}

// A new empty regular file `name`, open for reading and writing, set up as
// `how` says before another game can open it.
Fault makeNew(const Folder& folder, int dir, const std::string& name, const NewFiles& how, Fd& fd)
{
    if (how.permissions == 0 && how.group < 0) {
        opening(folder.pathOf(name));
        fd = openAt(dir, name, O_RDWR | O_CREAT | O_EXCL, 0666);
        return fd.valid() ? Fault{} : lastFault();
    }
    Fault fault;
    if (makeUnnamed(dir, folder.pathOf(name), how, fd, fault)) {
        if (!fault && (fault = linkUnnamed(folder, fd.get(), dir, name)))
            fd = Fd();
        return fault;
    }
    // A passing file gone before it was linked (taken away by hand: no
    // game takes one its maker holds) is made again.
    int linked = -1;
    int error = ENOENT;
    for (int attempt = 0; attempt < 3 && linked != 0 && error == ENOENT; ++attempt) {
        std::string passing;
        if ((fault = makePassing(folder, dir, name, how, fd, passing)))
            return fault;
        stepping("link", folder.pathOf(name));
        linked = ::linkat(dir, passing.c_str(), dir, name.c_str(), 0);
        error = errno;
        stepping("remove", folder.pathOf(passing));
        ::unlinkat(dir, passing.c_str(), 0);
    }
    Fault ignored;
    if (linked == 0) {
        lockWhole(fd.get(), F_UNLCK, ignored);
        return {};
    }
    fd = Fd();
    if (error != EPERM && error != EOPNOTSUPP && error != ENOSYS)
        return faultOf(error);
    // A file system without hard links: made in place and set up at once.
    opening(folder.pathOf(name));
    fd = openAt(dir, name, O_RDWR | O_CREAT | O_EXCL, 0600);
    return fd.valid() ? setUp(fd.get(), folder.pathOf(name), how) : lastFault();
}

} // namespace

Fault faultOf(long code)
{
    switch (code) {
    case 0: return {};
    case EACCES:
    case EPERM: return {Reason::Denied, code};
    case EROFS: return {Reason::ReadOnlyDisk, code};
    case ENOSPC: return {Reason::DiskFull, code};
    case EDQUOT: return {Reason::QuotaFull, code};
    case EISDIR: return {Reason::IsFolder, code};
    case ENOTDIR: return {Reason::PartNotFolder, code};
    case ENOENT: return {Reason::Missing, code};
    case EEXIST:
    case ENOTEMPTY: return {Reason::Exists, code};
    case ELOOP: return {Reason::Link, code};
    case ENXIO:
    case ENODEV: return {Reason::NotRegular, code};
    case ENAMETOOLONG: return {Reason::NameTooLong, code};
    case EIO: return {Reason::DiskError, code};
    case EBUSY:
    case ETXTBSY:
    case EAGAIN: // a file another program holds a lease on
        return {Reason::Busy, code};
    case EMFILE:
    case ENFILE: return {Reason::TooManyFiles, code};
    case ENOMEM: return {Reason::NoMemory, code};
    case ESTALE:
    case ETIMEDOUT:
    case EHOSTDOWN:
    case EHOSTUNREACH:
    case ENETDOWN:
    case ENETUNREACH: return {Reason::Network, code};
    default: return {Reason::Other, code};
    }
}

bool isAbsolute(const fs::path& path)
{
    return path.is_absolute();
}

Fault makeFolder(const fs::path& folder)
{
    std::error_code ec;
    fs::create_directories(folder, ec);
    return ec ? faultOf(ec.value()) : Fault{};
}

// --- the folder ------------------------------------------------------------------

struct Folder::System {
    Fd fd;
};

Folder::Folder() = default;
Folder::~Folder() = default;

Fault Folder::open(const fs::path& path)
{
    system_.reset();
    path_ = path;
    opening(path);
    Fd fd(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
#ifdef O_PATH
    // A folder this account may write in but not list is still used (its
    // passing files then stay: they cannot be found).
    if (!fd.valid() && errno == EACCES)
        fd = Fd(::open(path.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
#endif
    if (!fd.valid()) {
        const int error = errno;
        struct stat st;
        if (error == ENOTDIR && ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode))
            return {Reason::FolderIsFile, ENOTDIR};
        return faultOf(error);
    }
    system_ = std::make_unique<System>(System{std::move(fd)});
    return {};
}

Fault Folder::takesNewFiles() const
{
    // As the process's effective IDs: the class's keeper writes the folder
    // through its set-group-ID group.
    return ::faccessat(system_->fd.get(), ".", W_OK | X_OK, AT_EACCESS) == 0 ? Fault{}
                                                                             : lastFault();
}

Standing Folder::standing() const
{
    struct stat opened;
    if (::fstat(system_->fd.get(), &opened) != 0)
        return errno == ESTALE ? Standing::Deleted : Standing::Same;
    if (opened.st_nlink == 0)
        return Standing::Deleted;
    struct stat now;
    if (::stat(path_.c_str(), &now) != 0)
        return errno == ENOENT || errno == ENOTDIR ? Standing::Moved : Standing::Same;
    return sameFile(opened, now) ? Standing::Same : Standing::Replaced;
}

Fault Folder::shared(NewFiles& newFiles) const
{
    struct stat st;
    if (::fstat(system_->fd.get(), &st) != 0)
        return lastFault();
    if (const Fault fault = takesNewFiles())
        return fault;
    // Who may make files in the folder (its group, everyone) may read and
    // replace those the game makes there. Only this folder's files are set
    // up so: those of a player's own folder keep what the umask gives.
    const auto writers = [&](mode_t write, mode_t search, mode_t readWrite) -> mode_t {
        return (st.st_mode & (write | search)) == (write | search) ? readWrite : 0;
    };
    newFiles.permissions = S_IRUSR | S_IWUSR | writers(S_IWGRP, S_IXGRP, S_IRGRP | S_IWGRP) |
                           writers(S_IWOTH, S_IXOTH, S_IROTH | S_IWOTH);
    newFiles.group = static_cast<long>(st.st_gid);
    return {};
}

Kind Folder::kindOf(std::string_view name, Fault& fault) const
{
    fault = {};
    struct stat st;
    if (::fstatat(system_->fd.get(), std::string(name).c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
        if (errno != ENOENT)
            fault = lastFault();
        return Kind::Missing;
    }
    if (S_ISREG(st.st_mode))
        return Kind::Regular;
    if (S_ISDIR(st.st_mode))
        return Kind::Folder;
    if (S_ISLNK(st.st_mode))
        return Kind::Link;
    return Kind::Other;
}

Fault Folder::read(std::string_view name, std::size_t limit, std::string& bytes) const
{
    bytes.clear();
    Fd fd;
    if (const Fault fault = openRegular(*this, system_->fd.get(), std::string(name), O_RDONLY, fd))
        return fault;
    bytes.resize(limit);
    std::size_t got = 0;
    while (got < limit) {
        const ssize_t n = ::read(fd.get(), bytes.data() + got, limit - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            bytes.clear();
            return lastFault();
        }
        if (n == 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    bytes.resize(got);
    return {};
}

Fault Folder::createEmpty(std::string_view name, const NewFiles& newFiles) const
{
    Fd fd;
    return makeNew(*this, system_->fd.get(), std::string(name), newFiles, fd);
}

Fault Folder::writable(std::string_view name, unsigned& permissions) const
{
    Fd fd;
    if (const Fault fault = openRegular(*this, system_->fd.get(), std::string(name), O_WRONLY, fd))
        return fault;
    struct stat st;
    if (::fstat(fd.get(), &st) != 0)
        return lastFault();
    permissions = st.st_mode & 07777;
    return {};
}

Fault Folder::replaceable(std::string_view name) const
{
    struct stat file;
    struct stat folder;
    if (::fstatat(system_->fd.get(), std::string(name).c_str(), &file, AT_SYMLINK_NOFOLLOW) != 0)
        return lastFault();
    if (const Fault fault = notRegular(file))
        return fault;
    if (const Fault fault = takesNewFiles())
        return fault;
    if (::fstat(system_->fd.get(), &folder) != 0)
        return lastFault();
    const uid_t me = ::geteuid();
    if ((folder.st_mode & S_ISVTX) && me != 0 && me != file.st_uid && me != folder.st_uid)
        return {Reason::Denied, EPERM};
    return {};
}

bool Folder::madeAs(std::string_view name, const NewFiles& newFiles) const
{
    Fd fd;
    struct stat st;
    if (openRegular(*this, system_->fd.get(), std::string(name), O_RDONLY, fd) ||
        ::fstat(fd.get(), &st) != 0)
        return false;
    // Outside the folder's group, a file is open to the group only if it
    // is open to everyone.
    const mode_t everyone = S_IROTH | S_IWOTH;
    return (newFiles.permissions == 0 || (st.st_mode & 07777) == newFiles.permissions) &&
           (newFiles.group < 0 || st.st_gid == static_cast<gid_t>(newFiles.group) ||
            (newFiles.permissions & everyone) == everyone);
}

Fault Folder::writeNew(std::string_view name, std::string_view bytes,
                       const NewFiles& newFiles) const
{
    const int dir = system_->fd.get();
    const std::string file(name);
    Fault fault;
    stepping("remove", pathOf(name));
    if (::unlinkat(dir, file.c_str(), 0) != 0 && errno != ENOENT &&
        kindOf(name, fault) == Kind::Folder)
        return {Reason::IsFolder, EISDIR};
    // In a shared folder the file gets its name only once it is set up,
    // written and flushed, where the file system allows it.
    Fd fd;
    const bool unnamed = newFiles.group >= 0 && makeUnnamed(dir, pathOf(name), newFiles, fd, fault);
    if (fault)
        return fault;
    if (!unnamed) {
        opening(pathOf(name));
        fd = openAt(dir, file, O_WRONLY | O_CREAT | O_EXCL,
                    newFiles.permissions != 0 ? newFiles.permissions : 0666);
        if (!fd.valid())
            return lastFault();
        if ((fault = setUp(fd.get(), pathOf(name), newFiles)))
            return fault;
    }
    stepping("write", pathOf(name));
    if ((fault = writeAll(fd.get(), bytes)))
        return fault;
    stepping("sync", pathOf(name));
    if (!unnamed)
        return flushAndClose(fd);
    if (::fsync(fd.get()) != 0)
        return lastFault();
    if ((fault = linkUnnamed(*this, fd.get(), dir, file)))
        return fault;
    return faultOf(fd.close());
}

Fault Folder::append(std::string_view name, std::string_view heading, std::string_view text,
                     const NewFiles& newFiles) const
{
    const int dir = system_->fd.get();
    const std::string file(name);
    Fd fd;
    Fault fault = openRegular(*this, dir, file, O_RDWR, fd);
    if (fault.reason == Reason::Missing) {
        fault = makeNew(*this, dir, file, newFiles, fd);
        if (fault.reason == Reason::Exists)
            fault = openRegular(*this, dir, file, O_RDWR, fd);
    }
    if (fault)
        return fault;
    struct stat st;
    if (::fstat(fd.get(), &st) != 0)
        return lastFault();
    const off_t length = st.st_size;
    char tail[3];
    const off_t tailSize = length < 3 ? length : 3;
    if (::pread(fd.get(), tail, static_cast<std::size_t>(tailSize), length - tailSize) != tailSize)
        return lastFault();
    std::string bytes = lineStart(std::string_view(tail, static_cast<std::size_t>(tailSize)),
                                  length == tailSize, heading);
    bytes += text;
    stepping("write", pathOf(name));
    if (::lseek(fd.get(), length, SEEK_SET) != length)
        return lastFault();
    if ((fault = writeAll(fd.get(), bytes))) {
        (void)!::ftruncate(fd.get(), length);
        return fault;
    }
    stepping("sync", pathOf(name));
    return flushAndClose(fd);
}

Fault Folder::replace(std::string_view from, std::string_view to) const
{
    const int dir = system_->fd.get();
    stepping("rename", pathOf(to));
    return ::renameat(dir, std::string(from).c_str(), dir, std::string(to).c_str()) == 0
               ? Fault{}
               : lastFault();
}

void Folder::remove(std::string_view name) const
{
    stepping("remove", pathOf(name));
    ::unlinkat(system_->fd.get(), std::string(name).c_str(), 0);
}

void Folder::sync() const
{
    // File systems that cannot sync a folder say EINVAL: nothing more to do.
    stepping("sync", path_);
    ::fsync(system_->fd.get());
}

// However short a clean-up's time (a busy machine can take it all before
// the first entry), it reads this many entries and looks at this many of
// the passing files found: a killed game's few go at the next start.
constexpr std::size_t entriesAlwaysRead = 4096;
constexpr std::size_t filesAlwaysLookedAt = 16;

void Folder::clearPassing(std::initializer_list<std::string_view> targets,
                          const Budget& budget) const
{
    using Clock = std::chrono::steady_clock;
    const Clock::time_point start = Clock::now();
    const int dir = system_->fd.get();
    // The entries are read through a descriptor of their own, so that the
    // folder's keeps its place.
    Fd list = openAt(dir, ".", O_RDONLY | O_DIRECTORY);
    DIR* entries = list.valid() ? ::fdopendir(list.get()) : nullptr;
    if (!entries)
        return;
    list.release();
    // At most `budget.files` of the passing names read, each as likely as
    // any other (reservoir sampling), so that those a clean-up cannot
    // remove do not stop later ones from getting to the rest.
    std::vector<std::string> chosen;
    std::size_t found = 0;
    for (std::size_t read = 0;; ++read) {
        if (read >= entriesAlwaysRead && read % 1024 == 0 &&
            Clock::now() - start >= budget.time / 2)
            break;
        const dirent* entry = ::readdir(entries);
        if (!entry)
            break;
        if (!isPassingName(entry->d_name, targets))
            continue;
        if (chosen.size() < budget.files)
            chosen.emplace_back(entry->d_name);
        else if (const std::size_t at = randomness()() % (found + 1); at < budget.files)
            chosen[at] = entry->d_name;
        ++found;
    }
    ::closedir(entries);
    std::shuffle(chosen.begin(), chosen.end(), randomness());
    for (std::size_t looked = 0; looked < chosen.size(); ++looked) {
        if (looked >= filesAlwaysLookedAt && Clock::now() - start >= budget.time)
            break;
        removeIfLeft(*this, dir, chosen[looked]);
    }
}

// --- the lock ------------------------------------------------------------------

// Whether a fault opening a file says that this account may not open it:
// no permission (its mode, an access list), or another program's lease.
bool barred(const Fault& fault)
{
    return fault.reason == Reason::Denied || fault.code == EAGAIN;
}

struct Lock::System {
    const Folder& folder;
    int dir;
    NewFiles newFiles;
    std::string name;
    Fd fd;
    // A lock file this account may not lock: one it may only read, or one
    // it may not open at all (see replaceForeign), and what it was.
    enum class Foreign { No, ReadOnly, Closed } foreign = Foreign::No;
    struct stat seen {};

    // Whether the file locked is still the one at the lock file's name:
    // another game may have put a new one there (replaceForeign) since it
    // was opened. If not, it is let go, and the one in place opened for the
    // next try.
    bool stillInPlace(Fault& fault);
    // A lock file this account may not lock (one another account made, say
    // by copying the record in by hand, or one a classmate made and closed
    // to the others, or holds a lease on) takes no write lock: a lock file
    // of this account's takes its place, made as `newFiles` says and locked
    // before it has its name. One this account may read is replaced under a
    // read lock on it, which waits for no save (false while one is under
    // way). One it may not open at all only its owner's games can lock, and
    // its owner made it so: such a game saving at that very moment is the
    // only one that could save beside this one. Only the file seen is
    // replaced: when another game has put its own in its place meanwhile,
    // that one is opened for the next try.
    bool replaceForeign(Fault& fault);
    // Notes a lock file this account may not open for writing; Unusable when
    // the folder does not let this account replace it.
    Fault openForeign();
    Fault open();
};

Lock::Lock(const Folder& folder, const NewFiles& newFiles)
    : system_(std::make_unique<System>(System{folder, -1, newFiles, {}, Fd()}))
{
}

Lock::~Lock() = default;

Fault Lock::open(std::string_view name)
{
    const Folder& folder = system_->folder;
    system_->dir = folder.system_ ? folder.system_->fd.get() : -1;
    system_->name = name;
    return system_->open();
}

Fault Lock::System::open()
{
    fd = Fd();
    foreign = Foreign::No;
    if (dir < 0)
        return faultOf(EBADF);
    Fault fault;
    if (folder.kindOf(name, fault) == Kind::Missing && !fault) {
        fault = makeNew(folder, dir, name, newFiles, fd);
        if (fault.reason == Reason::Exists)
            fault = {}; // another game made it meanwhile: open theirs
    }
    if (!fault && !fd.valid()) {
        // A write lock needs a descriptor open for writing.
        fault = openRegular(folder, dir, name, O_RDWR, fd);
        if (barred(fault))
            fault = openForeign();
    }
    if (fault)
        fd = Fd();
    return fault;
}

Fault Lock::System::openForeign()
{
    if (::fstatat(dir, name.c_str(), &seen, AT_SYMLINK_NOFOLLOW) != 0)
        return lastFault();
    const Fault fault = openRegular(folder, dir, name, O_RDONLY, fd);
    if (!fault && ::fstat(fd.get(), &seen) == 0)
        foreign = Foreign::ReadOnly;
    else if (barred(fault))
        foreign = Foreign::Closed;
    else
        return fault ? fault : lastFault();
    if (const Fault refused = folder.replaceable(name)) {
        foreign = Foreign::No;
        return {Reason::Unusable, refused.code};
    }
    return {};
}

bool Lock::tryTake(Fault& fault)
{
    if (system_->foreign != System::Foreign::No && !system_->replaceForeign(fault))
        return false;
    return lockWhole(system_->fd.get(), F_WRLCK, fault) && system_->stillInPlace(fault);
}

bool Lock::System::stillInPlace(Fault& fault)
{
    struct stat held;
    struct stat there;
    if (::fstat(fd.get(), &held) == 0 &&
        ::fstatat(dir, name.c_str(), &there, AT_SYMLINK_NOFOLLOW) == 0 && sameFile(held, there))
        return true;
    fault = open();
    return false;
}

bool Lock::System::replaceForeign(Fault& fault)
{
    if (foreign == Foreign::ReadOnly && !lockWhole(fd.get(), F_RDLCK, fault))
        return false;
    Fd fresh;
    std::string passing;
    if ((fault = makePassing(folder, dir, name, newFiles, fresh, passing)))
        return false;
    struct stat there;
    if (::fstatat(dir, name.c_str(), &there, AT_SYMLINK_NOFOLLOW) != 0 || !sameFile(there, seen)) {
        ::unlinkat(dir, passing.c_str(), 0);
        fault = open();
        return false;
    }
    stepping("rename", folder.pathOf(name));
    if (::renameat(dir, passing.c_str(), dir, name.c_str()) != 0) {
        // One gone before it was renamed is made again at the next try.
        if (errno != ENOENT)
            fault = lastFault();
        ::unlinkat(dir, passing.c_str(), 0);
        return false;
    }
    fd = std::move(fresh);
    foreign = Foreign::No;
    return true;
}

} // namespace cifrelle::records::fileops
