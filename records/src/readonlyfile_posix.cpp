// SPDX-License-Identifier: GPL-3.0-or-later
// A file opened read-only on POSIX systems: stat() before open(), then
// open() with O_NONBLOCK (a FIFO swapped in meanwhile does not wait for a
// writer) and fstat() on what was opened.
#include "readonlyfile.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace cifrelle::records::readonly {

using fileops::Fault;
using fileops::Reason;

struct File::System {
    int fd = -1;
    ~System()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

File::File() = default;
File::~File() = default;

namespace {

Fault kindFault(const struct stat& st)
{
    if (S_ISDIR(st.st_mode))
        return {Reason::IsFolder, 0};
    if (!S_ISREG(st.st_mode))
        return {Reason::NotRegular, 0};
    return {};
}

} // namespace

Fault File::open(const std::filesystem::path& path)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return fileops::faultOf(errno);
    if (const Fault fault = kindFault(st))
        return fault;
    auto system = std::make_unique<System>();
    do {
        system->fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    } while (system->fd < 0 && errno == EINTR);
    if (system->fd < 0)
        return fileops::faultOf(errno);
    if (::fstat(system->fd, &st) != 0)
        return fileops::faultOf(errno);
    if (const Fault fault = kindFault(st))
        return fault;
    ::posix_fadvise(system->fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    system_ = std::move(system);
    return {};
}

long long File::read(char* buffer, std::size_t size, Fault& fault)
{
    for (;;) {
        const ssize_t n = ::read(system_->fd, buffer, size);
        if (n >= 0)
            return n;
        if (errno != EINTR) {
            fault = fileops::faultOf(errno);
            return -1;
        }
    }
}

} // namespace cifrelle::records::readonly
