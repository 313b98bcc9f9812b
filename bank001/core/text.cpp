#include "bank001/core/text.h"

#include <cstdio>

#include "base/core/civil_date.h"
#include "base/core/utf8.h"

namespace bank001 {

namespace {

constexpr char32_t kEllipsis = 0x2026;

bool IsControl(char32_t c) { return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029; }

std::size_t Utf16Units(char32_t c) { return c > 0xFFFF ? 2 : 1; }

}  // namespace

Secret Base64(std::string_view bytes) {
    static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    Secret out;
    out.Reserve((bytes.size() + 2) / 3 * 4);
    std::size_t i = 0;
    for (; i + 3 <= bytes.size(); i += 3) {
        const unsigned v = (unsigned char)bytes[i] << 16 | (unsigned char)bytes[i + 1] << 8 | (unsigned char)bytes[i + 2];
        out += kAlphabet[v >> 18];
        out += kAlphabet[(v >> 12) & 63];
        out += kAlphabet[(v >> 6) & 63];
        out += kAlphabet[v & 63];
    }
    const std::size_t rest = bytes.size() - i;
    if (rest > 0) {
        unsigned v = (unsigned char)bytes[i] << 16;
        if (rest == 2) v |= (unsigned char)bytes[i + 1] << 8;
        out += kAlphabet[v >> 18];
        out += kAlphabet[(v >> 12) & 63];
        out += rest == 2 ? kAlphabet[(v >> 6) & 63] : '=';
        out += '=';
    }
    return out;
}

std::string PercentEncoded(std::string_view text) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (const char ch : text) {
        const unsigned char c = static_cast<unsigned char>(ch);
        const bool unreserved = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                                c == '-' || c == '.' || c == '_' || c == '~';
        if (unreserved) {
            out += ch;
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out;
}

std::string Lowered(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

std::size_t Characters(std::string_view text) {
    std::size_t n = 0;
    for (std::size_t at = 0; at < text.size(); ++n) pix::utf8::Decode(text, at);
    return n;
}

std::string BankText(std::string_view text, std::size_t limit) {
    std::string out;
    std::size_t shown = 0;
    for (std::size_t at = 0; at < text.size(); ++shown) {
        if (shown == limit) {
            pix::utf8::Append(out, kEllipsis);
            break;
        }
        const char32_t c = pix::utf8::Decode(text, at);
        pix::utf8::Append(out, IsControl(c) ? U' ' : c);
    }
    return out;
}

std::string CappedAnswer(std::string answer) {
    std::size_t units = 0, at = 0, lastFit = 0;
    while (at < answer.size()) {
        units += Utf16Units(pix::utf8::Decode(answer, at));
        if (units > kAnswerLimit) {
            answer.resize(lastFit);
            pix::utf8::Append(answer, kEllipsis);
            return answer;
        }
        // Where the text may be cut so that the ellipsis still fits.
        if (units < kAnswerLimit) lastFit = at;
    }
    return answer;
}

std::string DayCountDate(long long dayCount) {
    const pix::civil::Date date = pix::civil::DateOf(dayCount);
    char text[80];
    std::snprintf(text, sizeof text, "%02d/%02d/%04lld", date.day, date.month, date.year);
    return text;
}

bool DayCountOf(int day, int month, int year, long long& dayCount) {
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12 || day < 1) return false;
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    const int last = kDays[month - 1] + (month == 2 && leap ? 1 : 0);
    if (day > last) return false;
    dayCount = pix::civil::DayCountOf(year, month, day);
    return true;
}

}  // namespace bank001
