// SPDX-License-Identifier: GPL-3.0-or-later
// Who plays where on Windows: the account as the system names it for
// access checks ("DOMINIO\utente") and the computer name, in UTF-8.

#include "cifrelle/records/account.h"

#include <windows.h>

// GetUserNameExW, after windows.h.
#define SECURITY_WIN32
#include <security.h>

namespace cifrelle::records {

namespace {

std::string utf8(const wchar_t* text, DWORD length)
{
    if (length == 0)
        return {};
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0,
                                         nullptr, nullptr);
    std::string result(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
    if (size > 0)
        WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), result.data(), size,
                            nullptr, nullptr);
    return result;
}

} // namespace

std::string thisAccount()
{
    // The sizes count the final null; on success they do not.
    wchar_t name[512];
    ULONG size = sizeof name / sizeof *name;
    if (GetUserNameExW(NameSamCompatible, name, &size))
        return utf8(name, size);
    DWORD plain = sizeof name / sizeof *name;
    if (GetUserNameW(name, &plain) && plain > 0)
        return utf8(name, plain - 1);
    return {};
}

std::string thisComputer()
{
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1];
    DWORD size = sizeof name / sizeof *name;
    if (!GetComputerNameW(name, &size))
        return {};
    return utf8(name, size);
}

} // namespace cifrelle::records
