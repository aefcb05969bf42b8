// SPDX-License-Identifier: GPL-3.0-or-later
// The record files' file operations on Linux and other POSIX systems.
// A record file is looked at with lstat() before it is opened, opened with
// O_NOFOLLOW and O_NONBLOCK (a pipe slipped in meanwhile never blocks), and
// checked again with fstat() once open. In a folder that several accounts
// share, a new file is set up (its group and permissions) under a passing
// name and only then linked into place, so that no other game ever finds it
// with the permissions the player's umask would give.

#include "fileops.h"

#include <cerrno>
#include <cstdlib>
#include <system_error>

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

Fd openFile(const fs::path& path, int flags, mode_t mode = 0)
{
    opening(path);
    int fd;
    do {
        fd = ::open(path.c_str(), flags | O_CLOEXEC | O_NOCTTY, mode);
    } while (fd < 0 && errno == EINTR);
    return Fd(fd);
}

Fault lastFault()
{
    return faultOf(errno);
}

// What an lstat() or fstat() result is, as a fault for anything but a
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

// Opens the regular file at `path`; refuses anything else unopened.
Fault openRegular(const fs::path& path, int flags, Fd& fd)
{
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0)
        return lastFault();
    if (const Fault fault = notRegular(st))
        return fault;
    fd = openFile(path, flags | O_NOFOLLOW | O_NONBLOCK);
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
Fault setUp(int fd, const NewFiles& how)
{
    if (how.group >= 0)
        (void)!::fchown(fd, static_cast<uid_t>(-1), static_cast<gid_t>(how.group));
    if (how.permissions != 0 && ::fchmod(fd, how.permissions) != 0)
        return lastFault();
    return {};
}

// A new empty file under a passing name beside `path` ("cifrel.txt.Ab12Cd"),
// open for reading and writing, set up as `how` says.
Fault makePassing(const fs::path& path, const NewFiles& how, Fd& fd, std::string& passing)
{
    passing = path.string() + ".XXXXXX";
    opening(passing);
    fd = Fd(::mkostemp(passing.data(), O_CLOEXEC));
    if (!fd.valid())
        return lastFault();
    const Fault fault = setUp(fd.get(), how);
    if (fault)
        ::unlink(passing.c_str());
    return fault;
}

// A new empty regular file at `path`, open for reading and writing, set up
// as `how` says before another game can open it.
Fault makeNew(const fs::path& path, const NewFiles& how, Fd& fd)
{
    if (how.permissions == 0 && how.group < 0) {
        fd = openFile(path, O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW, 0666);
        return fd.valid() ? Fault{} : lastFault();
    }
    std::string passing;
    if (const Fault fault = makePassing(path, how, fd, passing))
        return fault;
    const int linked = ::link(passing.c_str(), path.c_str());
    const int error = errno;
    ::unlink(passing.c_str());
    if (linked == 0)
        return {};
    fd = Fd();
    if (error != EPERM && error != EOPNOTSUPP && error != ENOSYS)
        return faultOf(error);
    // A file system without hard links: made in place and set up at once.
    fd = openFile(path, O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW, 0600);
    return fd.valid() ? setUp(fd.get(), how) : lastFault();
}

// Takes a lock of `type` (F_RDLCK, F_WRLCK) on the whole file, from byte 0
// to its end however long it grows; false with no fault while another
// holds one that conflicts. A byte-range lock, unlike flock(), reaches the
// server of an NFS or SMB folder, so that games on other computers see it
// too. Where the system has them, it is an open-file-description lock: it
// belongs to the Lock's own descriptor, so two Locks in one process exclude
// each other, and closing another descriptor of the same file does not let
// it go (a classic fcntl() lock would do both, being the process's).
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
    case ENOTDIR: return {Reason::NotFolder, code};
    case ENOENT: return {Reason::Missing, code};
    case EEXIST:
    case ENOTEMPTY: return {Reason::Exists, code};
    case ELOOP: return {Reason::Link, code};
    case ENXIO:
    case ENODEV: return {Reason::NotRegular, code};
    case ENAMETOOLONG: return {Reason::NameTooLong, code};
    case EIO: return {Reason::DiskError, code};
    case EBUSY:
    case ETXTBSY: return {Reason::Busy, code};
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

