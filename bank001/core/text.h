// Texts at the library's edges: the bank's encodings, its words and its
// dates. (The form hands over UTF-16 and the bank speaks UTF-8:
// base/core/utf8.h.)
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "bank001/core/secret.h"

namespace bank001 {

// Base64 of the credentials of the token request: a secret itself.
Secret Base64(std::string_view bytes);

// RFC 3986 percent-encoding of everything but the unreserved characters.
std::string PercentEncoded(std::string_view text);

// ASCII letters in lower case; everything else as it is.
std::string Lowered(std::string_view text);

// Characters (code points) of UTF-8 text.
std::size_t Characters(std::string_view text);

// The longest text of the bank's (a message, a txid, a location) shown
// whole, and the longest answer NewPix gives, in UTF-16 units.
inline constexpr std::size_t kBankTextLimit = 1000;
inline constexpr std::size_t kAnswerLimit = 3999;

// Whatever the bank sent, as it may be shown on a line of the result area:
// every control character (C0, DEL, C1, the Unicode line and paragraph
// separators) a space, malformed UTF-8 U+FFFD, and anything beyond limit
// characters cut, with "…" in its place.
std::string BankText(std::string_view text, std::size_t limit = kBankTextLimit);

// The answer as NewPix hands it back: at most kAnswerLimit UTF-16 units,
// the last of them "…" when it had to be cut. Line breaks stay.
std::string CappedAnswer(std::string answer);

// "dd/mm/aaaa" of a whole-day count from 30 December 1899.
std::string DayCountDate(long long dayCount);
// The day count of day, month, year; false when no such date exists.
bool DayCountOf(int day, int month, int year, long long& dayCount);

}  // namespace bank001
