// SPDX-License-Identifier: GPL-3.0-or-later
// The administrator's setting on Linux, as the keeper reads it: the keys
// folder, register and guarded of the group [record] in the settings file
// (the game reads the same file with Qt). The keeper takes it only when
// nobody but root may change the file or a folder on its way, and only as
// plainly written as an administrator writes it (see readValues); and it
// takes the class folder only when nobody but root may change a folder on
// its way, nor anybody else than root and the folder's group the folder
// itself. No link is followed on either way.

#include "keeper.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <optional>

namespace fs = std::filesystem;

namespace cifrelle::keeper {

namespace {

constexpr std::size_t fileLimit = 64 * 1024;

class Fd {
public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    Fd& operator=(Fd&& other) noexcept
    {
        std::swap(fd_, other.fd_);
        return *this;
    }
    ~Fd()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    int get() const { return fd_; }

private:
    int fd_;
};

// Whether only root may change it: root's, and writable by nobody else. A
// folder with the sticky bit may be, since there only an entry's owner may
// replace it (and the next entry on the way must be root's in turn).
bool rootsAlone(const struct stat& st)
{
    return st.st_uid == 0 && ((st.st_mode & (S_IWGRP | S_IWOTH)) == 0 ||
                              (S_ISDIR(st.st_mode) && (st.st_mode & S_ISVTX)));
}

// Opens `path`'s last entry with `flags`, reached from "/" one entry at a
// time without following a link, each folder on the way root's alone; or
// says why not, `what` naming it ("il file delle impostazioni «...»").
std::optional<std::string> walk(const fs::path& path, const std::string& what, int flags, Fd& fd)
{
    if (!path.is_absolute() || !path.has_filename())
        return what + " non è un percorso assoluto";
    Fd dir(::open("/", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    fs::path walked = "/";
    for (const fs::path& part : path.relative_path()) {
        struct stat st;
        if (::fstat(dir.get(), &st) != 0)
            return "non riesco a raggiungere " + what;
        if (!rootsAlone(st))
            return what + " non è al sicuro: «" + records::pathText(walked) +
                   "» può essere cambiata da altri oltre all'amministratore (root)";
        walked /= part;
        const bool last = walked == path;
        Fd next(::openat(dir.get(), part.c_str(),
                         O_CLOEXEC | O_NOFOLLOW | O_NOCTTY | (last ? flags : O_DIRECTORY)));
        if (next.get() < 0) {
            const int error = errno;
            if (::fstatat(dir.get(), part.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
                S_ISLNK(st.st_mode))
                return what + " non è al sicuro: «" + records::pathText(walked) +
                       "» è un collegamento";
            return (error == ENOENT ? "non trovo " : "non riesco a raggiungere ") + what;
        }
        dir = std::move(next);
    }
    fd = std::move(dir);
    return std::nullopt;
}

// The settings file's text, when root alone may change it.
std::optional<std::string> readTrusted(const fs::path& file, std::string& text)
{
    const std::string what = "il file delle impostazioni «" + records::pathText(file) + "»";
    Fd fd;
    if (auto problem = walk(file, what, O_RDONLY | O_NONBLOCK, fd))
        return problem;
    struct stat st;
    if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode))
        return what + " non è un file normale";
    if (!rootsAlone(st))
        return what + " non è al sicuro: può essere cambiato da altri oltre all'amministratore "
                      "(root)";
    text.resize(fileLimit + 1);
    std::size_t got = 0;
    while (got < text.size()) {
        const ssize_t n = ::read(fd.get(), text.data() + got, text.size() - got);
        if (n == 0)
            break;
        if (n < 0 && errno != EINTR)
            return "non riesco a leggere " + what;
        if (n > 0)
            got += static_cast<std::size_t>(n);
    }
    if (got > fileLimit)
        return what + " è troppo lungo";
    text.resize(got);
    return std::nullopt;
}

// The class folder, when only root and its group may change it.
std::optional<std::string> folderTrusted(const fs::path& folder)
{
    const std::string what = "la cartella della classe «" + records::pathText(folder) + "»";
    Fd fd;
    if (auto problem = walk(folder, what, O_RDONLY | O_DIRECTORY, fd))
        return problem;
    struct stat st;
    if (::fstat(fd.get(), &st) != 0 || st.st_uid != 0 || (st.st_mode & S_IWOTH))
        return what + " non è al sicuro: deve essere dell'amministratore (root) e del gruppo del "
                      "custode, e nessun altro deve poterci scrivere";
    return std::nullopt;
}

std::string_view trimmed(std::string_view text)
{
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// The values of folder, register and guarded in [record]; or the number of
// a line that is not a comment, a group or "key=value", or that sets one
// of them twice or otherwise than plainly: no backslash, a comma or a
// double quote only inside double quotes around the whole value (as Qt
// reads it).
std::optional<int> readValues(std::string_view text,
                              std::array<std::optional<std::string>, 3>& values)
{
    constexpr std::string_view keys[] = {"folder", "register", "guarded"};
    std::string_view group;
    for (int number = 1; !text.empty(); ++number) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (line.ends_with('\r'))
            line.remove_suffix(1);
        line = trimmed(line);
        if (line.ends_with('\\'))
            return number; // Qt would join the next line to it
        if (line.empty() || line.front() == ';' || line.front() == '#')
            continue;
        if (line.front() == '[') {
            if (!line.ends_with(']'))
                return number;
            group = line.substr(1, line.size() - 2);
            continue;
        }
        const std::size_t equals = line.find('=');
        if (equals == 0 || equals == std::string_view::npos)
            return number;
        const std::string_view key = trimmed(line.substr(0, equals));
        std::string_view value = trimmed(line.substr(equals + 1));
        for (std::size_t i = 0; i < std::size(keys); ++i) {
            if (group != "record" || key != keys[i])
                continue;
            const bool quoted = value.size() >= 2 && value.front() == '"' && value.back() == '"';
            if (quoted)
                value = value.substr(1, value.size() - 2);
            if (values[i] ||
                value.find_first_of(quoted ? "\"\\" : "\"\\,") != std::string_view::npos)
                return number;
            values[i] = std::string(value);
        }
    }
    return std::nullopt;
}

} // namespace

records::RecordFolder administratorsSetting(const fs::path& file)
{
    const std::string shown = "«" + records::pathText(file) + "»";
    records::RecordFolder setting;
    setting.setting = "l'impostazione folder del gruppo [record] in " + records::pathText(file);
    std::string text;
    if (auto problem = readTrusted(file, text)) {
        setting.problem = *problem;
        return setting;
    }
    std::array<std::optional<std::string>, 3> values; // folder, register, guarded
    if (const auto line = readValues(text, values)) {
        setting.problem = "il file delle impostazioni " + shown +
                          " non è scritto come il custode lo legge (riga " + std::to_string(*line) +
                          ")";
        return setting;
    }
    if (!values[0]) {
        setting.problem = "il file delle impostazioni " + shown +
                          " non indica la cartella della classe (folder nel gruppo [record])";
        return setting;
    }
    setting.path = *values[0];
    setting.keepRegister = values[1] == "true";
    setting.guarded = values[2] == "true";
    if (!setting.guarded)
        setting.problem = "la cartella della classe non è custodita (nel gruppo [record] di " +
                          shown + " manca guarded=true)";
    else if (auto problem = folderTrusted(setting.path))
        setting.problem = *problem;
    return setting;
}

} // namespace cifrelle::keeper
