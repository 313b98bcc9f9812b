#include "form/core/day_count.h"

#include <cmath>
#include <cstdint>

namespace pix {

namespace {

constexpr std::int64_t kMillisecondsPerDay = 86400000;

// Days since 1 March of year 0 in the proleptic Gregorian calendar, by eras of
// 400 years (146097 days each).
constexpr std::int64_t DaysFromCivil(std::int64_t y, int m, int d) noexcept {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const std::int64_t yearOfEra = y - era * 400;
    const std::int64_t dayOfYear = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const std::int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra;
}

constexpr std::int64_t kEpoch = DaysFromCivil(1899, 12, 30);

void CivilFromDays(std::int64_t days, CalendarTime& out) noexcept {
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const std::int64_t dayOfEra = days - era * 146097;
    const std::int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const std::int64_t mp = (5 * dayOfYear + 2) / 153;
    out.day = static_cast<int>(dayOfYear - (153 * mp + 2) / 5 + 1);
    out.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    out.year = static_cast<int>(yearOfEra + era * 400 + (out.month <= 2));
}

}  // namespace

CalendarTime CalendarFromDayCount(double dayCount) noexcept {
    // The whole part names the day, the fraction's magnitude is the time.
    const double whole = std::trunc(dayCount);
    std::int64_t day = static_cast<std::int64_t>(whole);
    std::int64_t ms = std::llround(std::fabs(dayCount - whole) * static_cast<double>(kMillisecondsPerDay));
    if (ms >= kMillisecondsPerDay) {
        // 24:00 of a day is the start of the next calendar day, before the
        // epoch as after it.
        ms -= kMillisecondsPerDay;
        day += 1;
    }
    CalendarTime time;
    CivilFromDays(kEpoch + day, time);
    time.hour = static_cast<int>(ms / 3600000);
    time.minute = static_cast<int>(ms / 60000 % 60);
    time.second = static_cast<int>(ms / 1000 % 60);
    time.millisecond = static_cast<int>(ms % 1000);
    // 30 December 1899 was a Saturday.
    time.dayOfWeek = static_cast<int>(((day + 6) % 7 + 7) % 7);
    return time;
}

double DayCountFromCalendar(const CalendarTime& time) noexcept {
    const std::int64_t day = DaysFromCivil(time.year, time.month, time.day) - kEpoch;
    const std::int64_t ms = ((static_cast<std::int64_t>(time.hour) * 60 + time.minute) * 60 + time.second) * 1000 +
                            time.millisecond;
    const double fraction = static_cast<double>(ms) / static_cast<double>(kMillisecondsPerDay);
    return day < 0 ? static_cast<double>(day) - fraction : static_cast<double>(day) + fraction;
}

}  // namespace pix
