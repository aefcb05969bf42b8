// SPDX-License-Identifier: GPL-3.0-or-later
#include "cifrelle/classwindow/colours.h"

#include <algorithm>
#include <cmath>

namespace cifrelle::classwindow {

QColor levelColour(int level)
{
    static const QColor colours[] = {{0x1F, 0x5A, 0x9E}, {0x9A, 0x4A, 0x00}, {0x2E, 0x6B, 0x32}};
    return colours[level];
}

QColor judgementColour(classsummary::Judgement judgement)
{
    using classsummary::Judgement;
    switch (judgement) {
    case Judgement::FewData: break;
    case Judgement::Sure: return {0xC6, 0xEA, 0xC8};
    case Judgement::Almost: return {0xFF, 0xEE, 0x99};
    case Judgement::Review: return {0xF6, 0xC3, 0xC3};
    }
    return {0xE2, 0xE2, 0xE2};
}

namespace {

double luminance(const QColor& c)
{
    const auto channel = [](int value) {
        const double v = value / 255.0;
        return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(c.red()) + 0.7152 * channel(c.green()) + 0.0722 * channel(c.blue());
}

} // namespace

double contrast(const QColor& a, const QColor& b)
{
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

} // namespace cifrelle::classwindow
