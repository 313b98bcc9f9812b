// UTF-8 and UTF-16, one strict codec for the whole program and its libraries.
//
// Only well-formed UTF-8 decodes (the table of well-formed byte sequences of
// the Unicode standard, chapter 3): no overlong forms (C0 80 is not U+0000),
// no encoded surrogates, nothing beyond U+10FFFF. Whatever is malformed
// becomes U+FFFD, one for each maximal subpart (the longest start of a
// well-formed sequence, or one byte), as the standard recommends: a text that
// cannot be read is still shown, and never as a character nobody wrote. An
// unpaired surrogate in UTF-16 becomes U+FFFD too.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace pix::utf8 {

inline constexpr char32_t kReplacement = 0xFFFD;

// The code point that starts at text[at], and where the next one starts.
// Malformed input gives kReplacement and skips its maximal subpart.
char32_t Decode(std::string_view text, std::size_t& at) noexcept;

// Appends one code point (kReplacement for a surrogate or beyond U+10FFFF).
void Append(std::string& out, char32_t c);

std::string FromUtf16(std::u16string_view text);
std::u16string ToUtf16(std::string_view text);

}  // namespace pix::utf8
