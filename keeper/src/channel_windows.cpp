// SPDX-License-Identifier: GPL-3.0-or-later
// The game's line to the class's keeper on Windows: the service's named
// pipe, opened only for the service to identify the game's account (never
// to act as it), and used only when the service itself serves it (its
// process is the pipe's server), so that no program of a pupil's can pose
// as the keeper. The game sends its request and reads the answer until it
// is whole; to give up a wait it sends one more byte, which the keeper
// notices, and takes the keeper's last word.

#include "channel.h"

#include "cifrelle/keeper/protocol.h"

#include <windows.h>

#include <chrono>

namespace cifrelle::keeper {

namespace {

using namespace std::chrono;

constexpr milliseconds lastWord{250};
// Without a wait to tell the player of (at start), how long a busy pipe
// is waited for.
constexpr milliseconds busyAtStart{10000};
constexpr std::size_t answerLimit = 1024 * 1024;

const std::string keeperName =
    "il servizio cifrelle-classe, che custodisce il record della classe,";

// The service's state and process (all 0 when it is not installed).
SERVICE_STATUS_PROCESS service()
{
    SERVICE_STATUS_PROCESS status{};
    const SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
    const SC_HANDLE service =
        manager ? OpenServiceW(manager, windowsService, SERVICE_QUERY_STATUS) : nullptr;
    DWORD size = 0;
    if (service && !QueryServiceStatusEx(service, SC_STATUS_PROCESS_INFO,
                                         reinterpret_cast<BYTE*>(&status), sizeof status, &size))
        status = {};
    if (service)
        CloseServiceHandle(service);
    if (manager)
        CloseServiceHandle(manager);
    return status;
}

// An overlapped operation on `pipe`, waited for `ms` at most;
// the bytes it moved, or nothing (failed, or still going: then `pending`).
std::optional<DWORD> wait(HANDLE pipe, OVERLAPPED& operation, DWORD ms, bool& pending)
{
    DWORD done = 0;
    if (WaitForSingleObject(operation.hEvent, ms) != WAIT_OBJECT_0) {
        pending = true;
        return std::nullopt;
    }
    pending = false;
    if (!GetOverlappedResult(pipe, &operation, &done, FALSE))
        return std::nullopt;
    return done;
}

} // namespace

KeeperCommand installedKeeper(const std::filesystem::path&)
{
    return {}; // the service, at its pipe
}

Exchange exchange(const KeeperCommand&, std::string_view request,
                  const records::StillWaiting& stillWaiting)
{
    Exchange result;
    const auto start = steady_clock::now();
    const auto waited = [&] { return duration_cast<milliseconds>(steady_clock::now() - start); };
    HANDLE pipe = INVALID_HANDLE_VALUE;
    for (;;) {
        pipe = CreateFileW(windowsPipe, GENERIC_READ | FILE_WRITE_DATA, 0, nullptr, OPEN_EXISTING,
                           FILE_FLAG_OVERLAPPED | SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION,
                           nullptr);
        if (pipe != INVALID_HANDLE_VALUE)
            break;
        const DWORD error = GetLastError();
        // A service starting (as at the computer's start) is waited for.
        const DWORD state = service().dwCurrentState;
        if (error == ERROR_FILE_NOT_FOUND && state != SERVICE_START_PENDING &&
            state != SERVICE_RUNNING) {
            result.problem = keeperName + " non è in esecuzione";
            return result;
        }
        if (error != ERROR_PIPE_BUSY && error != ERROR_FILE_NOT_FOUND) {
            result.problem = "non riesco a raggiungere " + keeperName +
                             " (errore di sistema numero " + std::to_string(error) + ")";
            return result;
        }
        if (stillWaiting ? !stillWaiting(waited()) : waited() > busyAtStart) {
            result.gaveUp = stillWaiting != nullptr;
            result.problem = result.gaveUp ? "" : keeperName + " non risponde";
            return result;
        }
        if (!WaitNamedPipeW(windowsPipe, 20))
            Sleep(20);
    }
    ULONG server = 0;
    const SERVICE_STATUS_PROCESS keeper = service();
    if (!GetNamedPipeServerProcessId(pipe, &server) || server == 0 ||
        keeper.dwCurrentState != SERVICE_RUNNING || server != keeper.dwProcessId) {
        CloseHandle(pipe);
        result.problem =
            "il programma che risponde al posto di " + keeperName + " non è il servizio";
        return result;
    }

    const HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    bool pending = false;
    OVERLAPPED write{};
    write.hEvent = event;
    const BOOL written =
        WriteFile(pipe, request.data(), static_cast<DWORD>(request.size()), nullptr, &write);
    if (written || GetLastError() == ERROR_IO_PENDING)
        wait(pipe, write, INFINITE, pending);

    auto giveUpAt = steady_clock::time_point::max();
    char chunk[16 * 1024];
    OVERLAPPED read{};
    read.hEvent = event;
    bool reading = false;
    while (steady_clock::now() < giveUpAt && !parseAnswer(result.answer)) {
        if (!reading) {
            read = OVERLAPPED{};
            read.hEvent = event;
            if (!ReadFile(pipe, chunk, sizeof chunk, nullptr, &read) &&
                GetLastError() != ERROR_IO_PENDING)
                break; // the keeper hung up
            reading = true;
        }
        const std::optional<DWORD> got = wait(pipe, read, 20, pending);
        if (!pending) {
            reading = false;
            if (!got || *got == 0 || result.answer.size() + *got > answerLimit)
                break;
            result.answer.append(chunk, *got);
        } else if (!result.gaveUp && stillWaiting && !stillWaiting(waited())) {
            result.gaveUp = true;
            OVERLAPPED more{};
            more.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
            bool morePending = false;
            if (WriteFile(pipe, "\n", 1, nullptr, &more) || GetLastError() == ERROR_IO_PENDING)
                wait(pipe, more, static_cast<DWORD>(lastWord.count()), morePending);
            if (morePending) {
                CancelIoEx(pipe, &more);
                DWORD ignored = 0;
                GetOverlappedResult(pipe, &more, &ignored, TRUE);
            }
            CloseHandle(more.hEvent);
            giveUpAt = steady_clock::now() + lastWord;
        }
    }
    if (reading) {
        CancelIoEx(pipe, &read);
        DWORD ignored = 0;
        GetOverlappedResult(pipe, &read, &ignored, TRUE);
    }
    CloseHandle(event);
    CloseHandle(pipe);
    return result;
}

} // namespace cifrelle::keeper
