// SPDX-License-Identifier: GPL-3.0-or-later
// Holds a lock on the games' lock file until it is killed, as a classmate's
// program that may only read the file can: a shared LockFileEx lock on its
// first byte, the byte every game locks while it saves. For the scripted
// play of the Windows build under Wine (e2e/windows/play.sh), which checks
// the way out of the wait. Built only with the tests for Windows, never
// installed.
// Usage: cifrelle-holdlock LOCK_FILE READY_FILE (READY_FILE is made once
// the lock is held).
#include <windows.h>

int main(int argc, char* argv[])
{
    if (argc != 3)
        return 2;
    HANDLE file =
        CreateFileA(argv[1], GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 1;
    OVERLAPPED where{};
    if (!LockFileEx(file, LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &where))
        return 1;
    HANDLE ready = CreateFileA(argv[2], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
    if (ready == INVALID_HANDLE_VALUE)
        return 1;
    CloseHandle(ready);
    Sleep(INFINITE);
    return 0;
}
