// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A file opened to be read and nothing else, one implementation per system
// (readonlyfile_posix.cpp, readonlyfile_windows.cpp): what the teacher's
// view reads registers with. The name is looked at before it is opened: a
// folder, a pipe, a device or a socket (or a link to one) is refused
// without being opened, so nothing ever waits on it; the file is then
// opened without the right to write, shared with the games that append to
// it, and looked at again through its handle.

#include "fileops.h"

#include <cstddef>
#include <filesystem>
#include <memory>

namespace cifrelle::records::readonly {

class File {
public:
    File();
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    ~File();

    // Opens the regular file at `path` (a link to one is followed):
    // Reason::Missing, Reason::IsFolder, Reason::NotRegular, Reason::Denied
    // and the system's other faults.
    fileops::Fault open(const std::filesystem::path& path);
    // Up to `size` bytes from where the last read ended; 0 at the end.
    // -1 on a fault, which `fault` then tells.
    long long read(char* buffer, std::size_t size, fileops::Fault& fault);

private:
    struct System; // the system's handle (per-system file)
    std::unique_ptr<System> system_;
};

} // namespace cifrelle::records::readonly
