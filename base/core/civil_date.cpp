#include "base/core/civil_date.h"

namespace pix::civil {

namespace {

// Days since 1 March of year 0, by eras of 400 years (146097 days each).
constexpr long long DaysFromCivil(long long y, int m, int d) noexcept {
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const long long yearOfEra = y - era * 400;
    const long long dayOfYear = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const long long dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra;
}

constexpr long long kEpoch = DaysFromCivil(1899, 12, 30);

}  // namespace

long long DayCountOf(long long year, int month, int day) noexcept {
    return DaysFromCivil(year, month, day) - kEpoch;
}

Date DateOf(long long dayCount) noexcept {
    const long long days = dayCount + kEpoch;
    const long long era = (days >= 0 ? days : days - 146096) / 146097;
    const long long dayOfEra = days - era * 146097;
    const long long yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const long long dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const long long mp = (5 * dayOfYear + 2) / 153;
    Date date;
    date.day = static_cast<int>(dayOfYear - (153 * mp + 2) / 5 + 1);
    date.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    date.year = yearOfEra + era * 400 + (date.month <= 2);
    return date;
}

}  // namespace pix::civil
