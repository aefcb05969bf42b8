// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace cifrelle::records {

// Who plays where, as the teacher's register names them, in UTF-8; one
// implementation per system (account_posix.cpp, account_windows.cpp).

// The account this program runs for: on POSIX systems the login name of
// its real user id (accountName()); on Windows "DOMINIO\utente" as the
// system writes it, or the user name alone when it gives no such form.
// Empty only when the system says nothing.
std::string thisAccount();

// This computer's name: the host name; on Windows the computer name.
std::string thisComputer();

} // namespace cifrelle::records
