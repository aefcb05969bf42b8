// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// POSIX systems only (account_posix.cpp).

#include <string>
#include <sys/types.h>

namespace cifrelle::records {

// The login name of the user id `uid` in the password database ("anna"),
// or, for an id it does not know, the id's number ("1001"), as `id -un`
// would fail to name it.
std::string accountName(uid_t uid);

} // namespace cifrelle::records
