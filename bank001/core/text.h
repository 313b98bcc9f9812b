// Text conversions at the library's edges: the form hands over UTF-16, the
// bank speaks UTF-8 JSON and HTTP.
#pragma once

#include <string>
#include <string_view>

namespace bank001 {

// Unpaired surrogates and broken sequences become U+FFFD: a text that cannot
// be converted is still shown, never a reason to fail.
std::string Utf8(std::u16string_view text);
std::u16string Utf16(std::string_view utf8);

std::string Base64(std::string_view bytes);

// RFC 3986 percent-encoding of everything but the unreserved characters.
std::string PercentEncoded(std::string_view text);

// "dd/mm/aaaa" of a whole-day count from 30 December 1899.
std::string DayCountDate(long long dayCount);
// The day count of day, month, year; false when no such date exists.
bool DayCountOf(int day, int month, int year, long long& dayCount);

}  // namespace bank001
