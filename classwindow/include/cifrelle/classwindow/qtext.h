// SPDX-License-Identifier: GPL-3.0-or-later
// The summary's texts (UTF-8) as Qt's.
#pragma once

#include <QString>

#include <string_view>

namespace cifrelle::classwindow {

inline QString qs(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace cifrelle::classwindow
