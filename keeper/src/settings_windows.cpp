// SPDX-License-Identifier: GPL-3.0-or-later
// The administrator's setting on Windows, as the keeper's service reads it:
// the values folder, register and guarded under
// HKEY_LOCAL_MACHINE\SOFTWARE\cifrelle\cifrelle\record (the 64-bit registry),
// where only administrators may write, and where the game reads them too.
// Who may write the folder itself is the folder's access list (see
// docs/installing.md): the service's account, never the pupils.

#include "keeper.h"

#include <windows.h>

#include <optional>

namespace fs = std::filesystem;

namespace cifrelle::keeper {

namespace {

constexpr const wchar_t* key = L"SOFTWARE\\cifrelle\\cifrelle\\record";
constexpr const char* keyName = "HKEY_LOCAL_MACHINE\\SOFTWARE\\cifrelle\\cifrelle\\record";

std::optional<std::wstring> value(const wchar_t* name)
{
    DWORD size = 0;
    const DWORD flags = RRF_RT_REG_SZ | RRF_SUBKEY_WOW6464KEY;
    if (RegGetValueW(HKEY_LOCAL_MACHINE, key, name, flags, nullptr, nullptr, &size) !=
        ERROR_SUCCESS)
        return std::nullopt;
    std::wstring text(size / sizeof(wchar_t) + 1, L'\0');
    size = static_cast<DWORD>(text.size() * sizeof(wchar_t));
    if (RegGetValueW(HKEY_LOCAL_MACHINE, key, name, flags, nullptr, text.data(), &size) !=
        ERROR_SUCCESS)
        return std::nullopt;
    text.resize(wcsnlen(text.c_str(), text.size()));
    return text;
}

} // namespace

records::RecordFolder administratorsSetting(const fs::path&)
{
    records::RecordFolder setting;
    setting.setting = std::string("il valore folder della chiave ") + keyName;
    const std::optional<std::wstring> folder = value(L"folder");
    if (!folder) {
        setting.problem = std::string("la chiave ") + keyName +
                          " non indica la cartella della classe (valore folder)";
        return setting;
    }
    setting.path = fs::path(*folder);
    setting.keepRegister = value(L"register") == L"true";
    setting.guarded = value(L"guarded") == L"true";
    if (!setting.guarded)
        setting.problem = std::string("la cartella della classe non è custodita (il valore "
                                      "guarded della chiave ") +
                          keyName + " non è true)";
    return setting;
}

} // namespace cifrelle::keeper
