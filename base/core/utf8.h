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

// Appends one code point (kReplacement for a surrogate or beyond U+10FFFF)
// to any text of 8-bit units that grows by +=.
template <class Out>
void Append(Out& out, char32_t c) {
    if ((c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) c = kReplacement;
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// The conversions, appending to any text that grows by += (of 8-bit units
// for UTF-8, of 16-bit ones for UTF-16): a secret's owner, say, which must
// see every growth of its buffer.
template <class Out>
void AppendFromUtf16(Out& out, std::u16string_view text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t u = text[i];
        const bool high = u >= 0xD800 && u <= 0xDBFF;
        if (high && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            Append(out, 0x10000 + ((char32_t(u) - 0xD800) << 10) + (text[i + 1] - 0xDC00));
            ++i;
        } else {
            Append(out, u);  // an unpaired surrogate becomes U+FFFD there
        }
    }
}

template <class Out>
void AppendToUtf16(Out& out, std::string_view text) {
    using Unit = typename Out::value_type;
    for (std::size_t at = 0; at < text.size();) {
        char32_t c = Decode(text, at);
        if (c < 0x10000) {
            out += static_cast<Unit>(c);
        } else {
            c -= 0x10000;
            out += static_cast<Unit>(0xD800 + (c >> 10));
            out += static_cast<Unit>(0xDC00 + (c & 0x3FF));
        }
    }
}

std::string FromUtf16(std::u16string_view text);
std::u16string ToUtf16(std::string_view text);

}  // namespace pix::utf8
