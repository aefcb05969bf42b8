// SPDX-License-Identifier: GPL-3.0-or-later
// The record files' file operations on Windows. The folder is opened once
// as a handle that lets other games read and write in it but lets nobody
// rename or delete it meanwhile (no FILE_SHARE_DELETE); its final path
// (GetFinalPathNameByHandleW: every link and junction on the way resolved)
// is what every later call uses, so a junction changed later sends nothing
// elsewhere. Paths go to the wide ("W") functions whole, so a folder like
// C:\Users\Nicolò\AppData\Roaming works; a record file is looked at before
// it is opened (a reparse point, that is a link or a junction, is never
// followed) and checked again once open (GetFileType: a disk file, not a
// device or a pipe). The lock is a LockFileEx lock, which Windows drops when
// its holder ends; writes are flushed with FlushFileBuffers and put in
// place with MoveFileExW (MOVEFILE_REPLACE_EXISTING |
// MOVEFILE_WRITE_THROUGH). A new file takes the folder's access list as it
// is made, so no file is ever made under a passing name here.

#include "fileops.h"

#include <windows.h>

#include <vector>

namespace cifrelle::records::fileops {

namespace {

constexpr DWORD shareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// A handle closed on scope exit.
class Handle {
public:
    explicit Handle(HANDLE handle = INVALID_HANDLE_VALUE) : handle_(handle) {}
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    ~Handle() { close(); }
    Handle& operator=(HANDLE handle)
    {
        close();
        handle_ = handle;
        return *this;
    }
    HANDLE get() const { return handle_; }
    bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
    HANDLE release()
    {
        const HANDLE handle = handle_;
        handle_ = INVALID_HANDLE_VALUE;
        return handle;
    }
    // Closes now; false when closing failed.
    bool close()
    {
        const bool closed = !valid() || CloseHandle(handle_);
        handle_ = INVALID_HANDLE_VALUE;
        return closed;
    }

private:
    HANDLE handle_;
};

Fault lastFault()
{
    return faultOf(static_cast<long>(GetLastError()));
}

// Opens `path`, never following a reparse point at its end; `shown` is the
// path the player knows, for the tests' watch.
HANDLE create(const fs::path& path, const fs::path& shown, DWORD access, DWORD disposition)
{
    opening(shown);
    return CreateFileW(path.c_str(), access, shareAll, nullptr, disposition,
                       FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
}

Kind kindAt(const fs::path& path, Fault& fault)
{
    fault = {};
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = GetLastError();
        if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND)
            fault = faultOf(static_cast<long>(error));
        return Kind::Missing;
    }
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT)
        return Kind::Link;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        return Kind::Folder;
    if (attributes & FILE_ATTRIBUTE_DEVICE)
        return Kind::Other;
    return Kind::Regular;
}

// Whether an open handle is a plain disk file.
Fault notRegular(HANDLE handle)
{
    if (GetFileType(handle) != FILE_TYPE_DISK)
        return {Reason::NotRegular, 0};
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(handle, &info))
        return lastFault();
    if (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
        return {Reason::Link, 0};
    if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        return {Reason::IsFolder, 0};
    return {};
}

// Opens the regular file at `path`; refuses anything else unopened.
Fault openRegular(const fs::path& path, const fs::path& shown, DWORD access, Handle& handle)
{
    Fault fault;
    switch (kindAt(path, fault)) {
    case Kind::Missing: return fault ? fault : Fault{Reason::Missing, ERROR_FILE_NOT_FOUND};
    case Kind::Folder: return {Reason::IsFolder, 0};
    case Kind::Link: return {Reason::Link, 0};
    case Kind::Other: return {Reason::NotRegular, 0};
    case Kind::Regular: break;
    }
    handle = create(path, shown, access, OPEN_EXISTING);
    if (!handle.valid())
        return lastFault();
    return notRegular(handle.get());
}

} // namespace

