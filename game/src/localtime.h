// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <ctime>

namespace cifrelle::game {

// The local date and time of `time`, by the C library's reentrant call:
// localtime_r on POSIX systems (localtime_posix.cpp), localtime_s on
// Windows (localtime_windows.cpp).
std::tm localTime(std::time_t time);

} // namespace cifrelle::game
