// Dates of the proleptic Gregorian calendar as whole days counted from
// 30 December 1899, the day count of the program's date values.
#pragma once

namespace pix::civil {

struct Date {
    long long year = 1899;
    int month = 12;  // 1..12
    int day = 30;    // 1..31
};

long long DayCountOf(long long year, int month, int day) noexcept;
Date DateOf(long long dayCount) noexcept;

}  // namespace pix::civil
