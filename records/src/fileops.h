// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The few file operations the record files need, one implementation per
// system, chosen when the game is compiled: fileops_posix.cpp (fcntl
// byte-range locks, fsync, rename) and fileops_windows.cpp (LockFileEx, FlushFileBuffers,
// MoveFileExW). Every operation refuses to open anything but a regular file
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

// What is at `path`, without following a link in its last component.
Kind kindOf(const fs::path& path, Fault& fault);

// Creates the folder and its parents; nothing when it is there already.
Fault makeFolder(const fs::path& folder);

// Whether new files can be made in the folder.
Fault folderWritable(const fs::path& folder);

// Up to `limit` bytes from the start of the regular file at `path`.
Fault readRegular(const fs::path& path, std::size_t limit, std::string& bytes);

// Creates an empty regular file at `path`; Reason::Exists when something
// is there already. Never follows a link.
Fault createEmpty(const fs::path& path);

// Whether the regular file at `path` may be written; gives the permission
// bits that its replacement keeps (0 where the system has none).
Fault writableRegular(const fs::path& path, unsigned& permissions);

// Writes `bytes` to a new file at `path` (what was there goes first) and
// flushes it to the disk. `permissions` as writableRegular gives them, or
// 0 for the usual ones.
Fault writeNew(const fs::path& path, std::string_view bytes, unsigned permissions);

// Puts `from` in place of `to` in one step.
Fault replace(const fs::path& from, const fs::path& to);

// Makes the folder's entries (new files, renames) durable.
void syncFolder(const fs::path& folder);

// Deletes the entry itself (a link, not what it points to); a missing one
// is no fault.
void remove(const fs::path& path);

// The lock file every game on the account takes while it saves: a
// byte-range lock (fcntl() on POSIX systems, LockFileEx on Windows), which a
// network folder's server honours for every client. The system lets go of
// it when its holder ends, however it ends.
class Lock {
public:
    Lock() = default;
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;
    ~Lock();

    // Opens (or makes) the lock file, for reading and writing: a write lock
    // needs both on POSIX systems.
    Fault open(const fs::path& path);
    // Takes the lock if it is free; false with no fault while another holds
    // it.
    bool tryTake(Fault& fault);

private:
    std::intptr_t handle_ = -1;
};

// Tests watch every path the layer opens (null: nobody watches).
inline void (*watchOpen)(const fs::path& path) = nullptr;

inline void opening(const fs::path& path)
{
    if (watchOpen)
        watchOpen(path);
}

} // namespace cifrelle::records::fileops
