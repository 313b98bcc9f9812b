#include "base/core/utf8.h"

namespace pix::utf8 {

namespace {

bool IsSurrogate(char32_t c) noexcept { return c >= 0xD800 && c <= 0xDFFF; }

// The second byte's range depends on the first: that is what rules out the
// overlong forms, the surrogates and everything above U+10FFFF.
struct Lead {
    int continuations;  // -1: no well-formed sequence starts with this byte
    unsigned char secondLow, secondHigh;
};

Lead LeadOf(unsigned char b) noexcept {
    if (b >= 0xC2 && b <= 0xDF) return {1, 0x80, 0xBF};
    if (b == 0xE0) return {2, 0xA0, 0xBF};
    if (b == 0xED) return {2, 0x80, 0x9F};
    if (b >= 0xE1 && b <= 0xEF) return {2, 0x80, 0xBF};
    if (b == 0xF0) return {3, 0x90, 0xBF};
    if (b >= 0xF1 && b <= 0xF3) return {3, 0x80, 0xBF};
    if (b == 0xF4) return {3, 0x80, 0x8F};
    return {-1, 0, 0};
}

void AppendUtf16(std::u16string& out, char32_t c) {
    if (c < 0x10000) {
        out += static_cast<char16_t>(c);
    } else {
        c -= 0x10000;
        out += static_cast<char16_t>(0xD800 + (c >> 10));
        out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
    }
}

}  // namespace

char32_t Decode(std::string_view text, std::size_t& at) noexcept {
    const auto b = static_cast<unsigned char>(text[at++]);
    if (b < 0x80) return b;
    const Lead lead = LeadOf(b);
    if (lead.continuations < 0) return kReplacement;
    char32_t c = b & (0x3F >> lead.continuations);
    for (int k = 0; k < lead.continuations; ++k) {
        if (at >= text.size()) return kReplacement;
        const auto next = static_cast<unsigned char>(text[at]);
        const unsigned char low = k == 0 ? lead.secondLow : 0x80;
        const unsigned char high = k == 0 ? lead.secondHigh : 0xBF;
        if (next < low || next > high) return kReplacement;  // this byte starts the next subpart
        c = (c << 6) | (next & 0x3F);
        ++at;
    }
    return c;
}

void Append(std::string& out, char32_t c) {
    if (IsSurrogate(c) || c > 0x10FFFF) c = kReplacement;
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

std::string FromUtf16(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
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
    return out;
}

std::u16string ToUtf16(std::string_view text) {
    std::u16string out;
    out.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) AppendUtf16(out, Decode(text, at));
    return out;
}

}  // namespace pix::utf8
