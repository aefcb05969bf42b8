// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Helpers for the record tests: a temporary folder of their own, whole-file
// reading and writing of raw bytes, and a watch on what the file layer
// opens.

#include "cifrelle/records/recordfiles.h"

#include "fileops.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace cifrelle::records::test {

namespace fs = std::filesystem;

class TempDir {
public:
    TempDir()
    {
        std::random_device seed;
        for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
            const fs::path candidate =
                fs::temp_directory_path() / ("cifrelle-records-" + std::to_string(seed()));
            if (fs::create_directory(candidate))
                path_ = candidate;
        }
        if (path_.empty())
            throw std::runtime_error("cannot make a temporary folder");
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    ~TempDir()
    {
        std::error_code ec;
        // Give back any permission a test took away, so that all goes.
        for (auto it = fs::recursive_directory_iterator(
                 path_, fs::directory_options::skip_permission_denied, ec);
             !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
            if (it->is_directory(ec) && !it->is_symlink(ec))
                fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
        }
        fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(path_, ec);
    }

    const fs::path& path() const { return path_; }
    fs::path operator/(std::string_view name) const { return path_ / name; }

private:
    fs::path path_;
};

inline void writeBytes(const fs::path& path, std::string_view bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + path.string());
}

inline std::string readBytes(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + path.string());
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

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
