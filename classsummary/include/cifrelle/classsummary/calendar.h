// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace cifrelle::classsummary {

// Days as numbers, in the proleptic Gregorian calendar: day 0 is
// 1970-01-01, and every later day is one more. Weeks begin on Monday, as
// in Italy.
struct Date {
    int year = 1970;
    int month = 1; // 1 to 12
    int day = 1;
    friend bool operator==(const Date&, const Date&) = default;
};

int dayNumber(const Date& date);
Date dateOf(int dayNumber);
// 0 for Monday to 6 for Sunday.
int weekday(int dayNumber);
// The Monday of the day's week.
int mondayOf(int dayNumber);
// The first and the last day of the day's month.
int firstOfMonth(int dayNumber);
int lastOfMonth(int dayNumber);

// "AAAA-MM-GG", a day of the calendar; nothing for anything else.
std::optional<int> readDate(std::string_view text);

// "2026-12-08" and "08/12/2026", the register's and an Italian reader's.
std::string isoDate(int dayNumber);
std::string italianDate(int dayNumber);

// A moment of local time to the second: the day's number times 86400 plus
// the second of the day.
using Moment = std::int64_t;
inline constexpr Moment momentOf(int dayNumber, int hour, int minute, int second)
{
    return Moment{dayNumber} * 86400 + hour * 3600 + minute * 60 + second;
}
inline constexpr int dayOf(Moment moment)
{
    return static_cast<int>(moment >= 0 ? moment / 86400 : (moment - 86399) / 86400);
}
// "hh:mm" of the moment.
std::string clockText(Moment moment);

// A length of time as "hh:mm:ss", hours of two digits or more.
std::string durationText(std::uint64_t seconds);

} // namespace cifrelle::classsummary
