// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The few file operations the record files need, one implementation per
// system, chosen when the game is compiled: fileops_posix.cpp (a folder
// descriptor and the *at() calls, fcntl byte-range locks, fsync) and
// fileops_windows.cpp (a folder handle and its final path, LockFileEx,
// FlushFileBuffers, MoveFileExW).
//
// The record folder is opened once (Folder::open), following any link on
// its way that once; every later operation works inside that opened folder
// on a plain file name, so a link changed later, or the folder moved, sends
// nothing elsewhere. Inside the folder nothing is ever followed: every
// operation refuses to open anything but a regular file (or a missing one
// it creates): a link, a folder, a device or a pipe in a record file's
// place is reported, never opened.

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <initializer_list>
#include <memory>
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
    IsFolder,      // a folder where a file should be
    PartNotFolder, // a part of the path, before its last, is not a folder
    FolderIsFile,  // the folder chosen is a file
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
    Unusable, // a file the game may not open (one closed to this account,
              // or held by another program), which it cannot replace
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

// Where the folder opened stands now, against the path it was opened by:
// still there (Same); moved away, the path leading nowhere (Moved); moved
// away, the path leading to another folder (Replaced: a new folder of the
// same name, or a link on the way turned); deleted (Deleted), the path
// leading anywhere.
enum class Standing { Same, Moved, Replaced, Deleted };

// How much of the folder one clean-up of passing files may take: at most
// `files` of them looked at, and `time` in all (half of it at most reading
// the folder's entries), though a few thousand entries are always read and
// a few files always looked at; what is left waits for the next.
struct Budget {
    std::size_t files;
    std::chrono::milliseconds time;
};

// Whether `path` names one place whatever the current folder: "/..." on
// POSIX systems; "C:\..." or a network path "\\server\share\..." on
// Windows (which MinGW's std::filesystem does not take as absolute).
bool isAbsolute(const fs::path& path);

// Creates the folder and its parents; nothing when it is there already.
Fault makeFolder(const fs::path& folder);

// How the files the game makes are set up. By default (all zero) as the
// system makes them, under the player's umask. In a folder that several
// accounts share, with exactly `permissions` and in `group`, whatever the
// player's umask (Folder::shared() works them out). writeNew() also takes
// the permissions of the file it replaces this way.
struct NewFiles {
    unsigned permissions = 0; // 0: as the system makes them
    long group = -1;          // -1: as the system gives it
};

// The record folder, opened once; its operations take the plain name of a
// file in it ("cifrel.txt"), never a path, and need the folder open.
class Folder {
public:
    Folder();
    Folder(const Folder&) = delete;
    Folder& operator=(const Folder&) = delete;
    ~Folder();

    // Opens the folder at `path`, following the links on its way (this
    // once): Reason::FolderIsFile when it is a file.
    Fault open(const fs::path& path);
    bool isOpen() const { return system_ != nullptr; }
    // The path given to open(), and a file's path in the folder: for the
    // messages only.
    const fs::path& path() const { return path_; }
    fs::path pathOf(std::string_view name) const { return path_ / name; }

    // Whether new files can be made in the folder.
    Fault takesNewFiles() const;
    // Whether the path given to open() still leads to this folder. A path
    // that cannot be looked at now (a server out of reach) counts as Same:
    // the operations say what is wrong.
    Standing standing() const;
    // The folder an administrator chose for every account: whether it takes
    // new files from this account, and how the files made in it are set up
    // so that every account that may write in the folder may read and
    // replace them, and no other.
    Fault shared(NewFiles& newFiles) const;

