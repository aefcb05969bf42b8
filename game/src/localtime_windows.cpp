// SPDX-License-Identifier: GPL-3.0-or-later
#include "localtime.h"

namespace cifrelle::game {

std::tm localTime(std::time_t time)
{
    std::tm local{};
    localtime_s(&local, &time);
    return local;
}

} // namespace cifrelle::game
