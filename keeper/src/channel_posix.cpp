// SPDX-License-Identifier: GPL-3.0-or-later
// The game's line to the class's keeper on Linux: the keeper's program,
// started for each request with an empty environment, its standard input
// and output one end of a socket pair. The game sends its request and reads
// the answer until it is whole (or the keeper ends); to give up a wait it
// shuts its side of the socket, which the keeper notices, and takes the
// keeper's last word.

#include "channel.h"

#include "cifrelle/keeper/protocol.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace cifrelle::keeper {

namespace {

using namespace std::chrono;

// How long the keeper's last word is waited for once the wait is given up:
// it notices within 20 ms, unless it is saving at that moment.
constexpr milliseconds lastWord{250};
// No answer is longer (two record files read in full, decoded).
constexpr std::size_t answerLimit = 1024 * 1024;

std::string why(int error)
{
    switch (error) {
    case ENOENT: return "non esiste";
    case EACCES:
    case EPERM: return "permesso negato";
    default: return "errore di sistema numero " + std::to_string(error);
    }
}

} // namespace

KeeperCommand installedKeeper(const fs::path& program)
{
    std::error_code error;
    const fs::path game = program.empty() ? fs::read_symlink("/proc/self/exe", error) : program;
    if (error)
        return {};
    // CIFRELLE_KEEPER_FROM_GAME: the way from the game's folder to the
    // keeper's as installed ("../libexec/cifrelle/cifrelle-classe").
    const fs::path installed = (game.parent_path() / CIFRELLE_KEEPER_FROM_GAME).lexically_normal();
    if (fs::exists(installed, error))
        return {installed.string()};
    return {(game.parent_path() / "cifrelle-classe").string()};
}

Exchange exchange(const KeeperCommand& command, std::string_view request,
                  const records::StillWaiting& stillWaiting)
{
    Exchange result;
    const std::string keeper = "il custode del record della classe «" +
                               (command.empty() ? std::string() : command.front()) + "»";
    int ends[2];
    if (command.empty() || ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) {
        result.problem = "non riesco a parlare con " + keeper;
        return result;
    }
    posix_spawn_file_actions_t actions;
    ::posix_spawn_file_actions_init(&actions);
    ::posix_spawn_file_actions_adddup2(&actions, ends[1], 0);
    ::posix_spawn_file_actions_adddup2(&actions, ends[1], 1);
    std::vector<char*> argv;
    for (const std::string& arg : command)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    char* noEnvironment[] = {nullptr};
    pid_t pid = -1;
    const int spawned = ::posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), noEnvironment);
    ::posix_spawn_file_actions_destroy(&actions);
    ::close(ends[1]);
    const int socket = ends[0];
    if (spawned != 0) {
        ::close(socket);
        result.problem = "non riesco ad avviare " + keeper + " (" + why(spawned) + ")";
        return result;
    }

    for (std::size_t sent = 0; sent < request.size();) {
        const ssize_t n =
            ::send(socket, request.data() + sent, request.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break; // the keeper ended: its answer says why
        sent += static_cast<std::size_t>(n);
    }
    const auto start = steady_clock::now();
    auto giveUpAt = steady_clock::time_point::max();
    bool ended = false;
    while (!ended && steady_clock::now() < giveUpAt) {
        pollfd input{socket, POLLIN, 0};
        if (::poll(&input, 1, 20) > 0) {
            char chunk[16 * 1024];
            const ssize_t n = ::read(socket, chunk, sizeof chunk);
            if (n < 0 && errno == EINTR)
                continue;
            ended = n <= 0 || result.answer.size() + static_cast<std::size_t>(n) > answerLimit;
            if (n > 0)
                result.answer.append(chunk, static_cast<std::size_t>(n));
            ended = ended || parseAnswer(result.answer);
        } else if (!result.gaveUp && stillWaiting &&
                   !stillWaiting(duration_cast<milliseconds>(steady_clock::now() - start))) {
            result.gaveUp = true;
            ::shutdown(socket, SHUT_WR);
            giveUpAt = steady_clock::now() + lastWord;
        }
    }
    ::close(socket);
    // The keeper ends once it has answered; one that has not yet (it took
    // too long to give up) is left to end by itself.
    int status = 0;
    while (::waitpid(pid, &status, ended ? 0 : WNOHANG) < 0 && errno == EINTR) {
    }
    return result;
}

} // namespace cifrelle::keeper
