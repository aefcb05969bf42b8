// SPDX-License-Identifier: GPL-3.0-or-later
// A file opened read-only on Windows: its attributes before CreateFileW
// (which cannot open a folder as a file, and would say "access denied"),
// then GENERIC_READ alone, shared with the games that append to it, and
// GetFileType() on the handle (a console, a serial port or a pipe is no
// disk file).
#include "readonlyfile.h"

#include <windows.h>

namespace cifrelle::records::readonly {

using fileops::Fault;
using fileops::Reason;

struct File::System {
    HANDLE handle = INVALID_HANDLE_VALUE;
    ~System()
    {
        if (handle != INVALID_HANDLE_VALUE)
            CloseHandle(handle);
    }
};

File::File() = default;
File::~File() = default;

Fault File::open(const std::filesystem::path& path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return fileops::faultOf(static_cast<long>(GetLastError()));
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        return {Reason::IsFolder, 0};
    auto system = std::make_unique<System>();
    system->handle = CreateFileW(path.c_str(), GENERIC_READ,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (system->handle == INVALID_HANDLE_VALUE)
        return fileops::faultOf(static_cast<long>(GetLastError()));
    if (GetFileType(system->handle) != FILE_TYPE_DISK)
        return {Reason::NotRegular, 0};
    system_ = std::move(system);
    return {};
}

long long File::read(char* buffer, std::size_t size, Fault& fault)
{
    DWORD got = 0;
    const DWORD asked = size > 0x40000000u ? 0x40000000u : static_cast<DWORD>(size);
    if (!ReadFile(system_->handle, buffer, asked, &got, nullptr)) {
        fault = fileops::faultOf(static_cast<long>(GetLastError()));
        return -1;
    }
    return got;
}

} // namespace cifrelle::records::readonly
