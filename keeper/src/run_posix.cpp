// SPDX-License-Identifier: GPL-3.0-or-later
// The keeper's process on Linux: set-group-ID, started by the game or by
// anyone by hand. What its caller may have set up is put right first (the
// standard descriptors, the others left open, the signals, the limits, the
// environment); then it reads one request from its standard input, answers
// it on its standard output and ends. The account is that of its real user
// ID, which the set-group-ID bit leaves the caller's.

#include "keeper.h"

#include "cifrelle/records/account.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <vector>

namespace cifrelle::keeper {

namespace {

// The longest request: the longest name in UTF-8, and the other fields.
constexpr std::size_t requestLimit = 4 * nameLimit + 4096;

// Descriptors 0, 1 and 2 open (on /dev/null where the caller closed one,
// so that no file the keeper opens is taken for one of them), and every
// other descriptor the caller left open closed.
bool settleDescriptors()
{
    for (int fd = 0; fd < 3; ++fd) {
        if (::fcntl(fd, F_GETFD) == -1 && errno == EBADF && ::open("/dev/null", O_RDWR) != fd)
            return false;
    }
    if (::close_range(3, ~0U, 0) != 0) {
        for (long fd = 3, open = ::sysconf(_SC_OPEN_MAX); fd < open && fd < 65536; ++fd)
            ::close(static_cast<int>(fd));
    }
    return true;
}

// Every signal to its default, none blocked; except that a closed output
// and the file size limit give errors the keeper handles, not its end.
void settleSignals()
{
    struct sigaction initial {};
    initial.sa_handler = SIG_DFL;
    for (int signal = 1; signal < NSIG; ++signal)
        ::sigaction(signal, &initial, nullptr);
    ::signal(SIGPIPE, SIG_IGN);
    ::signal(SIGXFSZ, SIG_IGN);
    sigset_t none;
    ::sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
}

// The file size and open file limits as high as the caller's own hard
// limits let them be (lower, a write or an open fails and is told as a full
// disk would be); no core file.
void settleLimits()
{
    for (const int resource : {RLIMIT_FSIZE, RLIMIT_NOFILE}) {
        rlimit limit{};
        if (::getrlimit(resource, &limit) == 0) {
            limit.rlim_cur = limit.rlim_max;
            ::setrlimit(resource, &limit);
        }
    }
    const rlimit none{0, 0};
    ::setrlimit(RLIMIT_CORE, &none);
}

// The request on the standard input: read until it is whole, refused, or
// the input ends.
ParsedRequest readRequest()
{
    std::string bytes;
    std::vector<char> chunk(64 * 1024);
    for (;;) {
        ParsedRequest parsed = parseRequest(bytes);
        if (parsed.reading != Reading::Incomplete)
            return parsed;
        const ssize_t n =
            ::read(0, chunk.data(), std::min(chunk.size(), requestLimit - bytes.size()));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0 || bytes.size() + static_cast<std::size_t>(n) >= requestLimit) {
            parsed.reading = Reading::Refused;
            parsed.why = n < 0 ? "non riesco a leggere la richiesta" : "la richiesta è incompleta";
            return parsed;
        }
        bytes.append(chunk.data(), static_cast<std::size_t>(n));
    }
}

// Whether the caller still waits: the game sends nothing after its
// request, and hangs up, or says one more byte, when it gives up the wait.
bool callerStillThere()
{
    pollfd input{0, POLLIN | POLLRDHUP, 0};
    return ::poll(&input, 1, 0) == 0;
}

bool writeAll(std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t n = ::write(1, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

records::LocalTime localNow()
{
    const std::time_t now = std::time(nullptr);
    std::tm t{};
    ::localtime_r(&now, &t);
    return {t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec};
}

} // namespace

int runKeeper(const std::filesystem::path& settingsFile)
{
    if (!settleDescriptors())
        return 1;
    settleSignals();
    settleLimits();
    ::clearenv();
    ::umask(077);

    const ParsedRequest parsed = readRequest();
    if (parsed.reading != Reading::Complete) {
        writeAll(encodeAnswer(Refusal{parsed.why}));
        return 2;
    }
    // The account of the real user ID (records::thisAccount()): the
    // set-group-ID bit leaves it the caller's.
    const Caller caller{records::thisAccount(), records::thisComputer(), localNow(),
                        callerStillThere};
    return writeAll(
               encodeAnswer(answer(parsed.request, administratorsSetting(settingsFile), caller)))
               ? 0
               : 1;
}

} // namespace cifrelle::keeper
