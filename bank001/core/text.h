// Texts at the library's edges: the bank's encodings and its dates. (The
// form hands over UTF-16 and the bank speaks UTF-8: base/core/utf8.h.)
#pragma once

#include <string>
#include <string_view>

namespace bank001 {

std::string Base64(std::string_view bytes);

// RFC 3986 percent-encoding of everything but the unreserved characters.
std::string PercentEncoded(std::string_view text);

// "dd/mm/aaaa" of a whole-day count from 30 December 1899.
std::string DayCountDate(long long dayCount);
// The day count of day, month, year; false when no such date exists.
bool DayCountOf(int day, int month, int year, long long& dayCount);

}  // namespace bank001
