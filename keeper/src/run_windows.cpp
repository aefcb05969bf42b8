// SPDX-License-Identifier: GPL-3.0-or-later
// The keeper's process on Windows: the service cifrelle-classe, which the
// installer sets up (GUARDED=1) to run as an account of its own
// (NT SERVICE\cifrelle-classe), the only one but the administrators' and
// the teachers' that may write the class folder. It serves the named pipe
// \\.\pipe\cifrelle-classe: each game that connects gets a thread of its
// own (clientsAtOnce at most at once), which reads its one request (within
// requestTime), answers it and hangs up. The pipe takes no client from
// another computer, and no other program may serve it: the service makes
// it first, and only the service may make more instances of it. The account
// is the pipe's client's, as Windows tells it to the service.

#include "keeper.h"

#include "cifrelle/records/account.h"

#include <windows.h>

#include <sddl.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <vector>

namespace cifrelle::keeper {

namespace {

constexpr LONG clientsAtOnce = 32;
constexpr DWORD requestTime = 10000; // ms: a game sends its request at once
constexpr std::size_t requestLimit = 4 * nameLimit + 4096;
constexpr DWORD pipeBuffer = 64 * 1024;

SERVICE_STATUS_HANDLE statusHandle = nullptr;
SERVICE_STATUS status{};
HANDLE stopping = nullptr; // set when the service is to stop

void report(DWORD state)
{
    status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    status.dwCurrentState = state;
    status.dwControlsAccepted =
        state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN : 0;
    status.dwWaitHint = state == SERVICE_STOP_PENDING ? 10000 : 0;
    SetServiceStatus(statusHandle, &status);
}

DWORD WINAPI control(DWORD code, DWORD, void*, void*)
{
    if (code == SERVICE_CONTROL_STOP || code == SERVICE_CONTROL_SHUTDOWN) {
        report(SERVICE_STOP_PENDING);
        SetEvent(stopping);
    }
    return NO_ERROR;
}

std::string utf8(std::wstring_view text)
{
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<std::size_t>(std::max(size, 0)), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size,
                        nullptr, nullptr);
    return bytes;
}

// The account at the other end of `pipe`, DOMAIN\user (its SID when it has
// no name), as Windows identifies it; empty when it does not.
std::string accountOf(HANDLE pipe)
{
    if (!ImpersonateNamedPipeClient(pipe))
        return {};
    HANDLE token = nullptr;
    const BOOL opened = OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, &token);
    if (!RevertToSelf())
        ExitProcess(1); // never go on as the caller
    if (!opened)
        return {};
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::vector<BYTE> user(size);
    std::string account;
    if (size && GetTokenInformation(token, TokenUser, user.data(), size, &size)) {
        const PSID sid = reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid;
        wchar_t name[256];
        wchar_t domain[256];
        DWORD nameSize = 256;
        DWORD domainSize = 256;
        SID_NAME_USE use;
        wchar_t* text = nullptr;
        if (LookupAccountSidW(nullptr, sid, name, &nameSize, domain, &domainSize, &use)) {
            account = utf8(std::wstring(domain) + L"\\" + name);
        } else if (ConvertSidToStringSidW(sid, &text)) {
            account = utf8(text);
            LocalFree(text);
        }
    }
    CloseHandle(token);
    return account;
}

records::LocalTime localNow()
{
    SYSTEMTIME t;
    GetLocalTime(&t);
    return {t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond};
}

// The bytes an overlapped read or write `started` on `pipe` moved, waiting
// `ms` at most (and never past the service's stop); nothing when it failed
// or was given up.
std::optional<DWORD> finish(HANDLE pipe, OVERLAPPED& operation, BOOL started, DWORD ms)
{
    if (!started && GetLastError() != ERROR_IO_PENDING)
        return std::nullopt;
    HANDLE waits[] = {operation.hEvent, stopping};
    DWORD done = 0;
    if (WaitForMultipleObjects(2, waits, FALSE, ms) != WAIT_OBJECT_0) {
        CancelIoEx(pipe, &operation);
        GetOverlappedResult(pipe, &operation, &done, TRUE);
        return std::nullopt;
    }
    if (!GetOverlappedResult(pipe, &operation, &done, FALSE))
        return std::nullopt;
    return done;
}

// The one request of the game at `pipe`, read until it is whole, refused,
// or the time is up.
ParsedRequest readRequest(HANDLE pipe, HANDLE event)
{
    std::string bytes;
    std::vector<char> chunk(64 * 1024);
    const ULONGLONG deadline = GetTickCount64() + requestTime;
    for (;;) {
        ParsedRequest parsed = parseRequest(bytes);
        if (parsed.reading != Reading::Incomplete)
            return parsed;
        OVERLAPPED operation{};
        operation.hEvent = event;
        const ULONGLONG now = GetTickCount64();
        const DWORD wanted =
            static_cast<DWORD>(std::min(chunk.size(), requestLimit - bytes.size()));
        const std::optional<DWORD> got =
            finish(pipe, operation, ReadFile(pipe, chunk.data(), wanted, nullptr, &operation),
                   now < deadline ? static_cast<DWORD>(deadline - now) : 0);
        if (!got || *got == 0 || bytes.size() + *got >= requestLimit) {
            parsed.reading = Reading::Refused;
            parsed.why = "la richiesta è incompleta";
            return parsed;
        }
        bytes.append(chunk.data(), *got);
    }
}

// Whether the game still waits: it sends nothing after its request, and
// hangs up, or says one more byte, when it gives up the wait.
bool stillThere(HANDLE pipe)
{
    DWORD available = 0;
    return WaitForSingleObject(stopping, 0) != WAIT_OBJECT_0 &&
           PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr) && available == 0;
}