Kind kindOf(const fs::path& path, Fault& fault)
{
    fault = {};
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0) {
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

Fault makeFolder(const fs::path& folder)
{
    std::error_code ec;
    fs::create_directories(folder, ec);
    return ec ? faultOf(ec.value()) : Fault{};
}

Fault folderWritable(const fs::path& folder)
{
    return ::access(folder.c_str(), W_OK | X_OK) == 0 ? Fault{} : lastFault();
}

Fault sharedFolder(const fs::path& folder, NewFiles& newFiles)
{
    struct stat st;
    if (::stat(folder.c_str(), &st) != 0)
        return lastFault();
    if (!S_ISDIR(st.st_mode))
        return {Reason::NotAFolder, ENOTDIR};
    if (const Fault fault = folderWritable(folder))
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

Fault readRegular(const fs::path& path, std::size_t limit, std::string& bytes)
{
    bytes.clear();
    Fd fd;
    if (const Fault fault = openRegular(path, O_RDONLY, fd))
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

Fault createEmpty(const fs::path& path, const NewFiles& newFiles)
{
    Fd fd;
    return makeNew(path, newFiles, fd);
}

Fault writableRegular(const fs::path& path, unsigned& permissions)
{
    Fd fd;
    if (const Fault fault = openRegular(path, O_WRONLY, fd))
        return fault;
    struct stat st;
    if (::fstat(fd.get(), &st) != 0)
        return lastFault();
    permissions = st.st_mode & 07777;
    return {};
}

Fault replaceable(const fs::path& path)
{
    struct stat file;
    struct stat folder;
    if (::lstat(path.c_str(), &file) != 0)
        return lastFault();
    if (const Fault fault = notRegular(file))
        return fault;
    const fs::path parent = path.parent_path();
    if (const Fault fault = folderWritable(parent))
        return fault;
    if (::stat(parent.c_str(), &folder) != 0)
        return lastFault();
    const uid_t me = ::geteuid();
    if ((folder.st_mode & S_ISVTX) && me != 0 && me != file.st_uid && me != folder.st_uid)
        return {Reason::Denied, EPERM};
    return {};
}

Fault writeNew(const fs::path& path, std::string_view bytes, const NewFiles& newFiles)
{
    ::unlink(path.c_str());
    Fd fd = openFile(path, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW, 0666);
    if (!fd.valid())
        return lastFault();
    if (const Fault fault = setUp(fd.get(), newFiles))
        return fault;
    for (std::size_t done = 0; done < bytes.size();) {
        const ssize_t n = ::write(fd.get(), bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return lastFault();
        done += static_cast<std::size_t>(n);
    }
    if (::fsync(fd.get()) != 0)
        return lastFault();
    if (const int error = fd.close())
        return faultOf(error);
    return {};
}

Fault replace(const fs::path& from, const fs::path& to)
{
    return ::rename(from.c_str(), to.c_str()) == 0 ? Fault{} : lastFault();
}

void syncFolder(const fs::path& folder)
{
    // File systems that cannot sync a folder say EINVAL: nothing more to do.
    Fd fd = openFile(folder, O_RDONLY | O_DIRECTORY);
    if (fd.valid())
        ::fsync(fd.get());
}

void remove(const fs::path& path)
{
    ::unlink(path.c_str());
}

Lock::~Lock()
{
    if (handle_ >= 0)
        ::close(static_cast<int>(handle_));
}

Fault Lock::open(const fs::path& path)
{
    if (handle_ >= 0)
        ::close(static_cast<int>(handle_));
    handle_ = -1;
    path_ = path;
    readOnly_ = false;
    Fd fd;
    Fault fault;
    if (kindOf(path, fault) == Kind::Missing && !fault) {
        fault = makeNew(path, newFiles_, fd);
        if (fault.reason == Reason::Exists)
            fault = {}; // another game made it meanwhile: open theirs
    }
    if (!fault && !fd.valid()) {
        // A write lock needs a descriptor open for writing.
        fault = openRegular(path, O_RDWR, fd);
        if (fault.reason == Reason::Denied && !(fault = replaceable(path))) {
            fault = openRegular(path, O_RDONLY, fd);
            readOnly_ = !fault;
        }
    }
    if (fault)
        return fault;
    handle_ = fd.release();
    return {};
}

bool Lock::tryTake(Fault& fault)
{
    if (readOnly_ && !replaceReadOnly(fault))
        return false;
    return lockWhole(static_cast<int>(handle_), F_WRLCK, fault) && stillInPlace(fault);
}

// Whether the file locked is still the one at the lock file's path: another
// game may have put a new one there (replaceReadOnly) since it was opened.
// If not, it is let go, and the one in place opened for the next try.
bool Lock::stillInPlace(Fault& fault)
{
    struct stat held;
    struct stat there;
    if (::fstat(static_cast<int>(handle_), &held) == 0 && ::lstat(path_.c_str(), &there) == 0 &&
        held.st_dev == there.st_dev && held.st_ino == there.st_ino)
        return true;
    fault = open(fs::path(path_));
    return false;
}

// A lock file that this account may only read (one another account made,
// say by copying the record in by hand) takes no write lock: a lock file
// of this account's takes its place, made as `newFiles_` says. That happens
// under a read lock on the old one, which waits for no save (false while one
// is under way) and keeps every other game's lock out meanwhile; a game
// that had opened the old file and locks it afterwards finds it no longer in
// place, and tries again on the new one.
bool Lock::replaceReadOnly(Fault& fault)
{
    if (!lockWhole(static_cast<int>(handle_), F_RDLCK, fault) || !stillInPlace(fault))
        return false;
    Fd fresh;
    std::string passing;
    if ((fault = makePassing(path_, newFiles_, fresh, passing)))
        return false;
    if ((fault = replace(passing, path_))) {
        ::unlink(passing.c_str());
        return false;
    }
    ::close(static_cast<int>(handle_));
    handle_ = fresh.release();
    readOnly_ = false;
    return true;
}

} // namespace cifrelle::records::fileops
