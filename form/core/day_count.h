// The date value of the form: a count of days from 30 December 1899 with the
// time of day as the fraction. Before that day the count is negative and the
// fraction still measures the time from that day's midnight, so -1.25 is
// 29 December 1899 06:00 (not 28 December 18:00).
#pragma once

namespace pix {

struct CalendarTime {
    int year = 1899;
    int month = 12;  // 1..12
    int day = 30;    // 1..31
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0;
    int dayOfWeek = 6;  // 0 = Sunday; ignored by DayCountFromCalendar
};

constexpr bool SameMoment(const CalendarTime& a, const CalendarTime& b) noexcept {
    return a.year == b.year && a.month == b.month && a.day == b.day && a.hour == b.hour && a.minute == b.minute &&
           a.second == b.second && a.millisecond == b.millisecond;
}

// Proleptic Gregorian calendar; the time rounded to the millisecond.
CalendarTime CalendarFromDayCount(double dayCount) noexcept;
double DayCountFromCalendar(const CalendarTime& time) noexcept;

}  // namespace pix