    // What is there, without following a link.
    Kind kindOf(std::string_view name, Fault& fault) const;
    // Up to `limit` bytes from the start of the regular file.
    Fault read(std::string_view name, std::size_t limit, std::string& bytes) const;
    // Creates an empty regular file, set up as `newFiles` says before any
    // other game can open it; Reason::Exists when something is there
    // already.
    Fault createEmpty(std::string_view name, const NewFiles& newFiles) const;
    // Whether the regular file may be written; gives the permission bits
    // that its replacement keeps (0 where the system has none).
    Fault writable(std::string_view name, unsigned& permissions) const;
    // Whether a rename may put another file in the place of the regular
    // file (in a folder with the sticky bit only the file's or the folder's
    // owner may).
    Fault replaceable(std::string_view name) const;
    // Whether the regular file is one this account can read, set up as
    // `newFiles` says (permissions and group, where it says any).
    bool madeAs(std::string_view name, const NewFiles& newFiles) const;
    // Writes `bytes` to a new file (what was there goes first, unless it is
    // a folder: Reason::IsFolder), set up as `newFiles` says, and flushes it
    // to the disk.
    Fault writeNew(std::string_view name, std::string_view bytes, const NewFiles& newFiles) const;
    // Adds `text` at the end of the regular file, made when missing (set up
    // as `newFiles` says); a file that holds nothing, or only the heading's
    // byte-order mark, gets `heading` first (lineStart()). Text cut off
    // before a line end by an earlier writer's crash keeps its bytes, and
    // `text` starts on a line of its own after it. Only the file's length
    // and its last three bytes are read, however long it is. A write that
    // fails leaves the file as it was, as far as the system lets it.
    Fault append(std::string_view name, std::string_view heading, std::string_view text,
                 const NewFiles& newFiles) const;
    // Puts `from` in place of `to` in one step.
    Fault replace(std::string_view from, std::string_view to) const;
    // Deletes the entry itself (a link, not what it points to); a missing
    // one is no fault, and a folder is left.
    void remove(std::string_view name) const;
    // Makes the folder's entries (new files, renames) durable.
    void sync() const;
    // Removes the passing files that games ended while making them left on
    // their way to one of `targets` (a file is made under a passing name,
    // set up, and only then linked or renamed into place): those of games
    // still making them, and any folder, stay. Takes no more than `budget`
    // however many entries the folder holds, and picks the files it looks
    // at at random, so that later clean-ups get to the rest.
    void clearPassing(std::initializer_list<std::string_view> targets, const Budget& budget) const;

private:
    friend class Lock;
    struct System; // the system's handle on the folder (per-system file)
    std::unique_ptr<System> system_;
    fs::path path_;
};

// What Folder::append() writes before its text, from the file's last bytes
// (`tail`, up to three; `whole` when they are all the file holds): the rest
// of `heading` when the file holds nothing or only the heading's beginning
// (its byte-order mark); after a line cut short, LF when it ends in a lone
// CR, CR LF otherwise; nothing after a line end.
inline std::string lineStart(std::string_view tail, bool whole, std::string_view heading)
{
    if (whole && heading.starts_with(tail))
        return std::string(heading.substr(tail.size()));
    if (tail.back() == '\r')
        return "\n";
    return tail.back() == '\n' ? "" : "\r\n";
}

// The lock file every game using the folder takes while it saves: a
// byte-range lock (fcntl() on POSIX systems, LockFileEx on Windows), which a
// network folder's server honours for every client. The system lets go of
// it when its holder ends, however it ends.
class Lock {
public:
    // `folder` must outlive the Lock, and be open by open(); `newFiles`:
    // how a lock file it makes is set up.
    explicit Lock(const Folder& folder, const NewFiles& newFiles = {});
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;
    ~Lock();

    // Opens (or makes) the lock file `name` in the folder. On POSIX systems
    // a lock file this account may only read, or may not open at all, is
    // replaced by one of its own when the lock is first taken, if the
    // folder lets it; one it can neither lock nor replace is
    // Reason::Unusable.
    Fault open(std::string_view name);
    // Takes the lock if it is free; false with no fault while another holds
    // it.
    bool tryTake(Fault& fault);

private:
    struct System; // the open lock file (per-system file)
    std::unique_ptr<System> system_;
};

// Tests watch what the layer does (null: nobody watches): every path it
// opens, and every step it takes in the folder ("open", "set up", "write",
// "sync", "link", "rename", "remove"), just before taking it.
inline void (*watchOpen)(const fs::path& path) = nullptr;
inline void (*watchStep)(std::string_view step, const fs::path& path) = nullptr;
// Tests set it to work as on a file system that makes no unnamed files
// (POSIX: O_TMPFILE), so that files are made under passing names.
inline bool noUnnamedFiles = false;

inline void stepping(std::string_view step, const fs::path& path)
{
    if (watchStep)
        watchStep(step, path);
}

inline void opening(const fs::path& path)
{
    if (watchOpen)
        watchOpen(path);
    stepping("open", path);
}

} // namespace cifrelle::records::fileops
