// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The few file operations the record files need, one implementation per
// system, chosen when the game is compiled: fileops_posix.cpp (fcntl
// byte-range locks, fsync, rename) and fileops_windows.cpp (LockFileEx,
// FlushFileBuffers, MoveFileExW). Every operation refuses to open anything but a regular file
// (or a missing one it creates): a link, a folder, a device or a pipe in a
// record file's place is reported, never opened.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace cifrelle::records::fileops {

namespace fs = std::filesystem;

// Why an operation failed, in terms the messages can word in Italian;
// `code` keeps the system's own number (errno or GetLastError) for the rare
// errors that have no wording of their own.
enum class Reason {
    None,
    Denied,
    ReadOnlyDisk,
    DiskFull,
    QuotaFull,
    IsFolder,
    NotFolder,
    NotAFolder,
    NotAbsolute,
    Network,
    Missing,
    Exists,
    Link,
    NotRegular,
    NameTooLong,
    DiskError,
    Busy,
    TooManyFiles,
    NoMemory,
    Other,
};

struct Fault {
    Reason reason = Reason::None;
    long code = 0;
    explicit operator bool() const { return reason != Reason::None; }
};

// The reason of a fault in Italian words (a generic wording with the
// system's number for the rare ones); defined beside the messages.
std::string reasonText(const Fault& fault);

// The fault for a system error number (errno on POSIX, GetLastError() on
// Windows).
Fault faultOf(long code);

enum class Kind { Missing, Regular, Folder, Link, Other };

// Whether `path` names one place whatever the current folder: "/..." on
// POSIX systems; "C:\..." or a network path "\\server\share\..." on
// Windows (which MinGW's std::filesystem does not take as absolute).
bool isAbsolute(const fs::path& path);

// What is at `path`, without following a link in its last component.
Kind kindOf(const fs::path& path, Fault& fault);

// Creates the folder and its parents; nothing when it is there already.
Fault makeFolder(const fs::path& folder);

// How the files the game makes are set up. By default (all zero) as the
// system makes them, under the player's umask. In a folder that several
// accounts share, with exactly `permissions` and in `group`, whatever the
// player's umask (sharedFolder() works them out). writeNew() also takes the
// permissions of the file it replaces this way.
struct NewFiles {
    unsigned permissions = 0; // 0: as the system makes them
    long group = -1;          // -1: as the system gives it
};

// The folder an administrator chose for every account: whether it is there
// (a link to a folder will do; it is never created), is a folder
// (Reason::NotAFolder) and takes new files from this account; and how the
// files made in it are set up so that every account that may write in the
// folder may read and replace them, and no other.
Fault sharedFolder(const fs::path& folder, NewFiles& newFiles);

// Whether new files can be made in the folder.
Fault folderWritable(const fs::path& folder);

// Up to `limit` bytes from the start of the regular file at `path`.
Fault readRegular(const fs::path& path, std::size_t limit, std::string& bytes);

// Creates an empty regular file at `path`, set up as `newFiles` says
// before any other game can open it; Reason::Exists when something is there
// already. Never follows a link.
Fault createEmpty(const fs::path& path, const NewFiles& newFiles);

// Whether the regular file at `path` may be written; gives the permission
// bits that its replacement keeps (0 where the system has none).
Fault writableRegular(const fs::path& path, unsigned& permissions);

// Whether a rename in its folder may put another file in the place of the
// regular file at `path` (in a folder with the sticky bit only the file's
// or the folder's owner may).
Fault replaceable(const fs::path& path);

// Writes `bytes` to a new file at `path` (what was there goes first),
// set up as `newFiles` says, and flushes it to the disk.
Fault writeNew(const fs::path& path, std::string_view bytes, const NewFiles& newFiles);

// Puts `from` in place of `to` in one step.
Fault replace(const fs::path& from, const fs::path& to);

// Makes the folder's entries (new files, renames) durable.
void syncFolder(const fs::path& folder);

// Deletes the entry itself (a link, not what it points to); a missing one
// is no fault.
void remove(const fs::path& path);

// The lock file every game using the folder takes while it saves: a
// byte-range lock (fcntl() on POSIX systems, LockFileEx on Windows), which a
// network folder's server honours for every client. The system lets go of
// it when its holder ends, however it ends.
class Lock {
public:
    // `newFiles`: how a lock file it makes is set up.
    explicit Lock(const NewFiles& newFiles = {}) : newFiles_(newFiles) {}
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;
    ~Lock();

    // Opens (or makes) the lock file. On POSIX systems a lock file this
    // account may only read is replaced by one of its own when the lock is
    // first taken, if the folder lets it.
    Fault open(const fs::path& path);
    // Takes the lock if it is free; false with no fault while another holds
    // it.
    bool tryTake(Fault& fault);

private:
    std::intptr_t handle_ = -1;
    NewFiles newFiles_;
#ifndef _WIN32
    bool replaceReadOnly(Fault& fault);
    bool stillInPlace(Fault& fault);

    fs::path path_;
    bool readOnly_ = false; // a lock file made by another account that this
                            // one may only read (see replaceReadOnly)
#endif
};

// Tests watch every path the layer opens (null: nobody watches).
inline void (*watchOpen)(const fs::path& path) = nullptr;

inline void opening(const fs::path& path)
{
    if (watchOpen)
        watchOpen(path);
}

} // namespace cifrelle::records::fileops
