// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Helpers for the record tests: the shared temporary folder and whole-file
// reading and writing of raw bytes, a watch on what the file layer opens,
// and a lock held as another game would.

#include "cifrelle/records/recordfiles.h"
#include "cifrelle/testsupport/files.h"

#include "fileops.h"

#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

namespace cifrelle::records::test {

namespace fs = std::filesystem;

using testsupport::readBytes;
using testsupport::TempDir;
using testsupport::writeBytes;

inline fs::path pending(const fs::path& path)
{
    fs::path result = path;
    result += pendingSuffix;
    return result;
}

// Whether the folder really refuses new files to this process (root may
// write anywhere).
inline bool refusesWrites(const fs::path& folder)
{
    const fs::path probe = folder / "probe";
    std::ofstream out(probe);
    if (out) {
        out.close();
        fs::remove(probe);
        return false;
    }
    return true;
}

// While alive, notes every path the file layer opens that is neither a
// regular file, nor missing (to be made), nor a folder (opened to flush it).
class OpenWatch {
public:
    OpenWatch() { fileops::watchOpen = &note; }
    ~OpenWatch() { fileops::watchOpen = nullptr; }
    static std::vector<std::string>& wrong()
    {
        static std::vector<std::string> paths;
        return paths;
    }

private:
    static void note(const fs::path& path)
    {
        std::error_code ec;
        const fs::file_type type = fs::symlink_status(path, ec).type();
        if (type != fs::file_type::regular && type != fs::file_type::not_found &&
            type != fs::file_type::directory)
            wrong().push_back(path.string());
    }
};

// Holds the games' lock, as another game saving would (through a handle of
// its own, as another process has).
class HeldLock {
public:
    explicit HeldLock(const fs::path& folder)
    {
        fileops::Fault fault;
        if (folder_.open(folder) || lock_.open(lockFileName) || !lock_.tryTake(fault))
            throw std::runtime_error("cannot take the lock");
    }

private:
    fileops::Folder folder_;
    fileops::Lock lock_{folder_};
};

} // namespace cifrelle::records::test
