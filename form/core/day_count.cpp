#include "form/core/day_count.h"

#include <cmath>
#include <cstdint>

#include "base/core/civil_date.h"

namespace pix {

namespace {

constexpr std::int64_t kMillisecondsPerDay = 86400000;

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
    const civil::Date date = civil::DateOf(day);
    time.year = static_cast<int>(date.year);
    time.month = date.month;
    time.day = date.day;
    time.hour = static_cast<int>(ms / 3600000);
    time.minute = static_cast<int>(ms / 60000 % 60);
    time.second = static_cast<int>(ms / 1000 % 60);
    time.millisecond = static_cast<int>(ms % 1000);
    // 30 December 1899 was a Saturday.
    time.dayOfWeek = static_cast<int>(((day + 6) % 7 + 7) % 7);
    return time;
}

double DayCountFromCalendar(const CalendarTime& time) noexcept {
    const std::int64_t day = civil::DayCountOf(time.year, time.month, time.day);
    const std::int64_t ms = ((static_cast<std::int64_t>(time.hour) * 60 + time.minute) * 60 + time.second) * 1000 +
                            time.millisecond;
    const double fraction = static_cast<double>(ms) / static_cast<double>(kMillisecondsPerDay);
    return day < 0 ? static_cast<double>(day) - fraction : static_cast<double>(day) + fraction;
}

}  // namespace pix
