#include "pixlib/core/br_code.h"

namespace pix::brcode {

namespace {

bool IsDigit(char c) noexcept { return c >= '0' && c <= '9'; }
bool IsContinuation(char c) noexcept { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// Byte offset after `count` characters from `from`, or npos if the text ends first.
std::size_t Advance(std::string_view text, std::size_t from, std::size_t count) noexcept {
    std::size_t i = from;
    for (; count > 0; --count) {
        if (i >= text.size()) return std::string_view::npos;
        ++i;
        while (i < text.size() && IsContinuation(text[i])) ++i;
    }
    return i;
}

// The CRC field as it ends a BR Code: tag 63, length 04, four digits.
constexpr std::string_view kCrcHeader = "6304";
constexpr std::size_t kCrcDigits = 4;

bool HasControlCharacter(std::string_view text) noexcept {
    for (const char c : text)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return true;
    return false;
}

// The four upper-case hexadecimal digits of a CRC.
std::string CrcText(std::uint16_t crc) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text(kCrcDigits, '0');
    for (std::size_t i = 0; i < kCrcDigits; ++i) text[kCrcDigits - 1 - i] = kDigits[(crc >> (4 * i)) & 0xF];
    return text;
}

}  // namespace

std::uint16_t Crc16(std::string_view bytes) noexcept {
    std::uint16_t crc = 0xFFFF;
    for (const char c : bytes) {
        crc ^= static_cast<std::uint16_t>(static_cast<unsigned char>(c) << 8);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 0x8000) ? static_cast<std::uint16_t>((crc << 1) ^ 0x1021) : static_cast<std::uint16_t>(crc << 1);
    }
    return crc;
}

Split SplitFields(std::string_view text) {
    Split split;
    std::size_t i = 0;
    while (i < text.size()) {
        if (text.size() - i < 4 || !IsDigit(text[i]) || !IsDigit(text[i + 1]) || !IsDigit(text[i + 2]) ||
            !IsDigit(text[i + 3])) {
            split.brokenAt = i;
            return split;
        }
        const auto length = static_cast<std::size_t>((text[i + 2] - '0') * 10 + (text[i + 3] - '0'));
        const std::size_t end = Advance(text, i + 4, length);
        if (end == std::string_view::npos) {
            split.brokenAt = i;
            split.pastTheEnd = true;
            return split;
        }
        split.fields.push_back({std::string(text.substr(i, 2)), std::string(text.substr(i + 4, end - i - 4))});
        i = end;
    }
    return split;
}

bool IsBrCode(std::string_view text) {
    // The cheap tests first: an arbitrary text, however long, fails on its
    // last eight bytes or its CRC before any field is split off.
    if (text.size() < kCrcHeader.size() + kCrcDigits) return false;
    const std::size_t digits = text.size() - kCrcDigits;
    if (text.substr(digits - kCrcHeader.size(), kCrcHeader.size()) != kCrcHeader) return false;
    if (text.substr(digits) != CrcText(Crc16(text.substr(0, digits)))) return false;
    if (HasControlCharacter(text)) return false;
    const Split split = SplitFields(text);
    if (!split.Whole() || split.fields.empty()) return false;
    const Field& format = split.fields.front();
    if (format.tag != "00" || format.value != "01") return false;
    // The CRC's own field must be the one the walk ends on, not the tail of
    // a longer value that happens to read "6304....".
    const Field& crc = split.fields.back();
    return crc.tag == "63" && crc.value.size() == kCrcDigits;
}

}  // namespace pix::brcode
