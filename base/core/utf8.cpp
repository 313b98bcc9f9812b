#include "base/core/utf8.h"

namespace pix::utf8 {

namespace {

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

std::string FromUtf16(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    AppendFromUtf16(out, text);
    return out;
}

std::u16string ToUtf16(std::string_view text) {
    std::u16string out;
    out.reserve(text.size());
    AppendToUtf16(out, text);
    return out;
}

}  // namespace pix::utf8