// The answer written, then kept for the game until it hangs up (having read
// it all), a while at most.
void writeAnswer(HANDLE pipe, HANDLE event, const std::string& text)
{
    OVERLAPPED write{};
    write.hEvent = event;
    if (!finish(pipe, write,
                WriteFile(pipe, text.data(), static_cast<DWORD>(text.size()), nullptr, &write),
                requestTime))
        return;
    char byte;
    OVERLAPPED hangUp{};
    hangUp.hEvent = event;
    finish(pipe, hangUp, ReadFile(pipe, &byte, 1, nullptr, &hangUp), requestTime);
}

struct Client {
    HANDLE pipe;
    HANDLE slots;
};

DWORD WINAPI serveClient(void* argument)
{
    const std::unique_ptr<Client> client(static_cast<Client*>(argument));
    const HANDLE pipe = client->pipe;
    const HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    try {
        const ParsedRequest parsed = readRequest(pipe, event);
        Answer answer = Refusal{parsed.why};
        if (parsed.reading == Reading::Complete) {
            const std::string account = accountOf(pipe);
            if (account.empty())
                answer = Refusal{"Windows non dice quale account chiede"};
            else
                answer = keeper::answer(parsed.request, administratorsSetting({}),
                                        Caller{account, records::thisComputer(), localNow(),
                                               [pipe] { return stillThere(pipe); }});
        }
        writeAnswer(pipe, event, encodeAnswer(answer));
    } catch (...) {
        // What was half done is as after a crash: the next request finishes it.
    }
    CloseHandle(event);
    CloseHandle(pipe);
    ReleaseSemaphore(client->slots, 1, nullptr);
    return 0;
}

// Takes games at the pipe until the service is stopped.
void serve()
{
    // Every account of the computer may read and write the pipe, but not
    // make an instance of it (FILE_CREATE_PIPE_INSTANCE): only its owner,
    // the service, and the system and the administrators may.
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ConvertStringSecurityDescriptorToSecurityDescriptorW(
        L"D:P(A;;GA;;;SY)(A;;GA;;;BA)(A;;GA;;;OW)(A;;0x12019b;;;AU)", SDDL_REVISION_1, &descriptor,
        nullptr);
    SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor, FALSE};
    const HANDLE slots = CreateSemaphoreW(nullptr, clientsAtOnce, clientsAtOnce, nullptr);
    const HANDLE connected = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    OVERLAPPED connect{};
    DWORD first = FILE_FLAG_FIRST_PIPE_INSTANCE;
    for (;;) {
        HANDLE waits[] = {stopping, slots};
        if (WaitForMultipleObjects(2, waits, FALSE, INFINITE) != WAIT_OBJECT_0 + 1)
            break;
        const HANDLE pipe = CreateNamedPipeW(
            windowsPipe, PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED | first,
            PIPE_TYPE_BYTE | PIPE_READMODE_BYTE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS,
            PIPE_UNLIMITED_INSTANCES, pipeBuffer, pipeBuffer, 0, &attributes);
        if (pipe == INVALID_HANDLE_VALUE && first) {
            // Another program holds the pipe's name: serving is no use.
            status.dwWin32ExitCode = GetLastError();
            ReleaseSemaphore(slots, 1, nullptr);
            break;
        }
        first = 0;
        connect = OVERLAPPED{};
        connect.hEvent = connected;
        BOOL ok = pipe != INVALID_HANDLE_VALUE && ConnectNamedPipe(pipe, &connect);
        if (!ok && pipe != INVALID_HANDLE_VALUE && GetLastError() == ERROR_IO_PENDING) {
            HANDLE events[] = {stopping, connected};
            DWORD done = 0;
            if (WaitForMultipleObjects(2, events, FALSE, INFINITE) == WAIT_OBJECT_0) {
                // Closing the pipe ends the wait for a game (a cancel may
                // never end it under Wine).
                CloseHandle(pipe);
                WaitForSingleObject(connected, 1000);
                ReleaseSemaphore(slots, 1, nullptr);
                break;
            }
            ok = GetOverlappedResult(pipe, &connect, &done, FALSE);
        } else if (!ok && pipe != INVALID_HANDLE_VALUE) {
            ok = GetLastError() == ERROR_PIPE_CONNECTED;
        }
        auto* client = new Client{pipe, slots};
        const HANDLE thread =
            ok ? CreateThread(nullptr, 0, serveClient, client, 0, nullptr) : nullptr;
        if (thread) {
            CloseHandle(thread);
        } else {
            delete client;
            if (pipe != INVALID_HANDLE_VALUE)
                CloseHandle(pipe);
            ReleaseSemaphore(slots, 1, nullptr);
            Sleep(100);
        }
    }
    // The games being served end (the stop told their waits to give up).
    const ULONGLONG deadline = GetTickCount64() + 5000;
    for (LONG held = 0; held < clientsAtOnce && GetTickCount64() < deadline; ++held)
        WaitForSingleObject(slots, static_cast<DWORD>(deadline - GetTickCount64()));
    LocalFree(descriptor);
}

void WINAPI serviceMain(DWORD, LPWSTR*)
{
    statusHandle = RegisterServiceCtrlHandlerExW(windowsService, control, nullptr);
    if (!statusHandle)
        return;
    stopping = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    report(SERVICE_RUNNING);
    serve();
    report(SERVICE_STOPPED);
}

} // namespace

int runKeeper(const std::filesystem::path&)
{
    SERVICE_TABLE_ENTRYW services[] = {{const_cast<wchar_t*>(windowsService), serviceMain},
                                       {nullptr, nullptr}};
    // Started otherwise than by the service manager it does nothing.
    return StartServiceCtrlDispatcherW(services) ? 0 : 1;
}

} // namespace cifrelle::keeper
