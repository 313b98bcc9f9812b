#include <gtest/gtest.h>

#include <cmath>
#include <ostream>

#include "form/core/day_count.h"

namespace pix {
void PrintTo(const CalendarTime& t, std::ostream* out) {
    *out << t.year << "-" << t.month << "-" << t.day << " " << t.hour << ":" << t.minute << ":" << t.second << "."
         << t.millisecond << " (weekday " << t.dayOfWeek << ")";
}
}  // namespace pix

namespace {

// --- the date value ----------------------------------------------------------------

pix::CalendarTime At(int y, int mo, int d, int h, int mi, int s, int ms, int weekday) {
    pix::CalendarTime t;
    t.year = y;
    t.month = mo;
    t.day = d;
    t.hour = h;
    t.minute = mi;
    t.second = s;
    t.millisecond = ms;
    t.dayOfWeek = weekday;
    return t;
}

bool SameWithWeekday(const pix::CalendarTime& a, const pix::CalendarTime& b) {
    return pix::SameMoment(a, b) && a.dayOfWeek == b.dayOfWeek;
}

TEST(DayCount, BothWaysExactly) {
    // Values that binary64 holds exactly, so both directions must agree exactly.
    const struct {
        double count;
        pix::CalendarTime time;
    } cases[] = {
        {0, At(1899, 12, 30, 0, 0, 0, 0, 6)},
        {1, At(1899, 12, 31, 0, 0, 0, 0, 0)},
        {2, At(1900, 1, 1, 0, 0, 0, 0, 1)},
        {60, At(1900, 2, 28, 0, 0, 0, 0, 3)},  // 1900 is no leap year
        {61, At(1900, 3, 1, 0, 0, 0, 0, 4)},
        {36526, At(2000, 1, 1, 0, 0, 0, 0, 6)},
        {43890, At(2020, 2, 29, 0, 0, 0, 0, 6)},
        {44551, At(2021, 12, 21, 0, 0, 0, 0, 2)},
        {44551.5, At(2021, 12, 21, 12, 0, 0, 0, 2)},
        {2958465.75, At(9999, 12, 31, 18, 0, 0, 0, 5)},
        {0.25, At(1899, 12, 30, 6, 0, 0, 0, 6)},
        // Before the epoch the fraction is still the time from that day's midnight.
        {-1, At(1899, 12, 29, 0, 0, 0, 0, 5)},
        {-1.25, At(1899, 12, 29, 6, 0, 0, 0, 5)},
        {-2.75, At(1899, 12, 28, 18, 0, 0, 0, 4)},
        {-36522, At(1800, 1, 1, 0, 0, 0, 0, 3)},
        {-657434.5, At(100, 1, 1, 12, 0, 0, 0, 5)},
    };
    for (const auto& c : cases) {
        EXPECT_PRED2(SameWithWeekday, pix::CalendarFromDayCount(c.count), c.time) << c.count;
        EXPECT_EQ(pix::DayCountFromCalendar(c.time), c.count);
    }
}

TEST(DayCount, TheInitialDueDate) {
    const double initial = 44551 + 0.6749751273164293;
    EXPECT_PRED2(SameWithWeekday, pix::CalendarFromDayCount(initial), At(2021, 12, 21, 16, 11, 57, 851, 2));
    // 16:11:57.851 back to a day count: the nearest binary64 or its neighbour.
    const double encoded = pix::DayCountFromCalendar(At(2021, 12, 21, 16, 11, 57, 851, 2));
    EXPECT_LE(std::fabs(encoded - initial), 1e-11) << encoded;
    EXPECT_EQ(std::trunc(encoded), 44551);
}

TEST(DayCount, ReadsTheTimeToTheNearestMillisecond) {
    const struct {
        double count;
        pix::CalendarTime time;
    } cases[] = {
        // -0.5 names day 0, the epoch, at noon: the same moment as 0.5.
        {-0.5, At(1899, 12, 30, 12, 0, 0, 0, 6)},
        {0.5, At(1899, 12, 30, 12, 0, 0, 0, 6)},
        {2958465.99999999, At(9999, 12, 31, 23, 59, 59, 999, 5)},
        // 24:00 of a day is the next calendar day, before the epoch too.
        {0.9999999999999, At(1899, 12, 31, 0, 0, 0, 0, 0)},
        {-1.9999999999999, At(1899, 12, 30, 0, 0, 0, 0, 6)},
        {-0.9999999999999, At(1899, 12, 31, 0, 0, 0, 0, 0)},
        {1.0 / 86400000 * 0.4, At(1899, 12, 30, 0, 0, 0, 0, 6)},
        {1.0 / 86400000 * 0.6, At(1899, 12, 30, 0, 0, 0, 1, 6)},
    };
    for (const auto& c : cases) EXPECT_PRED2(SameWithWeekday, pix::CalendarFromDayCount(c.count), c.time) << c.count;
}

TEST(DayCount, EveryMillisecondOfADayComesBack) {
    // On both sides of the epoch, every 997th millisecond of a day (a step
    // that reaches every hour, minute and second field).
    for (const int day : {44551, 1, -1, -36522}) {
        for (int ms = 0; ms < 86400000; ms += 997) {
            pix::CalendarTime t = pix::CalendarFromDayCount(day);
            t.hour = ms / 3600000;
            t.minute = ms / 60000 % 60;
            t.second = ms / 1000 % 60;
            t.millisecond = ms % 1000;
            const pix::CalendarTime back = pix::CalendarFromDayCount(pix::DayCountFromCalendar(t));
            ASSERT_TRUE(pix::SameMoment(back, t)) << "day " << day << " ms " << ms;
        }
    }
}

}  // namespace
