// The BR Code: the text of a PIX charge that a payer pastes into a bank's app
// or scans as a QR Code. It is a sequence of fields, each a two-digit tag, a
// two-digit length and the value, whose last field, 63, holds the CRC of
// everything before its four digits. Lengths count characters: the text is
// UTF-8, and a value may hold letters beyond ASCII (a receiver's name).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pix::brcode {

// CRC-16/CCITT-FALSE: polynomial 0x1021, initial 0xFFFF, no reflection
// (the check value of "123456789" is 29B1).
std::uint16_t Crc16(std::string_view bytes) noexcept;

struct Field {
    std::string tag;  // two digits
    std::string value;
};

// The fields of a TLV sequence, or where it stops adding up.
struct Split {
    std::vector<Field> fields;
    static constexpr std::size_t kWhole = static_cast<std::size_t>(-1);
    std::size_t brokenAt = kWhole;  // byte offset of the field that does not add up
    bool pastTheEnd = false;        // its header is whole but its value runs past the end

    bool Whole() const noexcept { return brokenAt == kWhole; }
};
Split SplitFields(std::string_view text);

// Whether the text (UTF-8) is one whole BR Code whose CRC is right: no
// control characters, fields that add up to the end of the text, the first
// the payload format 00 = "01", the last the CRC 63 with four upper-case
// hexadecimal digits equal to Crc16 of everything before those digits.
// What the fields say beyond that is not looked at.
bool IsBrCode(std::string_view text);

}  // namespace pix::brcode
