// SPDX-License-Identifier: GPL-3.0-or-later
// Who plays where on POSIX systems: the password database and the host
// name.

#include "cifrelle/records/account_posix.h"
#include "cifrelle/records/account.h"

#include <cerrno>
#include <climits>
#include <pwd.h>
#include <unistd.h>
#include <vector>

namespace cifrelle::records {

std::string accountName(uid_t uid)
{
    std::vector<char> buffer(1024);
    passwd entry{};
    passwd* found = nullptr;
    int error = 0;
    while ((error = ::getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found)) == ERANGE &&
           buffer.size() < (1u << 20))
        buffer.resize(buffer.size() * 2);
    if (error == 0 && found && found->pw_name && *found->pw_name)
        return found->pw_name;
    return std::to_string(uid);
}

std::string thisAccount()
{
    return accountName(::getuid());
}

std::string thisComputer()
{
    char name[HOST_NAME_MAX + 1] = {};
    if (::gethostname(name, sizeof name - 1) != 0)
        return {};
    return name;
}

} // namespace cifrelle::records
