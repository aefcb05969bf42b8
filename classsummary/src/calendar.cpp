// SPDX-License-Identifier: GPL-3.0-or-later
// Day numbers from civil dates and back (the well-known algorithm that
// counts 400-year eras from 1 March of the year 0).
#include "cifrelle/classsummary/calendar.h"

#include <cstdio>

namespace cifrelle::classsummary {

int dayNumber(const Date& date)
{
    const int y = date.year - (date.month <= 2);
    const int era = (y >= 0 ? y : y - 399) / 400;
    const int yearOfEra = y - era * 400;
    const int dayOfYear = (153 * (date.month + (date.month > 2 ? -3 : 9)) + 2) / 5 + date.day - 1;
    const int dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

Date dateOf(int days)
{
    const int z = days + 719468;
    const int era = (z >= 0 ? z : z - 146096) / 146097;
    const int dayOfEra = z - era * 146097;
    const int yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const int dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const int mp = (5 * dayOfYear + 2) / 153;
    const int day = dayOfYear - (153 * mp + 2) / 5 + 1;
    const int month = mp < 10 ? mp + 3 : mp - 9;
    return {yearOfEra + era * 400 + (month <= 2), month, day};
}

int weekday(int days)
{
    // 1970-01-01 was a Thursday (3).
    const int w = (days + 3) % 7;
    return w < 0 ? w + 7 : w;
}

int mondayOf(int days)
{
    return days - weekday(days);
}

int firstOfMonth(int days)
{
    const Date d = dateOf(days);
    return dayNumber({d.year, d.month, 1});
}

int lastOfMonth(int days)
{
    const Date d = dateOf(days);
    return dayNumber(d.month == 12 ? Date{d.year + 1, 1, 1} : Date{d.year, d.month + 1, 1}) - 1;
}

std::optional<int> readDate(std::string_view text)
{
    if (text.size() != 10 || text[4] != '-' || text[7] != '-')
        return std::nullopt;
    int parts[3] = {0, 0, 0};
    const std::size_t starts[3] = {0, 5, 8}, lengths[3] = {4, 2, 2};
    for (int p = 0; p < 3; ++p) {
        for (std::size_t i = starts[p]; i < starts[p] + lengths[p]; ++i) {
            if (text[i] < '0' || text[i] > '9')
                return std::nullopt;
            parts[p] = parts[p] * 10 + (text[i] - '0');
        }
    }
    const Date date{parts[0], parts[1], parts[2]};
    if (date.month < 1 || date.month > 12 || date.day < 1 || date.day > 31)
        return std::nullopt;
    const int days = dayNumber(date);
    if (dateOf(days) != date)
        return std::nullopt; // the 30th of February and the like
    return days;
}

std::string isoDate(int days)
{
    const Date d = dateOf(days);
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", d.year, d.month, d.day);
    return text;
}

std::string italianDate(int days)
{
    const Date d = dateOf(days);
    char text[32];
    std::snprintf(text, sizeof text, "%02d/%02d/%04d", d.day, d.month, d.year);
    return text;
}

std::string clockText(Moment moment)
{
    const auto second = static_cast<int>(moment - Moment{dayOf(moment)} * 86400);
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d", second / 3600, second / 60 % 60);
    return text;
}

std::string durationText(std::uint64_t seconds)
{
    char text[48];
    std::snprintf(text, sizeof text, "%02llu:%02llu:%02llu",
                  static_cast<unsigned long long>(seconds / 3600),
                  static_cast<unsigned long long>(seconds / 60 % 60),
                  static_cast<unsigned long long>(seconds % 60));
    return text;
}

} // namespace cifrelle::classsummary