Fault faultOf(long code)
{
    switch (code) {
    case 0: return {};
    case ERROR_ACCESS_DENIED:
    case ERROR_PRIVILEGE_NOT_HELD: return {Reason::Denied, code};
    case ERROR_WRITE_PROTECT: return {Reason::ReadOnlyDisk, code};
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return {Reason::DiskFull, code};
    case 1295: /* ERROR_DISK_QUOTA_EXCEEDED, missing from MinGW headers */
        return {Reason::QuotaFull, code};
    case ERROR_DIRECTORY: return {Reason::PartNotFolder, code};
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND: return {Reason::Missing, code};
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
    case ERROR_DIR_NOT_EMPTY: return {Reason::Exists, code};
    case ERROR_CANT_ACCESS_FILE:
    case ERROR_CANT_RESOLVE_FILENAME: return {Reason::Link, code};
    case ERROR_FILENAME_EXCED_RANGE: return {Reason::NameTooLong, code};
    case ERROR_CRC:
    case ERROR_READ_FAULT:
    case ERROR_WRITE_FAULT:
    case ERROR_IO_DEVICE: return {Reason::DiskError, code};
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION: return {Reason::Busy, code};
    case ERROR_TOO_MANY_OPEN_FILES: return {Reason::TooManyFiles, code};
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY: return {Reason::NoMemory, code};
    case ERROR_REM_NOT_LIST:
    case ERROR_BAD_NETPATH:
    case ERROR_UNEXP_NET_ERR:
    case ERROR_NETNAME_DELETED:
    case ERROR_BAD_DEV_TYPE:
    case ERROR_BAD_NET_NAME:
    case ERROR_SEM_TIMEOUT:
    case ERROR_NETWORK_UNREACHABLE:
    case ERROR_HOST_UNREACHABLE: return {Reason::Network, code};
    default: return {Reason::Other, code};
    }
}

bool isAbsolute(const fs::path& path)
{
    const std::wstring& text = path.native();
    const auto separator = [&](std::size_t at) {
        return text.size() > at && (text[at] == L'\\' || text[at] == L'/');
    };
    const bool drive = text.size() > 1 && text[1] == L':';
    return (drive && separator(2)) ||
           (separator(0) && separator(1) && text.size() > 2 && !separator(2));
}

