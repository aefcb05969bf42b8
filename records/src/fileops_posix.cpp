// SPDX-License-Identifier: GPL-3.0-or-later
// The record files' file operations on Linux and other POSIX systems.
// A record file is looked at with lstat() before it is opened, opened with
// O_NOFOLLOW and O_NONBLOCK (a pipe slipped in meanwhile never blocks), and
// checked again with fstat() once open.

#include "fileops.h"

#include <cerrno>
#include <system_error>

#include <fcntl.h>
#include <sys/file.h>
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
    default: return {Reason::Other, code};
    }
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

Fault createEmpty(const fs::path& path)
{
    Fd fd = openFile(path, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW, 0666);
    return fd.valid() ? Fault{} : lastFault();
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

Fault writeNew(const fs::path& path, std::string_view bytes, unsigned permissions)
{
    ::unlink(path.c_str());
    Fd fd = openFile(path, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW, 0666);
    if (!fd.valid())
        return lastFault();
    if (permissions != 0 && ::fchmod(fd.get(), permissions) != 0)
        return lastFault();
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
    Fault fault;
    if (kindOf(path, fault) == Kind::Missing && !fault) {
        Fd made = openFile(path, O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW, 0666);
        if (made.valid()) {
            handle_ = made.release();
            return {};
        }
        if (errno != EEXIST)
            return lastFault();
        // Another game made it meanwhile: open theirs.
    }
    if (fault)
        return fault;
    Fd fd;
    fault = openRegular(path, O_RDWR, fd);
    if (fault.reason == Reason::Denied || fault.reason == Reason::ReadOnlyDisk) {
        // flock() needs no write access.
        if (!openRegular(path, O_RDONLY, fd))
            fault = {};
    }
    if (fault)
        return fault;
    handle_ = fd.release();
    return {};
}

bool Lock::tryTake(Fault& fault)
{
    fault = {};
    for (;;) {
        if (::flock(static_cast<int>(handle_), LOCK_EX | LOCK_NB) == 0)
            return true;
        if (errno == EINTR)
            continue;
        if (errno != EWOULDBLOCK)
            fault = lastFault();
        return false;
    }
}

} // namespace cifrelle::records::fileops