Fault makeFolder(const fs::path& folder)
{
    fs::path made;
    for (const fs::path& part : folder) {
        made /= part;
        if (!made.has_relative_path())
            continue; // "C:\" and the like
        if (CreateDirectoryW(made.c_str(), nullptr))
            continue;
        const DWORD error = GetLastError();
        if (error != ERROR_ALREADY_EXISTS)
            return faultOf(static_cast<long>(error));
        const DWORD attributes = GetFileAttributesW(made.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
            return {Reason::PartNotFolder, ERROR_DIRECTORY};
    }
    return {};
}

// --- the folder ------------------------------------------------------------------

struct Folder::System {
    Handle handle;
    fs::path final; // the folder's final path, "\\?\C:\..."
    fs::path at(std::string_view name) const { return final / fs::path(name); }
};

Folder::Folder() = default;
Folder::~Folder() = default;

Fault Folder::open(const fs::path& path)
{
    system_.reset();
    path_ = path;
    opening(path);
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return lastFault();
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return {Reason::FolderIsFile, ERROR_DIRECTORY};
    // Links and junctions on the way are followed, this once. Other games
    // may read and write in the folder; nobody may rename or delete it
    // while the game runs.
    // Traversing is the least right that still counts in the sharing
    // checks (as reading).
    Handle handle(CreateFileW(path.c_str(), FILE_TRAVERSE | SYNCHRONIZE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!handle.valid())
        return lastFault();
    std::vector<wchar_t> final(MAX_PATH);
    for (;;) {
        const DWORD length =
            GetFinalPathNameByHandleW(handle.get(), final.data(), static_cast<DWORD>(final.size()),
                                      FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        if (length == 0)
            return lastFault();
        if (length < final.size()) {
            final.resize(length);
            break;
        }
        final.resize(length + 1);
    }
    system_ = std::make_unique<System>();
    system_->handle = handle.release();
    system_->final = std::wstring(final.begin(), final.end());
    return {};
}

// The folder cannot be moved or deleted while its handle is open (see the
// top), but a junction on its path can be turned to another.
Standing Folder::standing() const
{
    Handle now(CreateFileW(path_.c_str(), FILE_READ_ATTRIBUTES, shareAll, nullptr, OPEN_EXISTING,
                           FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!now.valid()) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? Standing::Moved
                                                                              : Standing::Same;
    }
    std::vector<wchar_t> final(system_->final.native().size() + MAX_PATH);
    const DWORD length =
        GetFinalPathNameByHandleW(now.get(), final.data(), static_cast<DWORD>(final.size()),
                                  FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (length == 0 || length >= final.size())
        return Standing::Replaced; // a longer path: another folder
    return CompareStringOrdinal(final.data(), static_cast<int>(length), system_->final.c_str(),
                                static_cast<int>(system_->final.native().size()),
                                TRUE) == CSTR_EQUAL
               ? Standing::Same
               : Standing::Replaced;
}

Fault Folder::takesNewFiles() const
{
    // Windows keeps who may write in access lists, not in bits that could
    // be checked here: a folder that refuses is found out by the save.
    return {};
}

// Windows keeps who may use a file in access lists: a new file takes the
// folder's inheritable entries, and a file moved within the folder keeps
// them, so every file the game makes there is open to whoever the folder
// is open to. Nothing is set up here, and a write is probed for, because
// access lists cannot be read as bits: a file made and deleted at once.
Fault Folder::shared(NewFiles& newFiles) const
{
    newFiles = {};
    // Per thread: the class's keeper serves several games at once.
    const std::string probe = ".cifrel.probe." + std::to_string(GetCurrentProcessId()) + "." +
                              std::to_string(GetCurrentThreadId());
    Handle handle(CreateFileW(system_->at(probe).c_str(), GENERIC_WRITE, shareAll, nullptr,
                              CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE,
                              nullptr));
    return handle.valid() ? Fault{} : lastFault();
}

Kind Folder::kindOf(std::string_view name, Fault& fault) const
{
    return kindAt(system_->at(name), fault);
}

Fault Folder::read(std::string_view name, std::size_t limit, std::string& bytes) const
{
    bytes.clear();
    Handle handle;
    if (const Fault fault = openRegular(system_->at(name), pathOf(name), GENERIC_READ, handle))
        return fault;
    bytes.resize(limit);
    std::size_t got = 0;
    while (got < limit) {
        DWORD n = 0;
        if (!ReadFile(handle.get(), bytes.data() + got, static_cast<DWORD>(limit - got), &n,
                      nullptr)) {
            bytes.clear();
            return lastFault();
        }
        if (n == 0)
            break;
        got += n;
    }
    bytes.resize(got);
    return {};
}

Fault Folder::createEmpty(std::string_view name, const NewFiles&) const
{
    Handle handle(create(system_->at(name), pathOf(name), GENERIC_WRITE, CREATE_NEW));
    return handle.valid() ? Fault{} : lastFault();
}

Fault Folder::writable(std::string_view name, unsigned& permissions) const
{
    permissions = 0; // a new file takes the folder's access list
    Handle handle;
    return openRegular(system_->at(name), pathOf(name), GENERIC_WRITE, handle);
}

Fault Folder::replaceable(std::string_view name) const
{
    unsigned ignored = 0;
    return writable(name, ignored);
}

bool Folder::madeAs(std::string_view name, const NewFiles&) const
{
    Handle handle;
    return !openRegular(system_->at(name), pathOf(name), GENERIC_READ, handle);
}

Fault Folder::writeNew(std::string_view name, std::string_view bytes, const NewFiles&) const
{
    Fault fault;
    stepping("remove", pathOf(name));
    if (!DeleteFileW(system_->at(name).c_str()) && kindOf(name, fault) == Kind::Folder)
        return {Reason::IsFolder, ERROR_DIRECTORY};
    Handle handle(create(system_->at(name), pathOf(name), GENERIC_WRITE, CREATE_NEW));
    if (!handle.valid())
        return lastFault();
    stepping("write", pathOf(name));
    for (std::size_t done = 0; done < bytes.size();) {
        DWORD n = 0;
        if (!WriteFile(handle.get(), bytes.data() + done, static_cast<DWORD>(bytes.size() - done),
                       &n, nullptr))
            return lastFault();
        done += n;
    }
    stepping("sync", pathOf(name));
    if (!FlushFileBuffers(handle.get()) || !handle.close())
        return lastFault();
    return {};
}

Fault Folder::append(std::string_view name, std::string_view heading, std::string_view text,
                     const NewFiles&) const
{
    const fs::path path = system_->at(name);
    Handle handle;
    Fault fault = openRegular(path, pathOf(name), GENERIC_READ | GENERIC_WRITE, handle);
    if (fault.reason == Reason::Missing) {
        handle = create(path, pathOf(name), GENERIC_READ | GENERIC_WRITE, OPEN_ALWAYS);
        fault = handle.valid() ? notRegular(handle.get()) : lastFault();
    }
    if (fault)
        return fault;
    LARGE_INTEGER length;
    if (!GetFileSizeEx(handle.get(), &length))
        return lastFault();
    char tail[3];
    const DWORD tailSize = length.QuadPart < 3 ? static_cast<DWORD>(length.QuadPart) : 3;
    LARGE_INTEGER before;
    before.QuadPart = length.QuadPart - tailSize;
    DWORD n = 0;
    if (!SetFilePointerEx(handle.get(), before, nullptr, FILE_BEGIN) ||
        !ReadFile(handle.get(), tail, tailSize, &n, nullptr) || n != tailSize)
        return lastFault();
    std::string bytes =
        lineStart(std::string_view(tail, tailSize), length.QuadPart == tailSize, heading);
    bytes += text;
    if (!SetFilePointerEx(handle.get(), length, nullptr, FILE_BEGIN))
        return lastFault();
    stepping("write", pathOf(name));
    for (std::size_t done = 0; done < bytes.size();) {
        DWORD n = 0;
        if (!WriteFile(handle.get(), bytes.data() + done, static_cast<DWORD>(bytes.size() - done),
                       &n, nullptr)) {
            fault = lastFault();
            SetFilePointerEx(handle.get(), length, nullptr, FILE_BEGIN);
            SetEndOfFile(handle.get());
            return fault;
        }
        done += n;
    }
    stepping("sync", pathOf(name));
    if (!FlushFileBuffers(handle.get()) || !handle.close())
        return lastFault();
    return {};
}

Fault Folder::replace(std::string_view from, std::string_view to) const
{
    stepping("rename", pathOf(to));
    if (!MoveFileExW(system_->at(from).c_str(), system_->at(to).c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return lastFault();
    return {};
}

void Folder::remove(std::string_view name) const
{
    stepping("remove", pathOf(name));
    DeleteFileW(system_->at(name).c_str());
}

void Folder::sync() const
{
    // MOVEFILE_WRITE_THROUGH: a move is on the disk when MoveFileExW returns.
}

void Folder::clearPassing(std::initializer_list<std::string_view>, const Budget&) const
{
    // No passing files are made here (see the top of this file).
}

// --- the lock ------------------------------------------------------------------

struct Lock::System {
    const Folder& folder;
    fs::path final;
    Handle handle;
};

Lock::Lock(const Folder& folder, const NewFiles&)
    : system_(new System{folder, fs::path(), Handle()})
{
}

Lock::~Lock()
{
    if (system_->handle.valid()) {
        OVERLAPPED where{};
        UnlockFileEx(system_->handle.get(), 0, 1, 0, &where);
    }
}

Fault Lock::open(std::string_view name)
{
    const Folder& folder = system_->folder;
    system_->final = folder.system_ ? folder.system_->final : fs::path();
    Handle& handle = system_->handle;
    handle.close();
    if (system_->final.empty())
        return faultOf(ERROR_INVALID_HANDLE);
    const fs::path path = system_->final / fs::path(name);
    const fs::path shown = system_->folder.pathOf(name);
    Fault fault;
    const Kind kind = kindAt(path, fault);
    if (fault)
        return fault;
    if (kind == Kind::Missing) {
        handle = create(path, shown, GENERIC_READ | GENERIC_WRITE, OPEN_ALWAYS);
        if (!handle.valid())
            return lastFault();
        fault = notRegular(handle.get());
    } else {
        fault = openRegular(path, shown, GENERIC_READ | GENERIC_WRITE, handle);
        if (fault.reason == Reason::Denied) // locking needs no write access
            fault = openRegular(path, shown, GENERIC_READ, handle);
        // One closed even to reading (another account's, its access list
        // changed) can neither be locked nor, as a rule, replaced: named for
        // removal.
        if (fault.reason == Reason::Denied)
            fault = {Reason::Unusable, fault.code};
    }
    if (fault)
        handle.close();
    return fault;
}

bool Lock::tryTake(Fault& fault)
{
    fault = {};
    OVERLAPPED where{};
    if (LockFileEx(system_->handle.get(), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1,
                   0, &where))
        return true;
    const DWORD error = GetLastError();
    if (error != ERROR_LOCK_VIOLATION && error != ERROR_IO_PENDING)
        fault = faultOf(static_cast<long>(error));
    return false;
}

} // namespace cifrelle::records::fileops
